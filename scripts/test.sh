#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: once in the normal build, once
# under AddressSanitizer and UndefinedBehaviorSanitizer, then checks the formatting.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

for preset in dev asan; do
  echo "== $preset build =="
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
  echo "== $preset tests =="
  ctest --preset "$preset" -j "$(nproc)"
done

echo "== format check =="
git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
  | xargs clang-format --dry-run --Werror
echo "format check passed"
