# bash completion for kelvane: commands, their options (read from their --help) and game
# files (.kgame, .exe, game.dat, project folders).
_kelvane() {
    local cur prev words cword
    _init_completion -s || return

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W 'run pack unpack info exec --help --version' -- "$cur"))
        return
    fi
    local command=${words[1]}
    case $prev in
        --steps | --seed | -e | --drive)
            return
            ;;
        --frames | --workdir)
            _filedir -d
            return
            ;;
        --input | --record | --replay | --answers)
            _filedir
            return
            ;;
        -o)
            [[ $command == pack ]] && _filedir kgame || _filedir -d
            return
            ;;
    esac
    [[ $prev == -- && $command == run ]] && return
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1" "$command --help") --help' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    case $command in
        run | info | unpack)
            _filedir '@(kgame|KGAME|exe|EXE|dat|DAT)'
            ;;
        pack)
            _filedir -d
            ;;
        exec)
            _filedir
            ;;
    esac
} &&
    complete -F _kelvane kelvane
