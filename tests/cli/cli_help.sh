#!/usr/bin/env bash
# The command line of mellowby-cli: --help and --version, mistakes named on standard error with
# status 2, options anywhere on the line as they always could be; then an installation of the tool
# into a temporary folder: the manual page, rendered in Chinese, and the bash completion.
set -euo pipefail

cli="$1" build="$2" version="$3"
source "$(dirname "$0")/../support/clitest.sh"
# Runs the tool: $status, $out and $err.
run() {
  status=0
  "$cli" "$@" > "$work/out" 2> "$work/err" || status=$?
  out=$(cat "$work/out") err=$(cat "$work/err")
}

run --help
[ "$status" = 0 ] && [ -z "$err" ] || fail "--help ($status): $err"
help=$out
grep -qxF '  mellowby-cli search 文本 [--in 名称]... [--format tsv|csv|json] [--out 文件] [--no-index] [--data 目录]' \
  <<< "$help" || fail "--help: $help"
# Each command's help begins with the usage line the tool's help gives it.
declare -A usages
for command in scan list search find ls export dupes stats delete where verify; do
  usage=$(grep "^  mellowby-cli $command " <<< "$help") || fail "--help has no usage of $command"
  usages[$command]=${usage#  }
  run "$command" --help
  [ "$status" = 0 ] && [ -z "$err" ] && [ "$(head -n 1 <<< "$out")" = "用法：${usage#  }" ] \
    || fail "$command --help ($status): $out $err"
done
run --help export
grep -qF -- '--format csv|json  输出格式' <<< "$out" || fail "--help export: $out"
run scan --bogus --help
[ "$status" = 0 ] && [ "$(head -n 1 <<< "$out")" = "用法：${usages[scan]}" ] || fail "--help after a mistake ($status): $err"
# Chinese takes two columns: what each argument and option does begins in one column.
for command in "" scan ls; do
  "$cli" ${command:+"$command"} --help | python3 -c '
import sys, unicodedata
width = lambda text: sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in text)
rows = [line for line in sys.stdin.read().split("\n\n")[-1].splitlines()[1:]]
columns = {width(row[: len(row) - len(row[2:].split("  ", 1)[1].lstrip())]) for row in rows}
assert len(rows) > 1 and len(columns) == 1, rows' || fail "the columns of ${command:-the tool}'s help are not aligned"
done
run scan --version
[ "$status" = 0 ] && [ "$out" = "mellowby-cli $version" ] || fail "--version ($status): $out"

# A mistake: what it is, then the usage, on standard error with status 2.
mistake() {
  local expected="$1"
  shift
  run "$@"
  [ "$status" = 2 ] && [ -z "$out" ] && [ "$(head -n 1 <<< "$err")" = "mellowby-cli: $expected" ] \
    && grep -q '^用法：' <<< "$err" || fail "$* ($status): $err"
}
mistake '未知的选项：--bogus' list --bogus
[ "$(sed -n 2p <<< "$err")" = "用法：${usages[list]}" ] || fail "the usage after a mistake in list: $err"
mistake '未知的选项：--force=yes' scan --force=yes x
mistake '命令 list 没有选项 --in。' list --in x
# --checksums takes its value only after "=": the next word stays the catalog's name.
mistake '未知的校验和算法：md5（可用 xxh128、sha256）。' scan --checksums=md5 x
mistake '多余的参数：c' scan a --checksums b c
mistake '命令 ls 没有选项 --checksums。' ls --checksums x
mistake '缺少参数“路径”。' --force scan
mistake '多余的参数：b c' stats a b c
mistake '选项 --data 后面缺少参数。' list --data
mistake '缺少命令。' --data x
[ "$(grep -c '^  mellowby-cli ' <<< "$err")" = 11 ] || fail "the usage without a command: $err"
mistake '未知的命令：frob' frob
mistake 'export 的格式只能是 csv 或 json。' export x --format tsv
mistake '未知的输出格式：xml（可用 tsv、csv、json）。' --format xml search x

# Options before the command, between and after its arguments, "=" or not; "-x" and what follows
# "--" are arguments.
mkdir -p "$work/tree"
for name in -x.txt --y.txt a.txt; do printf 'x' > "$work/tree/$name"; done
"$cli" --data "$work/Data" scan --no-index "$work/tree" "盘 1" > /dev/null 2>&1 || fail "scan"
"$cli" scan "$work/tree" other --data="$work/Data" > /dev/null 2>&1 || fail "scan with --data="
[ "$("$cli" --format csv search -x --data "$work/Data" --in=other --in "盘 1" | tail -n +2 | sed 's/,.*,/,/')" \
  = "$(printf -- '-x.txt,other\r\n-x.txt,盘 1\r')" ] || fail "search -x with options around it"
