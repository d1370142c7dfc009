#!/usr/bin/env bash
# mellowby-cli where on real volumes: an ext4 image, and an ISO 9660 image where the kernel can
# mount one, loop-mounted at one folder, scanned, unmounted and mounted at another folder. The
# record must hold what findmnt reports, and where must find the new folder and the file's new
# path. It runs as root in a mount namespace of its own, so no mount outlives it or is seen
# outside; where it cannot mount it is skipped (status 77, which CTest reports as skipped).
set -euo pipefail

cli="$1"
skip() { echo "SKIPPED: $*"; exit 77; }
export PATH="$PATH:/sbin:/usr/sbin"

if [ "${MELLOWBY_PRIVATE_MOUNTS:-}" != 1 ]; then
  [ "$(id -u)" -eq 0 ] || skip "mounting file system images needs root"
  for tool in unshare mkfs.ext4 losetup findmnt mount umount mountpoint; do
    command -v "$tool" > /dev/null || skip "$tool is not installed"
  done
  unshare --mount true 2> /dev/null || skip "no mount namespace of its own can be made here"
  MELLOWBY_PRIVATE_MOUNTS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

source "$(dirname "$0")/../support/clitest.sh"
loops=()
# Nothing may stay mounted in the folder that is removed.
cleanup() {
  for folder in "$work/first" "$work/second"; do
    while mountpoint -q "$folder"; do umount "$folder" || break; done
  done
  for loop in "${loops[@]}"; do losetup -d "$loop" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/first" "$work/second"
data=(--data "$work/Data")

# Sets up a loop device for an image as $loop; it is detached at the end whatever happens.
attach() {
  loop=$(losetup --find --show "$@" 2> /dev/null) || skip "no loop device can be set up here"
  loops+=("$loop")
}

# The catalog NAME of the folder 2004 of the volume on LOOP, mounted at first, then at second.
check_volume() {
  local name="$1" loop="$2" type="$3"
  local first="$work/first" second="$work/second"
  "$cli" scan "$first/2004" "$name" "${data[@]}" > /dev/null 2> "$work/err" || fail "$type: scan: $(cat "$work/err")"
  local record="$work/Data/$name.vol" uuid label
  uuid=$(findmnt -no UUID "$first")
  label=$(findmnt -no LABEL "$first")
  [ -n "$uuid" ] || fail "$type: findmnt reports no UUID for $first"
  grep -qxF "uuid=$uuid" "$record" || fail "$type: UUID $uuid not recorded: $(cat "$record")"
  grep -qxF "label=$label" "$record" || fail "$type: label $label not recorded: $(cat "$record")"
  grep -qxF "type=$type" "$record" || fail "$type: type not recorded: $(cat "$record")"
  grep -qxF "mountpoint=$first" "$record" || fail "$type: mount point not recorded: $(cat "$record")"
  grep -qxF "path=2004" "$record" || fail "$type: path not recorded: $(cat "$record")"
  [ "$("$cli" where "$name" "${data[@]}")" = "$first" ] || fail "$type: where before moving"
  local location
  location=$("$cli" search a.jpg --in "$name" "${data[@]}" | cut -f4)
  [ "$location" = "$first/2004/trip/a.jpg" ] || fail "$type: listed location $location"

  umount "$first"
  local out
  if out=$("$cli" where "$name" "${data[@]}" 2> /dev/null); then fail "$type: where of an unmounted volume exited 0"; fi
  [ "$out" = "不在线" ] || fail "$type: where of an unmounted volume: $out"

  mount -o ro "$loop" "$second"
  [ "$("$cli" where "$name" "${data[@]}")" = "$second" ] || fail "$type: where after moving"
  [ "$("$cli" where "$name" "$location" "${data[@]}")" = "$second/2004/trip/a.jpg" ] || fail "$type: where of the file"
  [ "$("$cli" list --long "${data[@]}" | grep "^$name	")" = "$(printf '%s\t%s\t在线\t有' "$name" "$label")" ] \
    || fail "$type: list --long: $("$cli" list --long "${data[@]}")"
  umount "$second"
  echo "$type: recorded $uuid ($label), found again at the second folder"
}

truncate -s 16M "$work/photos.img"
mkfs.ext4 -q -L 'PHOTOS 13' "$work/photos.img"
attach "$work/photos.img"
mount "$loop" "$work/first" 2> "$work/err" || skip "the loop device cannot be mounted here: $(cat "$work/err")"
mkdir -p "$work/first/2004/trip"
printf 'x' > "$work/first/2004/trip/a.jpg"
check_volume photos "$loop" ext4

if ! command -v xorriso > /dev/null; then
  echo "note: xorriso is not installed, so no ISO 9660 image is tried"
else
  mkdir -p "$work/disc/2004/trip"
  printf 'x' > "$work/disc/2004/trip/a.jpg"
  xorriso -as mkisofs -quiet -V DISC_13 -o "$work/disc.iso" "$work/disc" 2> /dev/null
  attach --read-only "$work/disc.iso"
  if mount -o ro "$loop" "$work/first" 2> "$work/err"; then
    check_volume disc "$loop" iso9660
  else
    echo "note: this kernel cannot mount ISO 9660 ($(head -n 1 "$work/err")), so that part is left out"
  fi
fi
echo "cli mounted volumes: all checks passed"
