# bash completion for quorvane-cli: its commands, each command's options,
# the words of reg and reset, and local files where a command takes them.

_quorvane_cli()
{
    local cur prev words cword
    _init_completion || return

    local commands="info ls get put rm mkdir rmdir mv attrib reg run find-databases install sql script export schema tables newdb compact
        rename-table drop-table deploy ps kill reset device-id"
    local agent="--yes --timeout"
    local database="--password --remember $agent"

    # The command is the first word that is not an option or an option's value.
    local i command=""
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
        --socket) ((i++)) ;;
        -*) ;;
        *)
            command="${words[i]}"
            break
            ;;
        esac
    done

    case "$prev" in
    --socket)
        _filedir
        return
        ;;
    --format)
        COMPREPLY=($(compgen -W "table tsv csv json raw" -- "$cur"))
        return
        ;;
    --binary)
        COMPREPLY=($(compgen -W "count text" -- "$cur"))
        return
        ;;
    --password | --timeout | --null | --max-width)
        return
        ;;
    esac

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--socket --version --help" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    local options="--help --socket"
    case "$command" in
    ls) options+=" --long --sizes" ;;
    get | put) options+=" --recursive" ;;
    find-databases) options+=" --windows" ;;
    install) options+=" --keep-cab --delete-cab" ;;
    reg) options+=" --yes" ;;
    sql) options+=" --format --no-header --null --binary --max-width $database" ;;
    script) options+=" --continue-on-error $database" ;;
    export) options+=" --to --odbc --user --odbc-password --structure-only --replace $database" ;;
    schema) options+=" --ascii $database" ;;
    tables | newdb | compact | rename-table | drop-table) options+=" $database" ;;
    deploy | ps | kill | reset | device-id) options+=" $agent" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    case "$command" in
    reg)
        if ((cword == i + 1)); then
            COMPREPLY=($(compgen -W "query set add delete export import" -- "$cur"))
        elif ((cword == i + 2)); then
            COMPREPLY=($(compgen -W "HKLM\\\\ HKCU\\\\ HKCR\\\\" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "/v /ve /s /t /d /f REG_SZ REG_EXPAND_SZ REG_BINARY REG_DWORD
                REG_DWORD_BIG_ENDIAN REG_MULTI_SZ REG_QWORD REG_NONE" -- "$cur"))
        fi
        ;;
    reset)
        COMPREPLY=($(compgen -W "soft hard" -- "$cur"))
        ;;
    get | put)
        # Local paths; device paths start with a backslash and are the user's to type.
        [[ $cur == \\* ]] || _filedir
        ;;
    sql)
        ((cword == i + 2)) && COMPREPLY=($(compgen -W "-" -- "$cur"))
        ;;
    script)
        ((cword == i + 2)) && _filedir
        ;;
    export)
        # The file after --to; ODBC data source names as the driver manager lists them.
        if [[ $prev == --to ]]; then
            _filedir
        elif [[ $prev == --odbc ]] && command -v odbcinst >/dev/null; then
            COMPREPLY=($(compgen -W "$(odbcinst -q -s 2>/dev/null | tr -d '[]')" -- "$cur"))
        fi
        ;;
    install)
        _filedir cab
        ;;
    esac
} && complete -F _quorvane_cli quorvane-cli