[ "$("$cli" search --data "$work/Data" --in other -- --y | cut -f1)" = "--y.txt" ] || fail "search -- --y"
mistake '多余的参数：--long' list --data "$work/Data" -- --long
# A value is the next word, whatever it looks like, and the last of an option given twice counts.
run search a --data "$work/Data" --in --
[ "$status" = 1 ] && grep -qF '没有名为“--”的目录' <<< "$err" || fail "--in -- ($status): $err"
run search a --data "$work/Data" --in=
[ "$status" = 1 ] && grep -qF '没有名为“”的目录' <<< "$err" || fail "--in= ($status): $err"
[ "$("$cli" stats other --format json --data "$work/missing" --format tsv --data "$work/Data" | cut -f1,3)" \
  = "$(printf 'other\t3')" ] || fail "the last --format and --data"

# Each command takes every option its usage lists, to the effect the option has elsewhere.
"$cli" export other --no-index --out "$work/export.csv" --data "$work/Data" || fail "export --no-index --out"
"$cli" ls other --out "$work/ls.tsv" --no-index --data "$work/Data" || fail "ls --out"
"$cli" dupes --in other --in "盘 1" --min-size 0 --format json --out "$work/dupes.json" --no-index --data "$work/Data" \
  || fail "dupes with every option"
"$cli" stats --format csv --out "$work/stats.csv" --no-index --data "$work/Data" || fail "stats with every option"
[ "$(grep -c 'a.txt' "$work/export.csv" "$work/ls.tsv" "$work/dupes.json" | cut -d: -f2 | tr '\n' ' ')" = "1 1 2 " ] \
  && [ "$(wc -l < "$work/stats.csv")" = 3 ] || fail "what the options wrote"

# The installation: the tool, its manual page and its completion in one folder.
cmake --install "$build" --component cli --prefix "$work/installed" > /dev/null || fail "cmake --install"
cd "$work/installed"
[ "$(./mellowby-cli scan --help | head -n 1)" = "$(head -n 1 < <("$cli" scan --help))" ] || fail "installed scan --help"
# On 80 columns troff has a place to break each line, which Chinese text has few of.
LC_ALL=C.UTF-8 MANWIDTH=80 man ./mellowby-cli.1 > /dev/null 2> "$work/err" && [ ! -s "$work/err" ] \
  || fail "man ./mellowby-cli.1: $(cat "$work/err")"
page=$(LC_ALL=C.UTF-8 MANWIDTH=200 man ./mellowby-cli.1)
[ "$(grep -E '^\S' <<< "$page" | sed -n '2,9p' | tr '\n' ' ')" = "名称 概述 描述 命令 选项 退出状态 文件 示例 " ] \
  || fail "the sections of the manual page: $page"
for line in 'mellowby-cli - 为光盘和文件夹编目' \
  'mellowby-cli where 名称 [位置] [--data 目录]' '--format tsv|csv|json' "mellowby-cli $version"; do
  grep -qF -- "$line" <<< "$page" || fail "the manual page has no \"$line\": $page"
done
if grep -q '??' <<< "$page"; then fail "the manual page lost its Chinese: $page"; fi
for command in "${!usages[@]}"; do
  grep -qF -- "${usages[$command]}" <<< "$page" || fail "the manual page has no usage of $command"
done

# shellcheck source=/dev/null
source ./mellowby-cli.bash
completed() {
  COMP_WORDS=("$PWD/mellowby-cli" "$@") COMP_CWORD=$#
  _mellowby_cli
  local IFS='|'
  echo "${COMPREPLY[*]}"
}
[ "$(completed s)" = "scan|search|stats" ] || fail "completion of commands: $(completed s)"
[ "$(completed search x --f)" = "--format" ] || fail "completion of options: $(completed search x --f)"
[ "$(completed export x --format '')" = "csv|json" ] || fail "completion of export --format"
[ "$(completed --data "$work/Data" where '')" = 'other|盘\ 1' ] || fail "completion of catalogs: $(completed --data "$work/Data" where '')"
[ "$(completed ls other '')" = "" ] || fail "completion of a folder inside a catalog: $(completed ls other '')"
[ "$(completed list --data "$work/Da")" = "$work/Data" ] || fail "completion of --data"
[ "$(completed search -- --f)" = "" ] || fail "completion of an option after --"
echo "cli help: all checks passed"
