# bash completion for orbisight-cli                        -*- shell-script -*-

_orbisight_cli()
{
    local cur prev words cword
    _init_completion || return

    local commands="params set-param rf sd-list sd-get plan set-plan watch talk
        play account lan-search lan-set local cloud-list cloud-get --help"
    local camera="--address --id --user --password --timeout-ms"

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi

    # Values of the options that name files or folders.
    case $prev in
        --out | --record | --data-dir)
            _filedir -d
            return
            ;;
        --wav)
            _filedir wav
            return
            ;;
        --snapshot)
            _filedir '@(jpg|jpeg|png|bmp)'
            return
            ;;
        --address | --id | --user | --password | --timeout-ms | --date | --from | \
            --to | --file | --name | --enable | --disable | --delete | --seconds | \
            --pane | --rendezvous | --speed | --seek | --nickname | --email | \
            --lan-seconds | --host | --parent | --group | --server | --timeout)
            return
            ;;
    esac

    local options=""
    case ${words[1]} in
        params | set-param) options="$camera" ;;
        rf) options="$camera --name --enable --disable --delete --clear" ;;
        sd-list) options="$camera --date --from --to" ;;
        sd-get) options="$camera --file --out" ;;
        plan | set-plan) options="$camera --json" ;;
        watch)
            options="--address --id --user --password --local --seconds --sub-stream
                --pane --no-pictures --listen --name --record --snapshot --rendezvous"
            ;;
        talk) options="$camera --wav --local" ;;
        play)
            if [[ $cur != -* ]]; then
                _filedir 264
                return
            fi
            options="--speed --seek"
            ;;
        account)
            if ((cword == 2)); then
                COMPREPLY=($(compgen -W "login list register bind unbind" -- "$cur"))
                return
            fi
            options="--user --password --data-dir --timeout-ms --nickname --email --id
                --lan-seconds"
            ;;
        lan-search) options="--seconds --data-dir" ;;
        lan-set) options="--id --seconds --data-dir" ;;
        local)
            if ((cword == 2)); then
                COMPREPLY=($(compgen -W "list add remove" -- "$cur"))
                return
            fi
            options="--data-dir --id --host --name --password --parent --group"
            ;;
        cloud-list) options="--id --server --address --timeout --quiet --date --from --to" ;;
        cloud-get) options="--id --server --address --timeout --quiet --name --out" ;;
    esac
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
} &&
    complete -F _orbisight_cli orbisight-cli

# ex: filetype=sh
