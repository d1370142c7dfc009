#!/usr/bin/env bash
# export, dupes and stats of mellowby-cli, and the --format of search and ls, against the real file
# system: what they write is read back field for field by Python's csv and json modules.
set -euo pipefail

cli="$1"
source "$(dirname "$0")/../support/clitest.sh"

# Names with commas, quotes, a line break, Chinese and an ampersand.
mkdir -p "$work/tree/照片, 2004"
names=('a,b.txt' 'say "hi".txt' $'two\nlines.txt' '照片·一.jpg' 'Tom & Jerry.mp3')
for name in "${names[@]}"; do printf 'x' > "$work/tree/照片, 2004/$name"; done
printf 'hello' > "$work/tree/top.txt"
"$cli" scan "$work/tree" "盘,1" --data "$work/Data" > /dev/null 2>&1 || fail "scan failed"

"$cli" export "盘,1" --out "$work/all.csv" --data "$work/Data" || fail "export to csv failed"
"$cli" export "盘,1" --format json --data "$work/Data" > "$work/all.json" || fail "export to json failed"
head -c 3 "$work/all.csv" | od -An -tx1 | grep -q 'ef bb bf' || fail "the csv has no byte-order mark"
python3 - "$work" "${names[@]}" << 'PYTHON' || fail "export does not read back"
import csv, json, os, sys
work, names = sys.argv[1], sys.argv[2:]
raw = open(f"{work}/all.csv", "rb").read()
assert raw.count(b"\r\n") >= len(names) + 2 and b"\n" not in raw.replace(b"\r\n", b"").replace(b"two\nlines", b""), "line ends"
rows = list(csv.reader(open(f"{work}/all.csv", encoding="utf-8-sig", newline="")))
assert rows[0] == ["目录", "文件夹", "名称", "位置", "大小", "日期", "字节数", "修改时间(纳秒)"], rows[0]
objects = json.load(open(f"{work}/all.json", encoding="utf-8"))
assert [list(o.values()) for o in objects] == rows[1:], "json and csv differ"
assert list(objects[0].keys()) == ["catalog", "directory", "name", "location", "size", "date", "bytes", "modified_ns"]
by_name = {row[2]: row for row in rows[1:]}
assert sorted(by_name) == sorted(names + ["top.txt"]), sorted(by_name)
for name in names:
    row = by_name[name]
    assert row[0] == "盘,1" and row[1] == "照片, 2004", row
    assert row[3] == f"{work}/tree/照片, 2004/{name}", row
    assert row[4] == "1KB" and row[5], row
# The exact facts from the catalog's database.
for row in rows[1:]:
    status = os.lstat(row[3])
    assert row[6:] == [str(status.st_size), str(status.st_mtime_ns)], row
assert by_name["top.txt"][1] == "" and by_name["top.txt"][3] == f"{work}/tree/top.txt"
assert by_name["top.txt"][6] == "5"
PYTHON

# A catalog written elsewhere may hold bytes that are not UTF-8, and control characters: JSON
# stays JSON.
printf '<?xml version="1.0" encoding="UTF-8"?>\r\n<Disk title="raw" Label="/m">\r\n<File CreateDate="d" FileSize="1KB">bad\xff\x01byte</File>\r\n</Disk>\r\n' > "$work/Data/raw.xml"
"$cli" export raw --format json --data "$work/Data" > "$work/raw.json" || fail "export of raw failed"
python3 -c 'import json,sys; o=json.load(open(sys.argv[1], encoding="utf-8")); assert o[0]["name"] == "bad\ufffd\x01byte", o' \
  "$work/raw.json" || fail "raw json: $(cat "$work/raw.json")"
rm "$work/Data/raw.xml"

# search and ls in the same formats, the rows they print as tsv.
"$cli" search '"' --format csv --data "$work/Data" > "$work/found.csv" || fail "search --format csv failed"
"$cli" ls "盘,1" "照片, 2004" --format json --data "$work/Data" > "$work/listed.json" || fail "ls --format json failed"
python3 - "$work" << 'PYTHON' || fail "search or ls do not read back"
import csv, json, sys
work = sys.argv[1]
rows = list(csv.reader(open(f"{work}/found.csv", encoding="utf-8-sig", newline="")))
assert rows == [["名称", "大小", "日期", "位置", "目录"],
                ['say "hi".txt', "1KB", rows[1][2], f'{work}/tree/照片, 2004/say "hi".txt', "盘,1"]], rows
