# Sourced by the tests of the command-line tool: $work is a temporary folder removed when the
# test exits, and the home folder and the per-user folders lie inside it, so that the trash and
# the names index cache stay there. fail ends the test with what went wrong.

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CACHE_HOME="$work/home/cache"
mkdir -p "$HOME"

fail() { echo "FAIL: $*" >&2; exit 1; }
