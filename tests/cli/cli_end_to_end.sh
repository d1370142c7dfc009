#!/usr/bin/env bash
# mellowby-cli against the real file system: a scan into a temporary Data folder, the refusal to
# overwrite without --force, the listing of catalogs, and catalogs made on Windows.
set -euo pipefail

cli="$1"
source "$(dirname "$0")/../support/clitest.sh"

mkdir -p "$work/tree/sub dir"
# Before the first scan there is no Data folder: no catalogs, and the scan creates it.
[ -z "$("$cli" list --data "$work/Data")" ] || fail "list without a Data folder"
printf 'hello' > "$work/tree/a.txt"
printf 'x%.0s' {1..2000} > "$work/tree/sub dir/b & c.jpg"
ln -s .. "$work/tree/sub dir/loop"

"$cli" scan "$work/tree" "盘 1" --data "$work/Data" > "$work/out" 2> "$work/err" || fail "scan failed: $(cat "$work/err")"
grep -q '2 个目录，3 个文件' "$work/out" || fail "unexpected summary: $(cat "$work/out")"
[ -f "$work/Data/盘 1.xml" ] && [ -f "$work/Data/盘 1.idx" ] || fail "catalog pair missing"
tail -c 9 "$work/Data/盘 1.xml" | od -c | grep -q '\\r  \\n' || fail "catalog does not end in CR LF"
grep -q 'b &amp; c.jpg' "$work/Data/盘 1.xml" || fail "name not escaped"
grep -q '>loop</File>' "$work/Data/盘 1.xml" || fail "symbolic link not recorded as a file"
if grep -q 'File' "$work/Data/盘 1.idx"; then fail "index twin holds File lines"; fi

cp "$work/Data/盘 1.xml" "$work/before"
if "$cli" --data "$work/Data" scan "$work/tree" "盘 1" > /dev/null 2> "$work/err"; then
  fail "an existing catalog was replaced without --force"
fi
grep -q -- '--force' "$work/err" || fail "refusal does not say how to overwrite: $(cat "$work/err")"
cmp -s "$work/before" "$work/Data/盘 1.xml" || fail "refused overwrite changed the catalog"
"$cli" scan --force "$work/tree" "盘 1" --data "$work/Data" > /dev/null 2>&1 || fail "--force did not overwrite"

if "$cli" scan "$work/missing" other --data "$work/Data" > /dev/null 2>&1; then fail "scan of a missing path succeeded"; fi
[ ! -e "$work/Data/other.xml" ] || fail "a failed scan left a catalog"
if "$cli" scan "$work/tree" "../escape" --data "$work/Data" > /dev/null 2>&1; then fail "a name outside Data was accepted"; fi
[ ! -e "$work/escape.xml" ] || fail "a catalog was written outside Data"

[ "$("$cli" list --data "$work/Data")" = "盘 1" ] || fail "list shows: $("$cli" list --data "$work/Data")"
[ -z "$(ls -A "$work/Data" | grep -v '^盘 1\.' || true)" ] || fail "stray files in Data: $(ls -A "$work/Data")"

# search and ls print the rows the window lists, tab-separated.
rows=$("$cli" search "B & C" --data "$work/Data")
[ "$rows" = "$(printf 'b & c.jpg\t2KB\t%s\t%s\t盘 1' "$(cut -f3 <<< "$rows")" "$work/tree/sub dir/b & c.jpg")" ] \
  || fail "search row: $rows"
[ -z "$("$cli" search nothing-like-this --data "$work/Data")" ] || fail "search found what is not there"
if "$cli" search "   " --data "$work/Data" > /dev/null 2>&1; then fail "a blank search succeeded"; fi
if "$cli" search a --in "no such" --data "$work/Data" > /dev/null 2>&1; then fail "search in an unknown catalog succeeded"; fi
[ "$("$cli" ls "盘 1" "sub dir" --data "$work/Data" | cut -f1 | sort | tr '\n' '|')" = "b & c.jpg|loop|" ] \
  || fail "ls of a directory: $("$cli" ls "盘 1" "sub dir" --data "$work/Data")"
[ "$("$cli" ls "盘 1" --data "$work/Data" | cut -f1,5)" = "$(printf 'a.txt\t')" ] || fail "ls of the root"
if "$cli" ls "盘 1" "no dir" --data "$work/Data" > /dev/null 2>&1; then fail "ls of an unknown directory succeeded"; fi

