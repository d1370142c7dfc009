#!/usr/bin/env bash
# mellowby-cli on disc image files: an xorriso image with Joliet names scanned as its disc (the
# image's path as the Label, its files, the record of its label), where its files are, and files
# that are no readable image refused with nothing left behind. Skipped (77) without xorriso.
set -euo pipefail

cli="$1"
source "$(dirname "$0")/../support/clitest.sh"
command -v xorriso > /dev/null || exit 77
data=(--data "$work/Data")

mkdir -p "$work/src/照片"
printf 'hello\n' > "$work/src/readme.txt"
printf 'j%.0s' {1..5000} > "$work/src/照片/长城.jpg"
xorriso -as mkisofs -quiet -J -R -V '光盘 2004' -o "$work/disc.iso" "$work/src" 2> /dev/null
image="$work/disc.iso"

"$cli" scan "$image" "映像" "${data[@]}" > "$work/out" 2> "$work/err" || fail "scan failed: $(cat "$work/err")"
grep -q '2 个目录，2 个文件，5006 字节' "$work/out" || fail "summary: $(cat "$work/out")"
grep -qF "Label=\"$image\">" "$work/Data/映像.xml" || fail "Label: $(head -c 300 "$work/Data/映像.xml")"
grep -qxF "image.label=光盘 2004" "$work/Data/映像.vol" && grep -qxF "scanned=$image" "$work/Data/映像.vol" \
  || fail "record: $(cat "$work/Data/映像.vol")"
[ "$("$cli" ls "映像" 照片 "${data[@]}" | cut -f1,2)" = "$(printf '长城.jpg\t5KB')" ] \
  || fail "ls: $("$cli" ls "映像" 照片 "${data[@]}")"
[ "$("$cli" where "映像" "${data[@]}")" = "$image" ] || fail "where: $("$cli" where "映像" "${data[@]}")"
[ "$("$cli" where "映像" "$image/照片/长城.jpg" "${data[@]}")" = "$image/照片/长城.jpg" ] || fail "where of a file"
[ "$("$cli" list --long "${data[@]}" | cut -f1-3)" = "$(printf '映像\t光盘 2004\t在线')" ] \
  || fail "list --long: $("$cli" list --long "${data[@]}")"
mv "$image" "$work/moved.iso"
if "$cli" where "映像" "${data[@]}" > "$work/out" 2> "$work/err"; then fail "where of a moved image"; fi
[ "$(cat "$work/out")" = "不在线" ] || fail "where of a moved image: $(cat "$work/out")"
mv "$work/moved.iso" "$image"

# Refused, each with its words and the failure status, and no catalog left in the Data folder.
refused() {
  local expected="$1"
  shift
  local status=0
  "$cli" scan "$@" "${data[@]}" > /dev/null 2> "$work/err" || status=$?
  [ "$status" = 1 ] || fail "scan of $* ended with $status"
  grep -qF "$expected" "$work/err" || fail "scan of $*: $(cat "$work/err")"
  [ ! -e "$work/Data/坏.xml" ] && [ ! -e "$work/Data/坏.vol" ] || fail "scan of $* left a catalog"
}
head -c 100000 /dev/zero > "$work/zeros.iso"
head -c 40000 "$image" > "$work/cut.iso"
refused '这个文件不是可以读取的光盘映像。' "$work/zeros.iso" 坏
refused '光盘映像已损坏或不完整，无法读取。' "$work/cut.iso" 坏
refused '扫描光盘映像时不能计算文件的校验和。' --checksums "$image" 坏
