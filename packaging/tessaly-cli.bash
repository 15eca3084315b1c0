# bash completion for tessaly-cli                          -*- shell-script -*-

# Adds each of the words after the first argument that begins with the word
# being typed (letter case aside), quoted for the command line (report names
# hold blanks).
_tessaly_cli_offer()
{
    local typed=$1 word
    shift
    typed=${typed#[\"\']}
    # The program takes these in any letter case.
    typed=${typed,,}
    for word in "$@"; do
        [[ ${word,,} == "$typed"* ]] && COMPREPLY+=("$(printf '%q' "$word")")
    done
}

_tessaly_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    local commands="help add list keywords details validate analyze download import
        import-old capture repair export report sync version"
    local fields="Location Description Category Rating Keyword SiteInfo LastVisit
        LastValidated Validated MovedTo Comments UserName Password Expires PageSize
        EmailAddress OriginalFilename Custom1 Custom2 Custom3"
    # Options that take a value: the word after one is its value.
    local valued=" --data --password-file --description --category --keyword --rating"
    valued+=" --order --query --format --columns --jobs --folder --assign --title"
    valued+=" --template --pdf --paper --url --user --file "

    # The command, the words given to it so far (option values left out)
    # and whether "--" ended its options.
    local command= i word
    local -a given=()
    local ended=
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $ended && $word == -- ]]; then
            [[ -n $command ]] && ended=1
            continue
        fi
        # export's --rating is a switch, add's takes the rating.
        if [[ -z $ended && $valued == *" $word "* && "$command $word" != "export --rating" ]]; then
            ((i++))
            continue
        fi
        [[ -z $ended && $word == -* ]] && continue
        if [[ -z $command ]]; then
            command=$word
        else
            given+=("$word")
        fi
    done

    [[ "$command $prev" == "export --rating" ]] && prev=
    case $prev in
    --data | --folder)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --password-file | --pdf)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --template)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -W default -- "$cur")
        return
        ;;
    --format)
        mapfile -t COMPREPLY < <(compgen -W "tsv csv" -- "$cur")
        return
        ;;
    --assign)
        mapfile -t COMPREPLY < <(compgen -W "guess selected none" -- "$cur")
        return
        ;;
    --paper)
        mapfile -t COMPREPLY < <(compgen -W "a4 letter" -- "$cur")
        return
        ;;
    --order)
        # Every command takes every order's names: the short ones first,
        # the headings the windows show after them.
        _tessaly_cli_offer "$cur" location description category catdesc catloc rating keyword \
            "Site Location" "Site Description" "Category then Location"
        return
        ;;
    --columns)
        # A comma-separated list: complete its last name.
        local head=
        [[ $cur == *,* ]] && head=${cur%,*},
        mapfile -t COMPREPLY < <(compgen -P "$head" -W "$fields" -- "${cur##*,}")
        compopt -o nospace 2>/dev/null
        return
        ;;
    --description | --category | --keyword | --rating | --query | --jobs | --title)
        return
        ;;
    esac

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--data --password-file --help --version" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
        fi
        return
    fi

    local options=
    case $command in
    add) options="--description --category --keyword --rating --" ;;
    list) options="--order --query --format --columns --show-passwords" ;;
    keywords | details) options="--" ;;
    validate | analyze) options="--query --jobs" ;;
    download) options="--folder --query" ;;
    import) options="--assign --category" ;;
    repair) options="--yes" ;;
    export) options="--order --category --query --title --rating --siteinfo --template" ;;
    report)
        options="--pdf --query --paper"
        [[ ${given[0]-} == design ]] && options+=" --columns --order"
        ;;
    esac
    if [[ -z $ended && $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi

    local n=${#given[@]}
    case $command in
    import | export)
        # The type, then the file read or written.
        if ((n == 0)); then
            local types="ie netscape html csv ascii firefox chromium xbel"
            [[ $command == export ]] && types="simple table frame csv ascii netscape xbel"
            mapfile -t COMPREPLY < <(compgen -W "$types" -- "$cur")
        elif ((n == 1)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        fi
        ;;
    report)
        ((n == 0)) && _tessaly_cli_offer "$cur" "URLs by Location" "URLs by Description" \
            "URLs by Category" "URLs by Rating" "URLs by Keyword" "Categories" "design"
        ;;
    repair)
        if ((n == 0)); then
            mapfile -t COMPREPLY < <(compgen -W "build pack release info fix" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "TESSLY URLKeywords URLDetails Categories CatHTML" -- "$cur")
        fi
        ;;
    import-old)
        if ((n == 0)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        fi
        ;;
    capture)
        if ((n == 0)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -W - -- "$cur")
        fi
        ;;
    esac
}
complete -F _tessaly_cli tessaly-cli