# find reads a query; in CSV and JSON it adds the exact size and time the catalog's database holds.
# A query that cannot be read names its column, with status 2.
[ "$("$cli" find 'ext:jpg size:>1kb' --in "盘 1" --data "$work/Data" | cut -f1,2,4,5)" \
  = "$(printf 'b & c.jpg\t2KB\t%s\t盘 1' "$work/tree/sub dir/b & c.jpg")" ] || fail "find with --in"
[ -z "$("$cli" find 'jpg !size:>1kb' --data "$work/Data")" ] || fail "find with NOT"
csv=$("$cli" find 'jpg | a.txt' --format csv --data "$work/Data")
[ "$(head -n 1 <<< "$csv")" = "$(printf '\xef\xbb\xbf名称,大小,日期,位置,目录,字节数,修改时间\r')" ] || fail "find csv header: $csv"
[ "$(tail -n +2 <<< "$csv" | sed 's/,"[^"]*",/,/; s/,[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]T[0-9:.]*[+-][0-9:]*\r$/,TIME\r/')" \
  = "$(printf 'b & c.jpg,2KB,%s,盘 1,2000,TIME\r\na.txt,1KB,%s,盘 1,5,TIME\r' "$work/tree/sub dir/b & c.jpg" "$work/tree/a.txt")" ] \
  || fail "find csv rows: $csv"
json=$("$cli" find 'folder: DIR' --format json --data "$work/Data")
[ "$json" = "$(printf '[\n{"name": "sub dir", "size": "", "date": "", "location": "%s", "catalog": "盘 1", "bytes": "", "modified": ""}\n]' "$work/tree/sub dir")" ] \
  || fail "find json of a folder: $json"
status=0
"$cli" find 'a (b' --data "$work/Data" > "$work/out" 2> "$work/err" || status=$?
[ "$status" = 2 ] && [ ! -s "$work/out" ] \
  && [ "$(cat "$work/err")" = "mellowby-cli: 查询有误，第 5 列：缺少与第 3 列的“(”配对的“)”。" ] \
  || fail "a query that cannot be read ($status): $(cat "$work/err")"

# A catalog whose name starts with "." is a catalog like any other.
"$cli" scan "$work/tree" .foo --data "$work/Data" > /dev/null 2>&1 || fail "scan of .foo failed"
[ "$("$cli" list --data "$work/Data" | tr '\n' '|')" = ".foo|盘 1|" ] || fail "list with .foo: $("$cli" list --data "$work/Data")"
[ "$("$cli" search a.txt --in .foo --data "$work/Data" | cut -f1,5)" = "$(printf 'a.txt\t.foo')" ] || fail "search in .foo"
if "$cli" scan "$work/tree" .foo --data "$work/Data" > /dev/null 2>&1; then fail ".foo replaced without --force"; fi
"$cli" delete .foo --data "$work/Data" > /dev/null || fail "delete of .foo failed"
[ ! -e "$work/Data/.foo.xml" ] && [ -e "$work/Data/.foo.idx" ] || fail "delete did not move .foo.xml alone"
[ -e "$XDG_DATA_HOME/Trash/files/.foo.xml" ] || fail ".foo.xml is not in the trash"
[ "$("$cli" list --data "$work/Data")" = "盘 1" ] || fail "a deleted catalog is still listed"
if "$cli" delete nothing-like-this --data "$work/Data" > /dev/null 2>&1; then fail "delete of an unknown catalog succeeded"; fi

# No name leads out of Data, for deleting either.
printf 'victim' > "$work/victim.xml"
if "$cli" delete ../victim --data "$work/Data" > /dev/null 2>&1; then fail "delete ../victim succeeded"; fi
[ "$(cat "$work/victim.xml")" = "victim" ] || fail "victim.xml was touched"

# Output that cannot be written is a failure, not a success.
if "$cli" list --data "$work/Data" > /dev/full 2> "$work/err"; then fail "list > /dev/full exited 0"; fi
grep -q 'No space left on device' "$work/err" || fail "no word on the failed write: $(cat "$work/err")"
if "$cli" search a --data "$work/Data" > /dev/full 2> /dev/null; then fail "search > /dev/full exited 0"; fi
if "$cli" ls "盘 1" --data "$work/Data" > /dev/full 2> /dev/null; then fail "ls > /dev/full exited 0"; fi

# A scan of a tree that holds the Data folder records none of its own temporary files.
mkdir -p "$work/self/Data"
printf 'x' > "$work/self/photo.jpg"
"$cli" scan "$work/self" self --data "$work/self/Data" > /dev/null 2>&1 || fail "scan of a tree holding Data failed"
if grep -q '\.tmp</File>' "$work/self/Data/self.xml"; then fail "the scan catalogued its own temporary files"; fi

# Catalogs made on Windows (code page 936 declared as GB2312, backslashed locations) list and search.
windows="$(dirname "$0")/../data/windows"
[ "$("$cli" list --data "$windows" | sort | tr '\n' '|')" = "文学·2004|繁體光碟|" ] \
  || fail "list of Windows catalogs: $("$cli" list --data "$windows")"
[ "$("$cli" search 體 --data "$windows" | cut -f1,4,5)" = "$(printf '體育·臺灣.doc\tE:\\列夫·托爾斯泰\\體育·臺灣.doc\t繁體光碟')" ] \
  || fail "search in a Windows catalog: $("$cli" search 體 --data "$windows")"
[ "$("$cli" ls 繁體光碟 列夫·托爾斯泰/臺北 --data "$windows" | cut -f1,4)" = "$(printf '長城.jpg\tE:\\列夫·托爾斯泰\\臺北\\長城.jpg')" ] \
  || fail "ls of a Windows catalog: $("$cli" ls 繁體光碟 列夫·托爾斯泰/臺北 --data "$windows")"

# One unpacked from an archive made on Chinese Windows keeps its file name's code page 936 bytes:
# it is known by that name read as the code page, the text of its Disk title, everywhere.
mkdir -p "$work/cp936"
stem=$(printf '繁體光碟' | iconv -f UTF-8 -t CP936)
for extension in xml idx; do cp "$windows/繁體光碟.$extension" "$work/cp936/$stem.$extension"; done
[ "$("$cli" list --data "$work/cp936")" = "繁體光碟" ] || fail "list of a code page name: $("$cli" list --data "$work/cp936")"
[ "$("$cli" search 長城 --data "$work/cp936" | cut -f1,5)" = "$(printf '長城.jpg\t繁體光碟')" ] \
  || fail "search in a code page name: $("$cli" search 長城 --data "$work/cp936")"
[ "$("$cli" ls 繁體光碟 列夫·托爾斯泰/臺北 --data "$work/cp936" | cut -f1)" = "長城.jpg" ] || fail "ls of a code page name"
"$cli" delete 繁體光碟 --data "$work/cp936" > /dev/null || fail "delete of a code page name failed"
[ ! -e "$work/cp936/$stem.xml" ] && [ -e "$work/cp936/$stem.idx" ] || fail "delete did not move the code page name's file"

# Checksums: the database holds each regular file's digest as xxhsum -H2 and sha256sum print it,
# read with the README's query; the link gets none.
digests() {
  sqlite3 -readonly "$1" "WITH RECURSIVE path(id, text) AS (SELECT id, '' FROM entries WHERE parent IS NULL
      UNION ALL SELECT e.id, path.text || '/' || e.name FROM entries e JOIN path ON e.parent = path.id)
    SELECT lower(hex(digest)) || '  ' || substr(text, 2) FROM path JOIN digests ON digests.entry = path.id
    ORDER BY path.id" | sort
}
for sums in "--checksums xxhsum -H2" "--checksums=sha256 sha256sum"; do
  read -r option tool <<< "$sums"
  "$cli" scan "$work/tree" sums --force "$option" --data "$work/Data" > /dev/null 2> "$work/err" \
    || fail "scan $option failed: $(cat "$work/err")"
  [ "$(digests "$work/Data/sums.sqlite")" = "$(cd "$work/tree" && $tool a.txt 'sub dir/b & c.jpg' | sort)" ] \
    || fail "digests of scan $option: $(digests "$work/Data/sums.sqlite")"
done
status=0
"$cli" scan "$work/tree" nodb --checksums --no-database --data "$work/Data" > /dev/null 2> "$work/err" || status=$?
[ "$status" = 2 ] || fail "--checksums with --no-database: status $status"
[ "$(cat "$work/err")" = "mellowby-cli: --checksums 与 --no-database 不能同时使用：校验和存放在目录的数据库中。" ] \
  || fail "--checksums with --no-database says: $(cat "$work/err")"
[ ! -e "$work/Data/nodb.xml" ] || fail "--checksums with --no-database wrote a catalog"

if "$cli" frobnicate > /dev/null 2>&1; then fail "an unknown command succeeded"; fi
echo "cli end to end: all checks passed"
