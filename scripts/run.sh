#!/usr/bin/env bash
# Builds Mellowby and starts it. On a first run with no catalogs yet, the program's own source
# folder is catalogued so that the window has something to show.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh dev
bin=build/dev/bin
mkdir -p "$bin/Data"
if [ -z "$("$bin/mellowby-cli" list)" ]; then
  "$bin/mellowby-cli" scan "$PWD/src" "Mellowby 源代码"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "没有图形显示（DISPLAY 未设置），无法打开窗口。可以用 xvfb-run bash scripts/run.sh 在虚拟显示上运行。" >&2
  exit 1
fi
exec "$bin/mellowby"
