# bash completion for ormid-cli: its commands, each command's options and the memories
# M1 to M4; file names where a command takes a file (complete -o default).

_ormid_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local -A subcommands=(
        [stick]="status read write erase backup restore"
        [device]="status read write update-fw"
    )
    local -A options=(
        [new]="-o --info"
        [check]=""
        [show]="--no-load-check --copy-astro"
        [report]="-o --project --luminaire --driver --png --profile --lat --date --twilight --lst --age-hours"
        [diff]=""
        [night]="--lat --date --twilight"
        [profile]="--lat --date --twilight --lst --age-hours --png --csv"
        [stick status]=""
        [stick read]="-o --force"
        [stick write]="--name --tx --no-verify"
        [stick erase]="--remote"
        [stick backup]="--force"
        [stick restore]="--slots"
        [device status]=""
        [device read]="-o --raw --force"
        [device write]="--no-verify --batch --log --force --count --update-fw"
        [device update-fw]=""
    )
    COMPREPLY=()

    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "new check show report diff night profile stick device help --help --version" -- "$cur"))
        return
    fi
    local command=${COMP_WORDS[1]}
    if [[ -n ${subcommands[$command]+set} ]]; then
        if ((COMP_CWORD == 2)); then
            COMPREPLY=($(compgen -W "${subcommands[$command]}" -- "$cur"))
            return
        fi
        command+=" ${COMP_WORDS[2]}"
    fi
    [[ -n ${options[$command]+set} ]] || return

    case $prev in
    -o | --raw | --info | --name | --project | --luminaire | --driver | --png | --slots | --log | --count | --lat | --date | --twilight | --lst | --age-hours | --csv) return ;;
    --tx)
        COMPREPLY=($(compgen -W "pol isd isden isdengine lsten lstengine" -- "$cur"))
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${options[$command]}" -- "$cur"))
    elif [[ $command == "stick read" || $command == "stick write" ]] && [[ " ${COMP_WORDS[*]:3:COMP_CWORD-3} " != *\ M[1-4]\ * ]]; then
        COMPREPLY=($(compgen -W "M1 M2 M3 M4" -- "$cur"))
    fi
}
complete -o default -F _ormid_cli ormid-cli
