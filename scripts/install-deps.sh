#!/usr/bin/env bash
# Installs the Debian packages Mellowby builds, runs and tests with.
# Only what is missing is installed, so a second run costs a few dpkg queries.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libpugixml-dev libicu-dev libxxhash-dev libblkid-dev libarchive-dev
  # the catalog database beside each catalog, and the sqlite3 shell the README's examples use
  libsqlite3-dev sqlite3
  # SHA-256 for checksums from OpenSSL's libcrypto; the tests hold the digests against xxhsum and
  # sha256sum
  libssl-dev xxhash coreutils
  # mellowby-cli reads its command line with CLI11; its manual page is made with help2man and read
  # back by the tests with man
  libcli11-dev help2man man-db
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-microhei xdg-utils
  # file system images for the tests of volumes: ext4, and ISO 9660 where the kernel mounts it
  e2fsprogs xorriso
  # the tests of exports read CSV and JSON back with Python's own modules
  python3
  # the tests of archives make real ones with each maker's own tool and check them against its listing
  zip unzip 7zip libarchive-tools xz-utils zstd bzip2 lz4 tar
  # libFuzzer and clang-tidy; clang 14 cannot compile the std::expected of libstdc++ 12
  clang-16 libclang-rt-16-dev clang-tidy-16
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
