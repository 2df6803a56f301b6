# bash completion for zenvira-cli
_zenvira_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="resolve download batch profiles convert"
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            resolve | download | batch | profiles | convert)
                command=${words[i]}
                break
                ;;
        esac
    done

    case $prev in
        -o | --output)
            _filedir
            return
            ;;
        --quality)
            COMPREPLY=($(compgen -W "1080 720 480 360 240" -- "$cur"))
            return
            ;;
        --connections)
            COMPREPLY=($(compgen -W "1 2 4 8 16" -- "$cur"))
            return
            ;;
        --limit-rate | --subtitles | --player)
            return
            ;;
    esac

    local options
    case $command in
        "") options="--help --version" ;;
        resolve) options="--help --version" ;;
        download) options="--quality --audio-only --subtitles -o --output --connections --limit-rate -q --quiet --json --serve --player --help --version" ;;
        batch) options="--subtitles -o --output --connections --limit-rate -q --quiet --json --help --version" ;;
        profiles) options="--help --version" ;;
        convert) options="--print --help --version" ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command in
        "") COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
        batch) _filedir ;;
        convert)
            # the file, then the profile's name
            local operands=0
            for ((i = i + 1; i < cword; i++)); do
                [[ ${words[i]} != -* ]] && ((operands++))
            done
            if ((operands == 0)); then
                _filedir flv
            else
                local IFS=$'\n'
                COMPREPLY=($(compgen -W "$(zenvira-cli profiles 2>/dev/null)" -- "$cur"))
                COMPREPLY=("${COMPREPLY[@]// /\\ }")
                COMPREPLY=("${COMPREPLY[@]//(/\\(}")
                COMPREPLY=("${COMPREPLY[@]//)/\\)}")
            fi
            ;;
    esac
} &&
    complete -F _zenvira_cli zenvira-cli

# ex: filetype=sh
