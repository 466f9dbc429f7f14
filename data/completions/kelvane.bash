# bash completion for kelvane: commands, their options (read from their --help) and game
# files (.kgame, .exe, game.dat, project folders).
_kelvane() {
    local cur prev words cword
    _init_completion -s || return

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W 'run pack unpack info exec fuse --help --version' -- "$cur"))
        return
    fi
    local command=${words[1]}
    case $prev in
        --steps | --seed | -e | --drive | --scale | --watch)
            return
            ;;
        --frames | --workdir | --cd)
            _filedir -d
            return
            ;;
        --input | --record | --replay | --answers | --audio-out | --watch-out)
            _filedir
            return
            ;;
        -o)
            case $command in
                pack) _filedir kgame ;;
                fuse) _filedir ;;
                *) _filedir -d ;;
            esac
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
        run | info | unpack | fuse)
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
