# Bash completion of mellowby-cli: its commands, the options and arguments of each, the values of
# --format, folders and files, and the names of the catalogs in the Data folder in use. All of it
# is read from the tool's own help and from `mellowby-cli list`, so it fits the tool it completes.
#
# To use it, read it from ~/.bashrc:
#     source ~/.local/opt/mellowby/mellowby-cli.bash

# Completes the word as the value of a placeholder of the help: one of "tsv|csv|json", a folder
# (目录, 路径), a file (文件, 位置) or a catalog (名称).
_mellowby_cli_values()
{
    local placeholder=$1 tool=$2 name want
    shift 2
    case $placeholder in
    *'|'*) mapfile -t COMPREPLY < <(compgen -W "${placeholder//|/ }" -- "$cur") ;;
    目录 | 路径)
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        compopt -o filenames 2> /dev/null
        ;;
    文件 | 位置)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        compopt -o filenames 2> /dev/null
        ;;
    名称)
        want=${cur//\\/}
        want=${want#[\"\']}
        while IFS= read -r name; do
            [[ $name == "$want"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
        done < <("$tool" list "$@" 2> /dev/null)
        ;;
    esac
}

_mellowby_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local tool=${COMP_WORDS[0]/#\~/$HOME}
    local command='' only='' value_of='' arguments=0 data=() i word help
    COMPREPLY=()
    # "--name placeholder" for each option with a value: the next word is its value.
    local valued
    valued=$("$tool" --help 2> /dev/null | sed -n 's/^  \(--[a-z-]*\) \([^ ]*\)  .*/\1 \2/p')
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $only && $word == -- ]]; then
            only=1
        elif [[ -z $only && $word == --* ]]; then
            if [[ $word != *=* ]] && grep -q -- "^$word " <<< "$valued"; then
                i=$((i + 1))
                ((i == COMP_CWORD)) && value_of=$word
                [[ $word == --data ]] && data=(--data "${COMP_WORDS[i]/#\~/$HOME}")
            fi
            [[ $word == --data=* ]] && data=("$word")
        elif [[ -z $command ]]; then
            command=$word
        else
            arguments=$((arguments + 1))
        fi
    done

    help=$("$tool" ${command:+"$command"} --help 2> /dev/null)
    if [[ -n $value_of ]]; then
        _mellowby_cli_values "$(sed -n "s/^  $value_of \([^ ]*\)  .*/\1/p" <<< "$help" | head -n 1)" "$tool" "${data[@]}"
    elif [[ -z $only && $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(sed -n 's/^  \(--[a-z-]*\).*/\1/p' <<< "$help")" -- "$cur")
    elif [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(sed -n '/^命令：$/,/^$/s/^  \([a-z]*\) .*/\1/p' <<< "$help")" -- "$cur")
    else
        # The placeholders of the command's arguments: its usage line without the options.
        local placeholders
        read -r -a placeholders <<< "$(sed -n '1{s/^用法：[^ ]* [^ ]*//;s/ \[--[^]]*\]\(\.\.\.\)\?//g;s/[][]//g;p}' <<< "$help")"
        ((arguments < ${#placeholders[@]})) && _mellowby_cli_values "${placeholders[arguments]}" "$tool" "${data[@]}"
    fi
    return 0
}

complete -F _mellowby_cli mellowby-cli
