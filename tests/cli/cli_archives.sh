#!/usr/bin/env bash
# Scans that list archives, against the real file system and archives made by the Debian tools:
# the members in the database as the tools list them, the pair unchanged, the members in search,
# find, ls and export, and hostile archives that leave the scan complete.
set -euo pipefail

cli="$1"
source "$(dirname "$0")/../support/clitest.sh"
for tool in zip unzip tar sqlite3 python3; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed"; exit 77; }
done
export TZ=UTC

tree="$work/tree"
mkdir -p "$work/src/trip" "$tree/photos" "$tree/bad"
printf 'hello' > "$work/src/trip/b.txt"
head -c 3000 /dev/urandom > "$work/src/trip/a.jpg"
printf 'read me' > "$work/src/readme.txt"
find "$work/src" -exec touch -d @1600000000 {} +
(cd "$work/src" && zip -qrX "$tree/photos/2004.zip" trip readme.txt && tar cf "$tree/photos/old.tar" trip readme.txt)
printf 'a plain text' > "$tree/notes.txt"
printf 'no archive inside' > "$tree/photos/fake.zip"
# Hostile: a name that climbs out, one cut short, and more members than the default limit.
python3 - "$tree/bad" <<'PY'
import sys, zipfile
folder = sys.argv[1]
with zipfile.ZipFile(folder + "/evil.zip", "w") as z:
    z.writestr("../../escape.txt", "out")
with zipfile.ZipFile(folder + "/many.zip", "w") as z:
    for i in range(100_001):
        z.writestr(zipfile.ZipInfo("m%d" % i), b"")
PY
head -c 1000 "$tree/photos/2004.zip" > "$tree/bad/cut.zip"
before=$(cd "$work" && find . -path ./home -prune -o -print | sort)

data="$work/Data"
"$cli" scan "$tree" plain --data "$data" > /dev/null 2> "$HOME/err" || fail "scan: $(cat "$HOME/err")"
"$cli" scan "$tree" disc --archives --data "$data" > "$HOME/out" 2> "$HOME/err" || fail "scan --archives: $(cat "$HOME/err")"
grep -q '^压缩文件：5 个' "$HOME/out" || fail "summary: $(cat "$HOME/out")"
[ "$(grep -c '：' "$HOME/err")" = 2 ] && grep -q "bad/cut.zip：已损坏" "$HOME/err" \
  && grep -q "bad/many.zip：超出限制" "$HOME/err" || fail "incomplete archives: $(cat "$HOME/err")"
# The pair is what a scan without archives writes, byte for byte, titles aside.
for ext in xml idx; do
  cmp -s <(sed 's/plain/disc/g' "$data/plain.$ext") "$data/disc.$ext" || fail "the .$ext differs with --archives"
done
after=$(cd "$work" && find . -path ./home -prune -o -path ./Data -prune -o -print | sort)
[ "$after" = "$(grep -v '^./Data' <<< "$before")" ] || fail "files appeared: $(diff <(echo "$before") <(echo "$after"))"

# The database holds the members as unzip and tar list them, and each archive's status.
db="$data/disc.sqlite"
[ "$(sqlite3 "$db" 'PRAGMA user_version')" = 3 ] || fail "schema version"
members() {
  sqlite3 -separator ' ' "$db" "SELECT m.size, strftime('$2', m.mtime_ns / 1000000000, 'unixepoch'), m.path
    FROM members m JOIN entries e ON e.id = m.archive WHERE e.name = '$1' AND m.kind = 2 ORDER BY m.position"
}
[ "$(members 2004.zip '%Y%m%d.%H%M%S')" = "$(unzip -Z -T "$tree/photos/2004.zip" | awk '/^-/ { print $4, $7, $8 }')" ] \
  || fail "zip members: $(members 2004.zip '%Y%m%d.%H%M%S')"
[ "$(members old.tar '%Y-%m-%d %H:%M:%S')" \
  = "$(tar --full-time -tvf "$tree/photos/old.tar" | awk '/^-/ { print $3, $4 " " $5, $6 }')" ] \
  || fail "tar members: $(members old.tar '%Y-%m-%d %H:%M:%S')"