listed = json.load(open(f"{work}/listed.json", encoding="utf-8"))
assert len(listed) == 5 and {o["catalog"] for o in listed} == {""}, listed
PYTHON

# Three discs: the same photo on all three, a copy of a film on two (its name in another case),
# files of the same name but other sizes, and a small pair left out by --min-size.
for disc in 1 2 3; do mkdir -p "$work/d$disc/sub"; done
truncate -s 3M "$work/d1/photo.jpg"; truncate -s 3M "$work/d2/sub/PHOTO.JPG"; truncate -s 3M "$work/d3/photo.jpg"
truncate -s 50M "$work/d1/film.mkv"; truncate -s 50M "$work/d3/sub/Film.MKV"
truncate -s 1M "$work/d1/notes.txt"; truncate -s 2M "$work/d2/notes.txt"
printf 'x' > "$work/d2/tiny.txt"; printf 'y' > "$work/d3/tiny.txt"
for disc in 1 2 3; do "$cli" scan "$work/d$disc" "disc $disc" --data "$work/Discs" > /dev/null 2>&1; done
"$cli" dupes --format json --data "$work/Discs" > "$work/dupes.json" || fail "dupes failed"
"$cli" dupes --min-size 2 --in "disc 1" --in "DISC 3" --data "$work/Discs" > "$work/dupes.tsv" || fail "dupes --in failed"
python3 - "$work" << 'PYTHON' || fail "dupes gives other groups"
import json, sys
work = sys.argv[1]
got = [(o["group"], o["name"], o["size"], o["catalog"], o["location"]) for o in json.load(open(f"{work}/dupes.json"))]
assert got == [
    ("1", "film.mkv", "51200KB", "disc 1", f"{work}/d1/film.mkv"),
    ("1", "Film.MKV", "51200KB", "disc 3", f"{work}/d3/sub/Film.MKV"),
    ("2", "photo.jpg", "3072KB", "disc 1", f"{work}/d1/photo.jpg"),
    ("2", "PHOTO.JPG", "3072KB", "disc 2", f"{work}/d2/sub/PHOTO.JPG"),
    ("2", "photo.jpg", "3072KB", "disc 3", f"{work}/d3/photo.jpg"),
    ("3", "tiny.txt", "1KB", "disc 2", f"{work}/d2/tiny.txt"),
    ("3", "tiny.txt", "1KB", "disc 3", f"{work}/d3/tiny.txt"),
], got
rows = [line.split("\t") for line in open(f"{work}/dupes.tsv").read().splitlines()]
assert [(r[0], r[1], r[3]) for r in rows] == [("1", "film.mkv", "disc 1"), ("1", "Film.MKV", "disc 3"),
                                             ("2", "photo.jpg", "disc 1"), ("2", "photo.jpg", "disc 3")], rows
PYTHON

stats=$("$cli" stats "disc 1" --data "$work/Discs")
[ "$(cut -f1-4,7 <<< "$stats")" = "$(printf 'disc 1\t1\t3\t55296\t%s' "$work/d1")" ] || fail "stats: $stats"
[ -n "$(cut -f5 <<< "$stats")" ] && [ "$(cut -f5 <<< "$stats")" = "$(cut -f6 <<< "$stats")" ] || fail "stats dates: $stats"
[ "$("$cli" stats --data "$work/Discs" | wc -l)" = 3 ] || fail "stats of every catalog"

