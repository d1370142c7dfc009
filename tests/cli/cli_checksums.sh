#!/usr/bin/env bash
# What mellowby-cli does with the digests of a scan with --checksums: dupes --content groups files by
# them, and export --sums writes them as a file that the real xxhsum -c and sha256sum -c accept on
# the scanned tree (each check is left out where its tool is not installed).
set -euo pipefail

cli="$1"
source "$(dirname "$0")/../support/clitest.sh"
# Runs the tool: $status, $out and $err.
run() {
  status=0
  "$cli" "$@" --data "$work/Data" > "$work/out" 2> "$work/err" || status=$?
  out=$(cat "$work/out") err=$(cat "$work/err")
}
bytes() { head -c "$2" /dev/zero | tr '\0' "$1"; }

# Disc 1: names with a space, a backslash, a line feed and a carriage return. Disc 2 holds two of
# its files under other names, and one of its names with other contents. Disc 3 has no digests;
# disc 4's database is another catalog's, so that its copy of the film counts nowhere.
mkdir -p "$work/d1/sub" "$work/d2/备份" "$work/d3" "$work/d4"
bytes f 5000 > "$work/d1/film 1.mkv"
bytes p 3000 > "$work/d1/sub/photo.jpg"
bytes b 10 > "$work/d1/back\\slash.txt"
bytes n 20 > "$work/d1/two"$'\n'"lines.txt"
bytes r 30 > "$work/d1/carriage"$'\r'"return.txt"
bytes f 5000 > "$work/d2/备份/电影.mkv"
bytes p 3000 > "$work/d2/照片.jpg"
bytes x 10 > "$work/d2/back\\slash.txt"
bytes f 5000 > "$work/d3/film 1.mkv"
bytes f 5000 > "$work/d4/film 1.mkv"
for disc in 1 2 4; do run scan "$work/d$disc" "disc $disc" --checksums; [ "$status" = 0 ] || fail "scan $disc: $err"; done
run scan "$work/d3" "disc 3"
[ "$status" = 0 ] || fail "scan 3: $err"
cp "$work/Data/disc 2.sqlite" "$work/Data/disc 4.sqlite"

run dupes --content --format json
[ "$status" = 0 ] || fail "dupes --content ($status): $err"
[ "$err" = "mellowby-cli: 有 2 个目录没有可用的校验和，未参与按内容的比较：disc 3、disc 4" ] || fail "dupes --content says: $err"
python3 - "$work" "$out" << 'PYTHON' || fail "dupes --content gives: $out"
import json, sys
work, out = sys.argv[1], sys.argv[2]
got = [(o["group"], o["name"], o["size"], o["catalog"], o["location"]) for o in json.loads(out)]
assert got == [
    ("1", "film 1.mkv", "5KB", "disc 1", f"{work}/d1/film 1.mkv"),
    ("1", "电影.mkv", "5KB", "disc 2", f"{work}/d2/备份/电影.mkv"),
    ("2", "photo.jpg", "3KB", "disc 1", f"{work}/d1/sub/photo.jpg"),
    ("2", "照片.jpg", "3KB", "disc 2", f"{work}/d2/照片.jpg"),
], got
PYTHON
run dupes --content --min-size 4 --in "disc 2" --in "disc 1"
[ "$status" = 0 ] && [ -z "$err" ] || fail "dupes --content --in ($status): $err"
[ "$out" = $'1\t电影.mkv\t5KB\tdisc 2\t'"$work/d2/备份/电影.mkv"$'\n1\tfilm 1.mkv\t5KB\tdisc 1\t'"$work/d1/film 1.mkv" ] \
  || fail "dupes --content --min-size: $out"

# XXH128: the lines xxhsum -H2 prints; the names with a line break, which xxhsum cannot read back,
# left out and counted.
run export "disc 1" --sums --out "$work/disc1.xxh128"
[ "$status" = 0 ] && [ -z "$out" ] || fail "export --sums ($status): $err"
[ "$err" = "mellowby-cli: 有 2 个文件的名称含换行符或回车符，xxhsum 无法核对这样的名称，未写入。" ] || fail "export --sums says: $err"
[ "$(wc -l < "$work/disc1.xxh128")" = 3 ] || fail "export --sums wrote: $(cat "$work/disc1.xxh128")"
if command -v xxhsum > /dev/null; then
  expected=$(cd "$work/d1" && xxhsum -H2 "film 1.mkv" sub/photo.jpg)
  [ "$(grep -v slash "$work/disc1.xxh128")" = "$expected" ] || fail "not as xxhsum -H2: $(cat "$work/disc1.xxh128")"
  (cd "$work/d1" && xxhsum -c --strict "$work/disc1.xxh128") > "$work/checked" 2>&1 \
    || fail "xxhsum -c refuses: $(cat "$work/checked")"
  [ "$(grep -c ': OK$' "$work/checked")" = 3 ] || fail "xxhsum -c checked: $(cat "$work/checked")"
  # A changed file is found.
  bytes q 3000 > "$work/d1/sub/photo.jpg"
  ! (cd "$work/d1" && xxhsum -c "$work/disc1.xxh128") > /dev/null 2>&1 || fail "xxhsum -c missed a change"
  bytes p 3000 > "$work/d1/sub/photo.jpg"
else
  echo "xxhsum is not installed: its check is left out"
fi

# SHA-256: every name, the backslash and the line breaks escaped as sha256sum escapes them, to
# standard output.
run scan "$work/d1" "disc 1 sha" --checksums=sha256
[ "$status" = 0 ] || fail "scan sha256: $err"
run export "disc 1 sha" --sums
[ "$status" = 0 ] && [ -z "$err" ] || fail "export --sums sha256 ($status): $err"
printf '%s\n' "$out" > "$work/disc1.sha256"
if command -v sha256sum > /dev/null; then
  expected=$(cd "$work/d1" && sha256sum "film 1.mkv" sub/photo.jpg "back\\slash.txt" "two"$'\n'"lines.txt" \
    "carriage"$'\r'"return.txt" | sort)
  [ "$(sort "$work/disc1.sha256")" = "$expected" ] || fail "not as sha256sum: $out"
  (cd "$work/d1" && sha256sum -c --strict "$work/disc1.sha256") > "$work/checked" 2>&1 \
    || fail "sha256sum -c refuses: $(cat "$work/checked")"
  [ "$(grep -c ': OK$' "$work/checked")" = 5 ] || fail "sha256sum -c checked: $(cat "$work/checked")"
else
  echo "sha256sum is not installed: its check is left out"
fi

# Refused: no digests, a database that does not belong, a format besides; a file given with --out
# stays as it was.
printf 'old' > "$work/kept"
run export "disc 3" --sums --out "$work/kept"
[ "$status" = 1 ] && [ "$err" = "mellowby-cli: 目录“disc 3”的数据库中没有校验和：扫描时加 --checksums 才会计算。" ] \
  || fail "export --sums without digests ($status): $err"
run export "disc 4" --sums --out "$work/kept"
[ "$status" = 1 ] && [ "$err" = "mellowby-cli: 目录“disc 4”没有可用的数据库（未使用：属于另一个目录文件），无法导出校验和。" ] \
  || fail "export --sums of another catalog's database ($status): $err"
[ "$(cat "$work/kept")" = old ] || fail "a refused export replaced the file"
run export "disc 1" --sums --format csv
[ "$status" = 2 ] && [ "$err" = "mellowby-cli: --sums 与 --format 不能同时使用：校验和文件有它自己的格式。" ] \
  || fail "--sums with --format ($status): $err"
echo "PASS"
