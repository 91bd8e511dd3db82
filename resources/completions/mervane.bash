# Bash completion for mervane.
# SPDX-License-Identifier: GPL-3.0-or-later

_mervane() {
    local line=${COMP_LINE:0:COMP_POINT}
    # The word being completed, whole: "=" may be one of the characters that split words.
    local cur=${line##*[[:space:]]}
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        # After "--" every argument is a path: bash completes file names itself.
        [[ ${COMP_WORDS[i]} == -- ]] && return 0
    done
    local -a candidates=()
    case $cur in
        -[Pp][Rr][Ee][Ss][Ee][Tt]=*)
            candidates=(-Preset=0 -Preset=1 -Preset=2 -Preset=3 -Preset=4
                        -Preset=5 -Preset=6 -Preset=7 -Preset=8 -Preset=9)
            ;;
        -*)
            candidates=(-Console -Preset= -IgnoreWarning -Portable -Uninstall
                        -Help -? --help -h --version --dry-run --undo --undo=
                        --list-runs --)
            ;;
        *)
            return 0
            ;;
    esac
    local word
    COMPREPLY=()
    for word in "${candidates[@]}"; do
        # Options are matched in any letter case.
        [[ ${word,,} == "${cur,,}"* ]] || continue
        # Bash replaces only the part after the last "=" when "=" splits words.
        if [[ $cur == *=* && $COMP_WORDBREAKS == *=* ]]; then
            word=${word#*=}
        fi
        COMPREPLY+=("$word")
    done
    # "-Preset=" and "--undo=" wait for their number.
    if [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]]; then
        compopt -o nospace 2>/dev/null
    fi
    return 0
}

complete -o default -F _mervane mervane
