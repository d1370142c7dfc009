#!/usr/bin/env bash
# Builds everything with warnings as errors and runs every test: once in the normal build, once
# under AddressSanitizer and UndefinedBehaviorSanitizer. Then runs every fuzzer (catalogs, settings,
# volume records, archives, queries) for a short while, runs clang-tidy over src/ and checks the formatting.
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

echo "== fuzz build =="
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j "$(nproc)"
echo "== fuzz run =="
bash scripts/fuzz.sh 30

echo "== clang-tidy =="
bash scripts/clang-tidy.sh build/dev

echo "== format check =="
git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' \
  | xargs clang-format --dry-run --Werror
echo "format check passed"
