#!/usr/bin/env bash
# mellowby-cli where and list --long on the volume the tests run on: the record a scan leaves
# beside the catalog, where the volume and a file are, a volume that is not mounted, a damaged
# record, and catalogs made on Windows, which have none.
set -euo pipefail

cli="$1"
source "$(dirname "$0")/../support/clitest.sh"
mkdir -p "$work/tree/sub dir"
printf 'x' > "$work/tree/sub dir/a.txt"
data=(--data "$work/Data")

"$cli" scan "$work/tree" "盘 1" "${data[@]}" > /dev/null 2>&1 || fail "scan failed"
record="$work/Data/盘 1.vol"
mountpoint=$(findmnt -no TARGET -T "$work/tree")
grep -qxF "mountpoint=$mountpoint" "$record" && grep -qxF "scanned=$work/tree" "$record" \
  && grep -qxF "type=$(findmnt -no FSTYPE -T "$work/tree")" "$record" || fail "record: $(cat "$record")"

[ "$("$cli" where "盘 1" "${data[@]}")" = "$mountpoint" ] || fail "where: $("$cli" where "盘 1" "${data[@]}")"
location=$("$cli" search a.txt "${data[@]}" | cut -f4)
[ "$("$cli" where "盘 1" "$location" "${data[@]}")" = "$location" ] || fail "where of $location"
if "$cli" where "盘 1" /etc/passwd "${data[@]}" > /dev/null 2> "$work/err"; then fail "where of a file of no catalog"; fi
grep -q '不在目录' "$work/err" || fail "no word on a location outside the catalog: $(cat "$work/err")"
[ "$("$cli" list --long "${data[@]}")" = "$(printf '盘 1\t%s\t在线\t有' "$(findmnt -no LABEL -T "$work/tree")")" ] \
  || fail "list --long: $("$cli" list --long "${data[@]}")"

# Another volume where the catalog's was: not online, and the note says what is there instead.
sed -i -e 's/^uuid=.*/uuid=00000000-0000-0000-0000-000000000013/' -e 's/^size=.*/size=1/' "$record"
if out=$("$cli" where "盘 1" "${data[@]}" 2> "$work/err"); then fail "where of a volume not mounted exited 0"; fi
[ "$out" = "不在线" ] && grep -q '另一个卷' "$work/err" || fail "where of a volume not mounted: $out $(cat "$work/err")"
[ "$("$cli" list --long "${data[@]}" | cut -f3)" = "不在线" ] || fail "list --long of a volume not mounted"

# A damaged record counts as none: the catalog is searched as before.
printf 'damaged' > "$record"
[ "$("$cli" list --long "${data[@]}")" = "$(printf '盘 1\t\t未知\t有')" ] || fail "list --long, damaged record"
if "$cli" where "盘 1" "${data[@]}" > /dev/null 2>&1; then fail "where with a damaged record"; fi
[ "$("$cli" search a.txt "${data[@]}" | cut -f4)" = "$location" ] || fail "search with a damaged record"

windows="$(dirname "$0")/../data/windows"
[ "$("$cli" list --long --data "$windows" | sort | tr '\n' '|')" = "$(printf '文学·2004\t\t未知\t无|繁體光碟\t\t未知\t无|')" ] \
  || fail "list --long of Windows catalogs: $("$cli" list --long --data "$windows")"
echo "cli where: all checks passed"
