# bash completion for zenvira: the desktop program takes one FLV file to play
_zenvira() {
    local cur prev words cword
    _init_completion || return
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--screenshot --downloads" -- "$cur"))
        return
    fi
    _filedir flv
} &&
    complete -F _zenvira zenvira

# ex: filetype=sh