# The database beside a catalog: used where it belongs to it; where not, stats and list --long say
# why, and export gives what a catalog without one gives.
database() { "$cli" stats "disc 1" --format csv --data "$work/Discs" | python3 -c 'import csv,sys; print(list(csv.reader(sys.stdin))[1][7])'; }
[ "$(database)" = 有 ] || fail "a database that belongs: $(database)"
"$cli" export "disc 1" --data "$work/Discs" > "$work/with.csv"
good="$work/Discs/disc 1.sqlite.good"
cp "$work/Discs/disc 1.sqlite" "$good"
cp "$work/Discs/disc 2.sqlite" "$work/Discs/disc 1.sqlite"
[ "$(database)" = "未使用：属于另一个目录文件" ] || fail "another catalog's database: $(database)"
head -c 2000 "$good" > "$work/Discs/disc 1.sqlite"
[ "$(database)" = "未使用：已损坏" ] || fail "a database cut short: $(database)"
printf 'not a database at all, not a database at all, not a database at all, not a database' > "$work/Discs/disc 1.sqlite"
[ "$(database)" = "未使用：已损坏" ] || fail "garbage: $(database)"
python3 - "$good" "$work/Discs/disc 1.sqlite" << 'PYTHON'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[60:64] = (99).to_bytes(4, "big")  # the schema version (PRAGMA user_version) of a later program
open(sys.argv[2], "wb").write(data)
PYTHON
[ "$(database)" = "未使用：版本未知" ] || fail "a later version: $(database)"
[ "$("$cli" list --long --data "$work/Discs" | cut -f1,4 | tr '\t\n' ':|')" = "disc 1:未使用：版本未知|disc 2:有|disc 3:有|" ] \
  || fail "list --long: $("$cli" list --long --data "$work/Discs")"
"$cli" export "disc 1" --data "$work/Discs" > "$work/without.csv"
[ "$(head -1 "$work/without.csv")" = "$(printf '\xef\xbb\xbf目录,文件夹,名称,位置,大小,日期\r')" ] || fail "export's columns without a database"
rm "$work/Discs/disc 1.sqlite"
[ "$(database)" = 无 ] || fail "no database: $(database)"
mv "$good" "$work/Discs/disc 1.sqlite"
[ "$(database)" = 有 ] || fail "the database put back: $(database)"
"$cli" scan "$work/d1" plain --no-database --data "$work/Plain" > /dev/null 2>&1 || fail "scan --no-database"
[ -z "$(ls "$work/Plain" | grep -i sqlite || true)" ] || fail "scan --no-database wrote one: $(ls "$work/Plain")"
[ "$("$cli" stats plain --data "$work/Plain" | cut -f8)" = 无 ] || fail "stats without a database"

# Errors: a clear message, a non-zero status, nothing half-written.
printf 'kept' > "$work/kept.csv"
if "$cli" export "no such" --out "$work/kept.csv" --data "$work/Data" 2> "$work/err"; then fail "export of an unknown catalog"; fi
grep -q '没有名为“no such”的目录' "$work/err" || fail "unknown catalog: $(cat "$work/err")"
set +e
"$cli" export "盘,1" --format xml --data "$work/Data" > /dev/null 2> "$work/err"; status=$?
set -e
[ "$status" = 2 ] && grep -q '未知的输出格式：xml' "$work/err" || fail "unknown format ($status): $(cat "$work/err")"
if "$cli" export "盘,1" --format tsv --data "$work/Data" > /dev/null 2>&1; then fail "export as tsv"; fi
if "$cli" export "盘,1" --out "$work/missing/dir/out.csv" --data "$work/Data" 2> "$work/err"; then fail "export into a missing folder"; fi
grep -q '无法写入' "$work/err" || fail "unwritable output: $(cat "$work/err")"
if "$cli" export "盘,1" --out /dev/full/x.csv --data "$work/Data" > /dev/null 2>&1; then fail "export under a device"; fi
# A catalog that cannot be read leaves the file given with --out as it was.
printf 'not xml' > "$work/Data/broken.xml"
if "$cli" export broken --out "$work/kept.csv" --data "$work/Data" > /dev/null 2>&1; then fail "export of a broken catalog"; fi
[ "$(cat "$work/kept.csv")" = kept ] || fail "a failed export changed its output file"
[ -z "$(ls -A "$work" | grep -i tmp || true)" ] || fail "a temporary file was left: $(ls -A "$work")"
if "$cli" dupes --min-size lots --data "$work/Discs" > /dev/null 2>&1; then fail "dupes with a bad --min-size"; fi
echo "cli reports: all passed"
