#!/usr/bin/env bash
# Runs every libFuzzer target of the fuzz build for a bounded time (30 s each by default), each
# on a copy of its seed corpus in a temporary folder so the repository stays as it is. A crash,
# a sanitizer report, a broken invariant, a hang or too much memory fails the run; the input
# that caused it is kept in build/fuzz/artifacts.
#   scripts/fuzz.sh [SECONDS]      (the fuzz preset must have been built)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
bin=build/fuzz/bin
artifacts="$PWD/build/fuzz/artifacts"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$artifacts"

status=0
for target in fuzz_catalog fuzz_ini fuzz_volume fuzz_archive fuzz_query; do
  dict="fuzz/${target#fuzz_}.dict"
  cp -r "fuzz/corpus/$target" "$work/$target"
  log="$work/$target.log"
  # libarchive reserves room for the length a header declares before finding the file shorter
  # (a cpio name declared 4 GB long, in a buffer it grows by doubling, so up to 8 GB): address
  # space that is never touched, so that target's bound is on the memory used, not reserved.
  extra=()
  if [ "$target" = fuzz_archive ]; then
    extra=(-malloc_limit_mb=8800)
  fi
  echo "== $target: ${seconds} s =="
  if ! "$bin/$target" -max_total_time="$seconds" -rss_limit_mb=2048 "${extra[@]}" -timeout=10 -dict="$dict" \
    -artifact_prefix="$artifacts/$target-" -print_final_stats=1 "$work/$target" > "$log" 2>&1; then
    # The report: what the sanitizer or the broken invariant said, then where.
    grep -v -e '^#[0-9]' -e '^INFO:' "$log" | head -n 80
    echo "$target FAILED; the input is in $artifacts" >&2
    status=1
    continue
  fi
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  grown="$(sed -n 's/^stat::new_units_added: *//p' "$log")"
  echo "$target: $runs runs, $grown new inputs, no failure"
done
exit "$status"
