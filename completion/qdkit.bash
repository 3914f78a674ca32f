# bash completion for qdkit: its commands, each command's options, the kinds
# --to takes, the sides --side takes, folders for -C and files elsewhere.
# Installed as share/bash-completion/completions/qdkit; the options must
# stay those `qdkit help COMMAND` lists (tests/qdkit_cli_test.cpp checks).

_qdkit_options() {
    case $1 in
        info) echo "--hash --json -r --recursive -q --quiet -h --help" ;;
        verify) echo "--json -r --recursive -q --quiet -h --help" ;;
        match) echo "--dat --json -r --recursive -q --quiet -h --help" ;;
        convert)
            echo "--to -o -C --side --force -n --no-clobber --salvage --strict --json" \
                "-r --recursive -q --quiet -h --help"
            ;;
        join) echo "-o --to --force --salvage -q --quiet -h --help" ;;
        recover)
            echo "-o -C --to --side-of --json --map --strict --force --salvage --dat -q" \
                "--quiet -h --help"
            ;;
        extract) echo "-C --force -n --no-clobber --json -r --recursive -q --quiet -h --help" ;;
        pack) echo "-o --to --force --json -q --quiet -h --help" ;;
        blank) echo "-o --to --force -q --quiet -h --help" ;;
    esac
}

_qdkit_kinds() {
    case $1 in
        join) echo "fds fds-qd" ;;
        recover) echo "fds mzt qdf" ;;
        blank) echo "hxc-qd" ;;
        *) echo "fds fds-qd fds-raw fds-bin qd-raw qdf mzq hxc-qd mzt" ;;
    esac
}

# Sides by their labels; after a comma, the next side of the list.
_qdkit_sides() {
    local cur=$1 head="" part side
    [[ $cur == *,* ]] && head=${cur%,*},
    part=${cur##*,}
    for side in A B C D E F G H; do
        [[ $side == "${part^^}"* ]] && COMPREPLY+=("$head$side")
    done
}

_qdkit() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="info verify convert join recover extract pack match blank help" command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            -*) ;;
            *)
                command=${COMP_WORDS[i]}
                break
                ;;
        esac
    done
    COMPREPLY=()
    if [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$commands -h --help --version" -- "$cur")
        return
    fi
    case $command:$prev in
        help:*) mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur") ;;
        *:--to) mapfile -t COMPREPLY < <(compgen -W "$(_qdkit_kinds "$command")" -- "$cur") ;;
        *:--side) _qdkit_sides "$cur" ;;
        *:-C) mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
        *)
            if [[ $cur == -* ]]; then
                mapfile -t COMPREPLY < <(compgen -W "$(_qdkit_options "$command")" -- "$cur")
            else
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            fi
            ;;
    esac
}

complete -F _qdkit qdkit
