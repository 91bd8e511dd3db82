# Fish completion for mervane.
# SPDX-License-Identifier: GPL-3.0-or-later

# Options are offered for a word that begins with "-", but not after "--": every argument
# after it is a path.
function __mervane_wants_option
    string match -q -- '-*' (commandline -ct); or return 1
    contains -- -- (commandline -opc); and return 1
    return 0
end

complete -c mervane -f -n __mervane_wants_option -a -Console -d 'Run one batch without a window'
complete -c mervane -f -n __mervane_wants_option -a '-Preset=0' -d 'Start with preset 0'
for number in 1 2 3 4 5 6 7 8 9
    complete -c mervane -f -n __mervane_wants_option -a "-Preset=$number" -d "Start with preset $number"
end
complete -c mervane -f -n __mervane_wants_option -a -IgnoreWarning -d 'Start despite the safety warnings'
complete -c mervane -f -n __mervane_wants_option -a -Portable -d 'Keep the settings beside the program'
complete -c mervane -f -n __mervane_wants_option -a -Uninstall -d 'Delete the settings and undo journals'
complete -c mervane -f -n __mervane_wants_option -a '-Help -? --help -h' -d 'Print the description of the options'
complete -c mervane -f -n __mervane_wants_option -a --version -d 'Print the program name and version'
complete -c mervane -f -n __mervane_wants_option -a --dry-run -d 'Plan the run without changing anything'
complete -c mervane -f -n __mervane_wants_option -a --undo -d 'Take back the newest run'
complete -c mervane -f -n __mervane_wants_option -a --list-runs -d 'List the runs kept in the undo journal'
complete -c mervane -f -n __mervane_wants_option -a -- -d 'Only paths follow'
