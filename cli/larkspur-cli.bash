# Bash completion for larkspur-cli: its commands, options and their values, the codec's fields
# and their values for get and set, and file names where a command reads or writes a file.
# It needs bash alone. bash-completion loads it by the command's name from its completions
# folder; from a build tree: source cli/larkspur-cli.bash
#
# The commands come from the --help of the larkspur-cli being completed, and the fields from its
# "fields" (which needs no board), so the completion follows the program it completes.
#
# The line is split here from COMP_LINE rather than taken from COMP_WORDS: bash cuts COMP_WORDS
# at each of COMP_WORDBREAKS, so "--format=c" or the item "ZERO1: L-ch, ZERO2: R-ch" would come
# in pieces. Readline replaces only the text after the last of those characters, or after a quote
# left open, so each reply is the rest of its word from there, quoted as that place needs.

# Splits LINE into shell words: _larkspur_cli_words as the command gets them, the last one the
# word being completed. _larkspur_cli_raw is the same words as typed, _larkspur_cli_kept what
# of the last word readline keeps (as the command gets it) and _larkspur_cli_quote the
# quote left open in it, if any.
_larkspur_cli_split() {
    local line=$1 breaks=${COMP_WORDBREAKS-} c i
    local word='' raw='' quote='' atbreak='' atquote='' started=''
    _larkspur_cli_words=()
    _larkspur_cli_raw=()
    for ((i = 0; i < ${#line}; i++)); do
        c=${line:i:1}
        if [[ $quote == "'" ]]; then
            if [[ $c == "'" ]]; then
                quote=''
            else
                word+=$c
            fi
            raw+=$c
            continue
        fi
        if [[ $quote == '"' ]]; then
            if [[ $c == '"' ]]; then
                quote=''
            elif [[ $c == \\ ]] && ((i + 1 < ${#line})); then
                raw+=$c
                ((i++))
                c=${line:i:1}
                # Between double quotes a backslash quotes only these, and joins lines.
                if [[ $c != [\$\`\"\\$'\n'] ]]; then
                    word+=\\$c
                elif [[ $c != $'\n' ]]; then
                    word+=$c
                fi
            else
                word+=$c
            fi
            raw+=$c
            continue
        fi
        case $c in
        ' ' | $'\t' | $'\n')
            if [[ -n $started ]]; then
                _larkspur_cli_words+=("$word")
                _larkspur_cli_raw+=("$raw")
            fi
            word='' raw='' atbreak='' started=''
            continue
            ;;
        \\)
            raw+=$c
            if ((i + 1 < ${#line})); then
                ((i++))
                c=${line:i:1}
                raw+=$c
                [[ $c == $'\n' ]] || word+=$c
            fi
            ;;
        "'" | '"')
            quote=$c
            atquote=$word
            raw+=$c
            ;;
        *)
            word+=$c
            raw+=$c
            [[ $breaks == *"$c"* ]] && atbreak=$word
            ;;
        esac
        started=1
    done
    _larkspur_cli_words+=("$word")
    _larkspur_cli_raw+=("$raw")
    _larkspur_cli_quote=$quote
    if [[ -n $quote ]]; then
        _larkspur_cli_kept=$atquote
    else
        _larkspur_cli_kept=$atbreak
    fi
}

# Offers the CANDIDATEs that begin with CUR, the word so far as the command gets it: each as the
# rest of the word after what readline keeps, quoted as the word is (file names are left to
# readline, which quotes them itself under -o filenames).
#   _larkspur_cli_offer CUR CANDIDATE...
_larkspur_cli_offer() {
    local cur=$1 candidate rest
    shift
    for candidate; do
        [[ $candidate == "$cur"* ]] || continue
        rest=${candidate:${#_larkspur_cli_kept}}
        if [[ -n $_larkspur_cli_asfiles ]]; then
            :
        elif [[ $_larkspur_cli_quote == "'" ]]; then
            rest=${rest//\'/\'\\\'\'}
        elif [[ $_larkspur_cli_quote == '"' ]]; then
            rest=${rest//\\/\\\\}
            rest=${rest//\"/\\\"}
            rest=${rest//\$/\\\$}
            rest=${rest//\`/\\\`}
        elif [[ -n $rest ]]; then
            printf -v rest %q "$rest"
        fi
        COMPREPLY+=("$rest")
    done
}

# Offers the file names that begin with VALUE, each after PREFIX (the "--trace=" of its word),
# and "-" too when DASH is set.
#   _larkspur_cli_files PREFIX VALUE [DASH]
_larkspur_cli_files() {
    local prefix=$1 value=$2 name
    local -a names=()
    _larkspur_cli_asfiles=1
    compopt -o filenames 2>/dev/null
    while IFS= read -r name; do
        names+=("$prefix$name")
    done < <(compgen -f -- "$value")
    [[ -n ${3-} ]] && names+=("$prefix-")
    _larkspur_cli_offer "$prefix$value" "${names[@]}"
}

# The lines of "PROGRAM fields", split at their tabs: _larkspur_cli_names, _larkspur_cli_captions,
# _larkspur_cli_values (an item list with "|" between items, or an attenuation's range) and
# _larkspur_cli_modeonly (set for a field that only shows the mode), one entry per field, and
# _larkspur_cli_sharing: how many fields carry each caption.
_larkspur_cli_readfields() {
    local line
    local -a columns
    while IFS= read -r line; do
        columns=()
        while [[ $line == *$'\t'* ]]; do
            columns+=("${line%%$'\t'*}")
            line=${line#*$'\t'}
        done
        columns+=("$line")
        if ((${#columns[@]} < 4)) || [[ -z ${columns[1]} ]]; then
            continue
        fi
        _larkspur_cli_names+=("${columns[0]}")
        _larkspur_cli_captions+=("${columns[1]}")
        _larkspur_cli_values+=("${columns[3]}")
        _larkspur_cli_modeonly+=("${columns[4]-}")
        _larkspur_cli_sharing[${columns[1]}]=$((${_larkspur_cli_sharing[${columns[1]}]-0} + 1))
    done < <("$1" fields 2>/dev/null)
}

_larkspur_cli() {
    local _larkspur_cli_words _larkspur_cli_raw _larkspur_cli_kept _larkspur_cli_quote
    local _larkspur_cli_asfiles=''
    local -a _larkspur_cli_names=() _larkspur_cli_captions=() _larkspur_cli_values=()
    local -a _larkspur_cli_modeonly=()
    local -A _larkspur_cli_sharing=()
    COMPREPLY=()
    _larkspur_cli_split "${COMP_LINE:0:COMP_POINT}"

    local -a words=("${_larkspur_cli_words[@]}") raw=("${_larkspur_cli_raw[@]}")
    local cword=$((${#words[@]} - 1))
    local cur=${words[cword]} program=${words[0]}
    [[ $program == \~/* ]] && program=$HOME/${program#\~/}

    # The options as cli/clioptions.cpp takes them; those of the second list take a value.
    local -a flags=(--json -v --verbose --all --keep-going -h --help --version)
    local -a valued=(--port --format --trace --interface --address)

    # The words before this one as the command line's parser reads them: options (with the value
    # of the next word), "--" ending them, redirections, and the command with its arguments.
    local -a positional=()
    local i=1 word ended='' valueof='' redirect='' interface=''
    while ((i < cword)); do
        word=${words[i]}
        if [[ ${raw[i]} =~ ^[0-9]*(\<|\>|\>\>|\&\>|\&\>\>|\>\|)$ ]]; then
            ((i + 1 == cword)) && redirect=1
            ((i += 2))
            continue
        elif [[ ${raw[i]} =~ ^([0-9]*[\<\>]|\&\>) ]]; then
            ((i++))
            continue
        elif [[ -n $ended || $word != -?* || $word == -[0-9.]* ]]; then
            positional+=("$word")
        elif [[ $word == -- ]]; then
            ended=1
        elif [[ $word == --interface=* ]]; then
            interface=${word#*=}
        elif [[ " ${valued[*]} " == *" $word "* ]]; then
            if ((i + 1 == cword)); then
                valueof=$word
            elif [[ $word == --interface ]]; then
                interface=${words[i + 1]}
            fi
            ((i++))
        fi
        ((i++))
    done

    # Where this word is an option's value: PREFIX is what comes before the value in the word.
    local prefix='' value=$cur
    if [[ -n $redirect ]]; then
        _larkspur_cli_files '' "$cur"
        return 0
    elif [[ ${raw[cword]} =~ ^([0-9]*[\<\>]+\&?|\&\>+) ]]; then
        _larkspur_cli_files "${BASH_REMATCH[1]}" "${cur:${#BASH_REMATCH[1]}}"
        return 0
    elif [[ -z $valueof && -z $ended && $cur == --*=* ]]; then
        valueof=${cur%%=*}
        prefix=$valueof=
        value=${cur#*=}
        [[ " ${valued[*]} " == *" $valueof "* ]] || return 0
    fi
    case $valueof in
    --interface)
        _larkspur_cli_offer "$cur" "$prefix"{iic,spi}
        ;;
    --format)
        _larkspur_cli_offer "$cur" "$prefix"{c,linux,json}
        ;;
    --address)
        case $interface in
        iic | IIC | i2c) _larkspur_cli_offer "$cur" "$prefix"{76,77,78,79} ;;
        spi | SPI) _larkspur_cli_offer "$cur" "$prefix"{0,1,2,3} ;;
        *) _larkspur_cli_offer "$cur" "$prefix"{76,77,78,79,0,1,2,3} ;;
        esac
        ;;
    --trace)
        _larkspur_cli_files "$prefix" "$value" -
        ;;
    --port)
        # A path under /dev: the serial devices there are; another path (a virtual board's link):
        # file names; a number: nothing to offer; otherwise the beginnings of the two URLs, after
        # which the host and port are the user's.
        local -a ports=()
        local port
        if [[ $value == [/.~]* && $value != /dev/* ]]; then
            _larkspur_cli_files "$prefix" "$value"
            return 0
        fi
        if [[ $value == '' || $value == /* ]]; then
            for port in /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* /dev/serial/by-id/*; do
                [[ -e $port ]] && ports+=("$prefix$port")
            done
        fi
        [[ $value == [0-9/]* ]] || ports+=("$prefix"{tcp,rfc2217}://)
        _larkspur_cli_offer "$cur" "${ports[@]}"
        if ((${#COMPREPLY[@]} == 1)) && [[ ${COMPREPLY[0]} == *// ]]; then
            compopt -o nospace 2>/dev/null
        fi
        ;;
    esac
    [[ -n $valueof ]] && return 0

    # An option; "-" also names standard input for a script.
    if [[ -z $ended && $cur == -* && $cur != -[0-9.]* ]]; then
        if [[ ${positional[0]-} == run && ${#positional[@]} == 1 ]]; then
            _larkspur_cli_files '' "$cur" -
        fi
        _larkspur_cli_offer "$cur" "${flags[@]}" "${valued[@]}"
        return 0
    fi

    local -a candidates=()
    local line
    if ((${#positional[@]} == 0)); then
        # The commands --help lists, and help, which it names as --help.
        local listing=''
        while IFS= read -r line; do
            if [[ $line == Commands: ]]; then
                listing=1
            elif [[ -n $listing && -z $line ]]; then
                break
            elif [[ -n $listing && $line =~ ^\ \ ([a-z][a-z-]*) ]]; then
                candidates+=("${BASH_REMATCH[1]}")
            fi
        done < <("$program" --help 2>/dev/null)
        _larkspur_cli_offer "$cur" "${candidates[@]}" help
        return 0
    fi

    local command=${positional[0]} position=${#positional[@]}
    case $command:$position in
    run:1)
        _larkspur_cli_files '' "$cur" -
        ;;
    diff:[12] | export:1)
        _larkspur_cli_files '' "$cur"
        ;;
    reset:1)
        _larkspur_cli_offer "$cur" master sync
        ;;
    get:1 | set:1)
        # Names, and the captions that name one field: get and set refuse a caption that
        # several fields share. set leaves out the fields that only show the mode.
        _larkspur_cli_readfields "$program"
        for i in "${!_larkspur_cli_names[@]}"; do
            [[ $command == set && -n ${_larkspur_cli_modeonly[i]} ]] && continue
            candidates+=("${_larkspur_cli_names[i]}")
            line=${_larkspur_cli_captions[i]}
            [[ ${_larkspur_cli_sharing[$line]} == 1 ]] && candidates+=("$line")
        done
        _larkspur_cli_offer "$cur" "${candidates[@]}"
        ;;
    set:2)
        # The field as set finds it: by name, by its caption, then by its caption in any case.
        # An attenuation gives its range in dB ("-63.0 to 0.0 dB", and the wide mode's), not
        # values to offer.
        local field=${positional[1]} found='' matches=0
        [[ -n $field ]] || return 0
        _larkspur_cli_readfields "$program"
        for i in "${!_larkspur_cli_names[@]}"; do
            [[ ${_larkspur_cli_names[i]} == "$field" ]] && found=$i && break
        done
        for i in "${!_larkspur_cli_names[@]}"; do
            [[ -z $found ]] || break
            case ${_larkspur_cli_sharing[$field]-0} in
            0) [[ ${_larkspur_cli_captions[i],,} == "${field,,}" ]] && ((++matches)) && line=$i ;;
            1) [[ ${_larkspur_cli_captions[i]} == "$field" ]] && found=$i ;;
            *) return 0 ;;
            esac
        done
        [[ -z $found && $matches == 1 ]] && found=$line
        [[ -n $found ]] || return 0
        line=${_larkspur_cli_values[found]}
        [[ $line != *'|'* && $line == *' dB'* ]] && return 0
        IFS='|' read -r -a candidates <<<"$line"
        _larkspur_cli_offer "$cur" "${candidates[@]}"
        ;;
    esac
    return 0
}

complete -F _larkspur_cli larkspur-cli
