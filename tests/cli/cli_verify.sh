#!/usr/bin/env bash
# mellowby-cli verify and scan --update on a real tree: the exit status of a disc as its catalog
# has it, of one whose files changed, and of a catalog that cannot be verified; the records in each
# format; a Data folder that cannot be written; what an update prints.
set -euo pipefail

cli="$1"
source "$(dirname "$0")/../support/clitest.sh"
mkdir -p "$work/tree/sub"
printf 'whole' > "$work/tree/a.txt"
head -c 70000 /dev/urandom > "$work/tree/sub/b.bin"
data=(--data "$work/Data")

"$cli" scan "$work/tree" 盘 --checksums "${data[@]}" > /dev/null 2>&1 || fail "scan failed"
out=$("$cli" verify 盘 "${data[@]}" 2> "$work/err") || fail "verify of an unchanged tree: $(cat "$work/err")"
[ "$out" = "$(printf 'a.txt\t完好\t%s\t\nb.bin\t完好\t%s\t' "$work/tree/a.txt" "$work/tree/sub/b.bin")" ] \
  || [ "$out" = "$(printf 'b.bin\t完好\t%s\t\na.txt\t完好\t%s\t' "$work/tree/sub/b.bin" "$work/tree/a.txt")" ] \
  || fail "verify rows: $out"
grep -qF "已校验“$work/tree”：完好 2，损坏 0，已修改 0，缺失 0，新增 0，无法读取 0。" "$work/err" \
  || fail "verify summary: $(cat "$work/err")"

# A byte changed with the time put back is damage; a file come is new.
printf 'W' | dd of="$work/tree/a.txt" bs=1 count=1 conv=notrunc status=none
touch -r "$work/tree/sub/b.bin" "$work/tree/a.txt"
"$cli" scan "$work/tree" 盘 --update "${data[@]}" > "$work/update" 2> "$work/err" || fail "scan --update: $(cat "$work/err")"
[ "$(cut -f1,2 "$work/update")" = "$(printf 'a.txt\t已修改')" ] || fail "scan --update rows: $(cat "$work/update")"
printf 'x' | dd of="$work/tree/a.txt" bs=1 count=1 conv=notrunc status=none
touch -r "$work/tree/sub/b.bin" "$work/tree/a.txt"
printf 'new' > "$work/tree/c.txt"
status=0
"$cli" verify 盘 --format json "${data[@]}" > "$work/out.json" 2> "$work/err" || status=$?
[ "$status" = 1 ] || fail "verify of a changed tree exited $status: $(cat "$work/err")"
python3 - "$work/out.json" "$work/tree" << 'PY' || fail "verify --format json: $(cat "$work/out.json")"
import json, sys
rows = {row["name"]: row for row in json.load(open(sys.argv[1]))}
assert {name: row["status"] for name, row in rows.items()} == {"a.txt": "损坏", "b.bin": "完好", "c.txt": "新增"}, rows
assert rows["c.txt"]["location"] == sys.argv[2] + "/c.txt", rows
assert rows["a.txt"]["detail"].startswith("xxh128 校验和：目录中 "), rows
PY
"$cli" verify 盘 --format csv --out "$work/out.csv" "${data[@]}" 2> /dev/null && fail "verify --out exited 0"
[ "$(sed -n 1p "$work/out.csv")" = $'\xef\xbb\xbf名称,状态,位置,说明\r' ] || fail "verify --format csv: $(cat "$work/out.csv")"

# A Data folder that cannot be written: verified all the same, nothing recorded.
if [ "$(id -u)" != 0 ]; then
  chmod a-w "$work/Data"
  status=0
  "$cli" verify 盘 "${data[@]}" > /dev/null 2> "$work/err" || status=$?
  chmod u+w "$work/Data"
  [ "$status" = 1 ] && grep -qF '本次校验的结果没有记录' "$work/err" || fail "read-only Data ($status): $(cat "$work/err")"
fi

# What cannot be verified at all exits 2.
for args in "无此目录" "盘 --at /proc"; do
  status=0
  # shellcheck disable=SC2086
  "$cli" verify $args "${data[@]}" > /dev/null 2> "$work/err" || status=$?
  [ "$status" = 2 ] && grep -qF '无法校验' "$work/err" || fail "verify $args exited $status: $(cat "$work/err")"
done
"$cli" scan "$work/tree" 无库 --no-database "${data[@]}" > /dev/null 2>&1 || fail "scan --no-database"
status=0
"$cli" verify 无库 "${data[@]}" > /dev/null 2> "$work/err" || status=$?
[ "$status" = 2 ] && grep -qF '没有数据库' "$work/err" || fail "verify without a database ($status): $(cat "$work/err")"
# scan takes --update only with its database, and --format and --out only with --update.
for args in "--update --no-database" "--format csv"; do
  status=0
  # shellcheck disable=SC2086
  "$cli" scan "$work/tree" 盘 $args "${data[@]}" > /dev/null 2>&1 || status=$?
  [ "$status" = 2 ] || fail "scan $args exited $status"
done
# A database whose digests were changed belongs to its catalog no more: it is neither verified
# against nor updated from, and the catalog stays as it was.
"$cli" scan "$work/tree" 改过 --checksums "${data[@]}" > /dev/null 2>&1 || fail "scan of 改过"
cp "$work/Data/改过.xml" "$work/before.xml"
sqlite3 "$work/Data/改过.sqlite" "UPDATE digests SET digest = zeroblob(16)"
status=0
"$cli" verify 改过 "${data[@]}" > /dev/null 2> "$work/err" || status=$?
[ "$status" = 2 ] && grep -qF '数据库不能使用（未使用：已损坏）' "$work/err" \
  || fail "verify against changed digests ($status): $(cat "$work/err")"
status=0
"$cli" scan "$work/tree" 改过 --update "${data[@]}" > /dev/null 2> "$work/err" || status=$?
[ "$status" = 1 ] && grep -qF '无法更新' "$work/err" || fail "update from changed digests ($status): $(cat "$work/err")"
cmp -s "$work/Data/改过.xml" "$work/before.xml" || fail "a refused update changed the catalog"
echo "cli verify: all checks passed"
