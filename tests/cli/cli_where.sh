#!/usr/bin/env bash
# mellowby-cli where and list --long on the volume the test runs on: the record a scan leaves
# beside the catalog, where the volume and a file are, a volume that is not mounted, and catalogs
# without a record or with a damaged one.
set -euo pipefail

cli="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CACHE_HOME="$work/home/cache"
mkdir -p "$HOME" "$work/tree/sub dir"
printf 'x' > "$work/tree/sub dir/a.txt"
data=(--data "$work/Data")

fail() { echo "FAIL: $*" >&2; exit 1; }

"$cli" scan "$work/tree" "盘 1" "${data[@]}" > /dev/null 2>&1 || fail "scan failed"
record="$work/Data/盘 1.vol"
[ -f "$record" ] || fail "no record of the volume beside the catalog: $(ls "$work/Data")"
mountpoint=$(findmnt -no TARGET -T "$work/tree")
grep -qxF "mountpoint=$mountpoint" "$record" || fail "record: $(cat "$record")"
grep -qxF "scanned=$work/tree" "$record" || fail "record: $(cat "$record")"
grep -qxF "type=$(findmnt -no FSTYPE -T "$work/tree")" "$record" || fail "record: $(cat "$record")"

[ "$("$cli" where "盘 1" "${data[@]}")" = "$mountpoint" ] || fail "where: $("$cli" where "盘 1" "${data[@]}")"
location=$("$cli" search a.txt "${data[@]}" | cut -f4)
[ "$("$cli" where "盘 1" "$location" "${data[@]}")" = "$location" ] || fail "where of $location"
if "$cli" where "盘 1" /etc/passwd "${data[@]}" > /dev/null 2> "$work/err"; then fail "where of a file of no catalog"; fi
grep -q '不在目录' "$work/err" || fail "no word on a location outside the catalog: $(cat "$work/err")"
if "$cli" where "盘 1" a b "${data[@]}" > /dev/null 2>&1; then fail "where with three arguments"; fi
if "$cli" where "no such" "${data[@]}" > /dev/null 2>&1; then fail "where of an unknown catalog"; fi
[ "$("$cli" list --long "${data[@]}")" = "$(printf '盘 1\t%s\t在线' "$(findmnt -no LABEL -T "$work/tree")")" ] \
  || fail "list --long: $("$cli" list --long "${data[@]}")"

# Another volume where the catalog's was: not online, and the note says what is there instead.
sed -i -e 's/^uuid=.*/uuid=00000000-0000-0000-0000-000000000013/' -e 's/^size=.*/size=1/' "$record"
if out=$("$cli" where "盘 1" "${data[@]}" 2> "$work/err"); then fail "where of a volume not mounted exited 0"; fi
[ "$out" = "不在线" ] || fail "where of a volume not mounted: $out"
grep -q '另一个卷' "$work/err" || fail "no word on the volume in its place: $(cat "$work/err")"
[ "$("$cli" list --long "${data[@]}" | cut -f3)" = "不在线" ] || fail "list --long of a volume not mounted"

# A damaged record counts as none: the catalog lists and searches as before.
printf 'damaged' > "$record"
[ "$("$cli" list --long "${data[@]}")" = "$(printf '盘 1\t\t未知')" ] || fail "list --long, damaged record"
if "$cli" where "盘 1" "${data[@]}" > /dev/null 2> "$work/err"; then fail "where with a damaged record"; fi
grep -q '没有记录' "$work/err" || fail "no word on the missing record: $(cat "$work/err")"
[ "$("$cli" search a.txt "${data[@]}" | cut -f4)" = "$location" ] || fail "search with a damaged record"

# A new scan replaces the record; deleting the catalog keeps it beside the twin.
"$cli" scan --force "$work/tree" "盘 1" "${data[@]}" > /dev/null 2>&1 || fail "scan --force failed"
grep -qxF "mountpoint=$mountpoint" "$record" || fail "the record was not replaced: $(cat "$record")"
"$cli" delete "盘 1" "${data[@]}" > /dev/null || fail "delete failed"
[ -f "$record" ] && [ -f "$work/Data/盘 1.idx" ] || fail "delete took the record or the twin"

# Catalogs made on Windows have no record.
windows="$(dirname "$0")/../data/windows"
[ "$("$cli" list --long --data "$windows" | sort | tr '\n' '|')" = "$(printf '文学·2004\t\t未知|繁體光碟\t\t未知|')" ] \
  || fail "list --long of Windows catalogs: $("$cli" list --long --data "$windows")"
if "$cli" where 繁體光碟 --data "$windows" > /dev/null 2>&1; then fail "where of a Windows catalog succeeded"; fi
echo "cli where: all checks passed"
