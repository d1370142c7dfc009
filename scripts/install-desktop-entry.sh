#!/usr/bin/env bash
# Adds Mellowby to the current user's application menu: writes mellowby.desktop into
# ~/.local/share/applications with Exec and Icon pointing into an installed Mellowby folder.
#
#   install-desktop-entry.sh [FOLDER]
#
# FOLDER is the folder that `cmake --install` filled. Without it, the folder this script lies in
# is used when it holds mellowby (the script is installed there), else ~/.local/opt/mellowby.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ $# -ge 1 ]; then
  folder=$1
elif [ -x "$here/mellowby" ]; then
  folder=$here
else
  folder=$HOME/.local/opt/mellowby
fi
if ! absolute=$(cd "$folder" 2>/dev/null && pwd) || [ ! -x "$absolute/mellowby" ] || [ ! -f "$absolute/mellowby.desktop" ]; then
  echo "install-desktop-entry.sh: “$folder” 不是 Mellowby 的安装目录（先运行 cmake --install）。" >&2
  exit 1
fi
folder=$absolute
case $folder in
  *$'\n'* | *$'\r'*)
    echo "install-desktop-entry.sh: 安装目录的路径中不能有换行符。" >&2
    exit 1
    ;;
esac

# Exec takes a quoted argument: inside the quotes \ " ` $ are escaped with a backslash, then the
# whole value escapes each backslash once more, as every string of a desktop entry does; % starts
# a field code and is doubled.
quote_exec_argument() {
  local s=$1
  s=${s//\\/\\\\}
  s=${s//\"/\\\"}
  s=${s//\`/\\\`}
  s=${s//\$/\\\$}
  s=${s//\\/\\\\}
  s=${s//%/%%}
  printf '"%s"' "$s"
}

icon=$folder/mellowby.svg
[ -f "$icon" ] || icon=$folder/mellowby.png

applications=${XDG_DATA_HOME:-$HOME/.local/share}/applications
mkdir -p "$applications"
entry=$applications/mellowby.desktop
exec_line="Exec=$(quote_exec_argument "$folder/mellowby")"
icon_line="Icon=${icon//\\/\\\\}"

temporary=$(mktemp "$applications/.mellowby.desktop.XXXXXX")
trap 'rm -f "$temporary"' EXIT
while IFS= read -r line || [ -n "$line" ]; do
  case $line in
    Exec=*) printf '%s\n' "$exec_line" ;;
    Icon=*) printf '%s\n' "$icon_line" ;;
    *) printf '%s\n' "$line" ;;
  esac
done < "$folder/mellowby.desktop" > "$temporary"
chmod 644 "$temporary"
mv "$temporary" "$entry"
trap - EXIT

if command -v update-desktop-database > /dev/null; then
  update-desktop-database -q "$applications" || true
fi
echo "已添加菜单项：$entry"