statuses=$(sqlite3 "$db" "SELECT e.name, a.status, a.member_count FROM archives a JOIN entries e ON e.id = a.entry ORDER BY e.name")
[ "$statuses" = "$(printf '2004.zip|0|4\ncut.zip|3|3\nevil.zip|0|3\nmany.zip|4|100000\nold.tar|0|4')" ] \
  || fail "statuses: $statuses"

# Members are files whose locations run through their archive, after the catalog's own.
rows=$("$cli" search a.jpg --data "$data" --in disc | cut -f1,2,4 | sort)
[ "$rows" = "$(printf 'a.jpg\t3KB\t%s\n' "$tree/bad/cut.zip/trip/a.jpg" "$tree/photos/2004.zip/trip/a.jpg" \
  "$tree/photos/old.tar/trip/a.jpg")" ] || fail "search: $rows"
[ "$("$cli" find 'inarchive: ext:txt' --in disc --data "$data" | cut -f4 | sort)" \
  = "$(printf '%s\n' "$tree/bad/cut.zip/trip/b.txt" "$tree/bad/evil.zip/../../escape.txt" \
    "$tree/photos/2004.zip/readme.txt" "$tree/photos/2004.zip/trip/b.txt" \
    "$tree/photos/old.tar/readme.txt" "$tree/photos/old.tar/trip/b.txt" | sort)" ] \
  || fail "find inarchive: $("$cli" find 'inarchive: ext:txt' --in disc --data "$data")"
[ "$("$cli" find '!inarchive: ext:txt' --in disc --data "$data" | cut -f1)" = "notes.txt" ] || fail "find !inarchive:"
[ "$("$cli" find 'folder: inarchive:' --in disc --data "$data" | cut -f1 | sort -u | tr "\n" " ")" = ".. trip " ] \
  || fail "folders in archives: $("$cli" find 'folder: inarchive:' --in disc --data "$data")"
[ "$("$cli" ls disc photos/2004.zip/trip --data "$data" | cut -f1 | tr '\n' ' ')" = "b.txt a.jpg " ] \
  || fail "ls inside an archive: $("$cli" ls disc photos/2004.zip/trip --data "$data")"
[ "$("$cli" ls disc photos --data "$data" | cut -f1 | sort | tr '\n' ' ')" = "2004.zip fake.zip old.tar " ] \
  || fail "ls beside archives"
export=$("$cli" export disc --data "$data" | cut -d, -f3,4 | tail -n +2 | tr -d '\r')
[ "$(head -n 1 <<< "$export" | cut -d, -f1)" != "b.txt" ] || fail "members before the catalog's files"
grep -qxF "readme.txt,$tree/photos/2004.zip/readme.txt" <<< "$export" || fail "export: $export"
[ "$(grep -c '/many.zip/' <<< "$export")" = 100000 ] || fail "export of the members over the limit"

# Members whose rows were changed are left out, and the rest of the database stays in use.
sqlite3 "$db" "UPDATE members SET size = 4000 WHERE path = 'trip/a.jpg'"
[ -z "$("$cli" find 'inarchive:' --in disc --data "$data")" ] || fail "changed members were used"
[ "$("$cli" list --long --data "$data" | grep '^disc' | cut -f4)" = "有" ] || fail "a changed member lost the database"
"$cli" find notes.txt --format csv --in disc --data "$data" | grep -q ',disc,12,' || fail "catalog rows without facts"

# A disc image among the files is listed as an archive when its volume descriptors say so; one
# named .iso that is none stays a plain file.
if command -v xorriso > /dev/null; then
  images="$work/images"
  mkdir -p "$images"
  xorriso -outdev "$images/photos.iso" -joliet on -map "$work/src" / > /dev/null 2>&1 || fail "xorriso"
  printf 'not an image' > "$images/fake.iso"
  "$cli" scan "$images" discs --archives --data "$data" > "$HOME/out" 2> "$HOME/err" || fail "scan of images: $(cat "$HOME/err")"
  grep -q '^压缩文件：1 个' "$HOME/out" || fail "images summary: $(cat "$HOME/out")"
  [ "$("$cli" find 'inarchive:' --in discs --data "$data" | cut -f4 | sort)" \
    = "$(printf '%s\n' "$images/photos.iso/readme.txt" "$images/photos.iso/trip/a.jpg" "$images/photos.iso/trip/b.txt")" ] \
    || fail "image members: $("$cli" find 'inarchive:' --in discs --data "$data")"
fi
