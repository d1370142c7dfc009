#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over every source file of src/ that a build
# compiles (build/dev by default, which must have been configured), as many at once as there
# are cores. Any finding fails the run; the findings of each file are printed together.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/dev}"

# clang-tidy 14 cannot read this code: its clang has neither -std=c++23 nor the conditionally
# trivial special members that libstdc++'s std::expected needs. 16 has the members but still
# announces the older __cpp_concepts, for which libstdc++ hides std::expected; and the compile
# commands are GCC's, whose -std=c++23 it calls c++2b and whose -Wno-maybe-uninitialized it
# does not know.
tidy=clang-tidy-16

commands="$build/compile_commands.json"
if [ ! -f "$commands" ]; then
  echo "clang-tidy: $commands is missing; configure that build first (cmake --preset dev)" >&2
  exit 2
fi

sources=()
while IFS= read -r -d '' file; do
  # Only what the build compiles has compile commands (src/ui is left out without Qt).
  if grep -qF "\"file\": \"$PWD/$file\"" "$commands"; then
    sources+=("$file")
  fi
done < <(find src -name '*.cpp' -print0 | sort -z)

logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT

# One file: its output kept under a name of its own, marked when clang-tidy found anything.
tidy_one() {
  local log
  log="$logs/$(printf '%s' "$1" | tr / _).log"
  if ! "$tidy" -p "$build" --quiet --extra-arg=-std=c++2b \
    --extra-arg=-U__cpp_concepts --extra-arg=-D__cpp_concepts=202002L \
    --extra-arg=-Wno-unknown-warning-option "$1" > "$log" 2>&1; then
    mv "$log" "$log.failed"
    return 1
  fi
}
export -f tidy_one
export tidy build logs

start=$SECONDS
status=0
printf '%s\0' "${sources[@]}" \
  | xargs -0 -n 1 -P "$(nproc)" bash -c 'tidy_one "$1"' _ \
  || status=$?

for failed in "$logs"/*.failed; do
  [ -e "$failed" ] || continue
  grep -v -e '^[0-9]* warnings\? generated\.$' -e '^[0-9]* warnings\? and [0-9]* errors\? generated\.$' \
    -e '^Suppressed [0-9]* warnings' -e '^Use -header-filter=' "$failed" || true
done

echo "clang-tidy: ${#sources[@]} files in $((SECONDS - start)) s"
if [ "$status" -ne 0 ]; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
echo "clang-tidy passed"
