#!/usr/bin/env bash
# Builds Mellowby and catalogues a demo folder with the command-line tool, then lists the catalogs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh dev
bin=build/dev/bin
demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
mkdir -p "$demo/照片 2004/旧" "$demo/文档"
printf 'Mellowby 演示\n' > "$demo/说明.txt"
head -c 2048 /dev/zero > "$demo/照片 2004/Tom & Jerry.jpg"
head -c 1500 /dev/zero > "$demo/文档/报告.doc"
mkdir -p "$bin/Data"
"$bin/mellowby-cli" scan --force "$demo" "演示光盘"
echo "目录："
"$bin/mellowby-cli" list
