#!/usr/bin/env bash
# The bash completion of larkspur-cli: the function called as bash calls it, line by line, its
# replies against a table; the option and command lists against the parser and --help; then a
# few lines completed by readline itself in an interactive bash on a pseudo-terminal, each
# followed by the words the command would get.
#   completion_test.sh LARKSPUR_CLI COMPLETION_SCRIPT
set -uo pipefail
cli=$1
script=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
options_source=$(dirname "$script")/clioptions.cpp
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

# shellcheck source=/dev/null
source "$script" || { echo "FAIL: sourcing $script"; exit 1; }
[ "$(complete -p larkspur-cli)" = "complete -F _larkspur_cli larkspur-cli" ] ||
    fail "not registered: '$(complete -p larkspur-cli 2>&1)'"

# compopt works only inside a completion bash runs; here it notes what it was asked.
options_asked=
# shellcheck disable=SC2317 # called by the completion function
compopt() {
    options_asked+="$*;"
}

# The replies for LINE with the cursor at POINT (its end when empty), one a line, sorted.
replies() {
    local line=$1 point=${2:-${#1}}
    COMP_LINE=$line
    COMP_POINT=$point
    # What bash would also give (the function splits COMP_LINE itself, at blanks alone).
    read -ra COMP_WORDS <<<"${line:0:point}x"
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_WORDS[COMP_CWORD]=${COMP_WORDS[COMP_CWORD]%x}
    COMPREPLY=()
    options_asked=
    _larkspur_cli
    [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}

# One row of the table: the line typed (the cursor at its end), what compopt must have been
# asked for ("filenames" for names readline quotes itself, "nospace" for a URL's beginning,
# "-" for nothing), and the replies exactly as readline inserts them, in any order.
expect() {
    local line=$1 asked=$2 got want
    shift 2
    replies "$line" >"$work/replies"
    got=$(cat "$work/replies")
    want=$([ $# -eq 0 ] || printf '%s\n' "$@" | LC_ALL=C sort)
    if [ "$got" != "$want" ]; then
        fail "'$line': replies"
        diff <(echo "$want") <(echo "$got") | sed -n 's/^[<>]/    &/p'
        echo "    (<: expected, >: given)"
    fi
    case $asked in
    -) [ -z "$options_asked" ] || fail "'$line': compopt $options_asked" ;;
    *) [ "$options_asked" = "-o $asked;" ] || fail "'$line': compopt '$options_asked', not -o $asked" ;;
    esac
}

mkdir "$work/files" "$work/files/snapshots"
touch "$work/files/startup.csv" "$work/files/board a.csv" "$work/files/s:1.csv"
cd "$work/files" || exit 1

c=$cli
# Commands and options.
expect "$c r" - read reset run
expect "$c f" - fields flags
expect "$c h" - help
expect "$c --json --port 33 d" - diff dump
expect "$c -- -" -
expect "$c --ver" - --verbose --version
expect "$c get --js" - --json
# Option values, as the next word and after "=".
expect "$c --interface " - iic spi
expect "$c --interface=" - iic spi
expect "$c --interface=s" - spi
expect "$c --format " - c linux json
expect "$c --format=l" - linux
expect "$c --address " - 76 77 78 79 0 1 2 3
expect "$c --interface spi --address " - 0 1 2 3
expect "$c --interface=iic --address=7" - 76 77 78 79
expect "$c --trace " filenames - startup.csv "board a.csv" s:1.csv snapshots
expect "$c --trace=s" filenames startup.csv s:1.csv snapshots
expect "$c --port t" nospace tcp://
expect "$c --port=r" nospace rfc2217://
expect "$c --port tcp:" nospace //
expect "$c --port 3" -
expect "$c --port ./st" filenames ./startup.csv
# Fields by name and by caption, quoted as typed; a caption that several fields share names
# none (Mute), and set leaves out the field that only shows the mode.
expect "$c get cbDAC" - cbDACMasterSlave cbDACFMT cbDACSAM
expect "$c get cDAC" - cDAC1 cDAC2
expect "$c get Mu" -
expect "$c get DAC\\ M" - 'DAC\ Master/Slave'
expect "$c get \"DAC M" - 'DAC Master/Slave'
expect "$c get 'DAC M" - 'DAC Master/Slave'
expect "$c get DAC\\ S" - 'DAC\ Serial\ Data\ Format' 'DAC\ Sampling\ mode'
expect "$c set DAC\\ M" -
expect "$c set cbDACM" -
expect "$c --port 33 set Zero" - 'Zero\ flag\ pin\ function' 'Zero\ flag\ polarity'
# A field's values, the field named as set finds it.
expect "$c set cbDACFMT " - '24bit\ IIS' '24bit\ Left\ Justified' '24bit\ Right\ Justified' \
    '16bit\ Right\ Justified' '24bit\ IIS\ DSP' '24bit\ Left\ Justified\ DSP'
expect "$c set \"DAC Serial Data Format\" 24bit\\ L" - '24bit\ Left\ Justified' \
    '24bit\ Left\ Justified\ DSP'
expect "$c set dac\\ serial\\ data\\ format 1" - '16bit\ Right\ Justified'
expect "$c set cInvDAC1 " - on off
expect "$c set rgDACAttMode Fi" - 'Fine\ Step\ \(0.5dB\ Step\)'
expect "$c set cbZeroFunc \"ZERO1: L-ch o" - 'ZERO1: L-ch or R-ch, ZERO2: L-ch and R-ch'
expect "$c set cbZeroFunc 'ZERO1: L-ch o" - 'ZERO1: L-ch or R-ch, ZERO2: L-ch and R-ch'
# After the colon, where readline starts the word it replaces.
expect "$c set cbZeroFunc ZERO1:\\ L-ch\\ o" - '\ L-ch\ or\ R-ch\,\ ZERO2:\ L-ch\ and\ R-ch'
expect "$c set tkDAC1 " -
expect "$c set Mute " -
# Other arguments.
expect "$c run " filenames - startup.csv "board a.csv" s:1.csv snapshots
expect "$c run b" filenames "board a.csv"
expect "$c run s:" filenames 1.csv
expect "$c diff startup.csv s" filenames startup.csv s:1.csv snapshots
expect "$c diff a b c" -
expect "$c export st" filenames startup.csv
expect "$c dump > st" filenames startup.csv
expect "$c dump >st" filenames startup.csv
expect "$c reset " - master sync
expect "$c read 0x10 " -
expect "$c write 0x11 " -

# The cursor inside the line: the words after it do not count.
line="$c --format  dump"
got=$(replies "$line" $((${#c} + 10)))
[ "$got" = "$(printf '%s\n' c json linux)" ] || fail "cursor inside '$line': '$got'"
# Without ":" among the word breaks, readline replaces the whole word.
got=$(COMP_WORDBREAKS=${COMP_WORDBREAKS//:/} replies "$c set cbZeroFunc ZERO1:\\ L-ch\\ o")
[ "$got" = 'ZERO1:\ L-ch\ or\ R-ch\,\ ZERO2:\ L-ch\ and\ R-ch' ] ||
    fail "word breaks without ':': '$got'"

# The options are those the parser takes, and those --help lists.
parsed=$(grep -o 'name == "-[^"]*"' "$options_source" | cut -d'"' -f2 | LC_ALL=C sort)
[ -n "$parsed" ] || fail "no options found in $options_source"
[ "$(replies "$c -")" = "$parsed" ] ||
    fail "'-' gives $(replies "$c -" | tr '\n' ' '), the parser takes $(echo "$parsed" | tr '\n' ' ')"
listed=$("$cli" --help | sed -n '/^Options:/,/^$/p' | grep -oE -- '^(  |  .*, )-[a-z-]+' |
    grep -oE -- '-[a-z-]+$' | LC_ALL=C sort -u)
[ -n "$listed" ] || fail "no options found in --help"
missing=$(LC_ALL=C comm -23 <(echo "$listed") <(replies "$c -"))
[ -z "$missing" ] || fail "--help lists options that '-' does not give: $missing"
# The commands are those --help lists, and help.
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\).*/\1/p'; echo help)
[ "$(replies "$c ")" = "$(echo "$commands" | LC_ALL=C sort)" ] ||
    fail "commands: $(replies "$c " | tr '\n' ' ')"
# Each item of each field that set takes is offered for it, whole (no word breaks but blanks).
while IFS=$'\t' read -r name _ _ values mode; do
    if [ -n "$mode" ] || [[ $values != *'|'* ]]; then
        continue
    fi
    IFS='|' read -ra items <<<"$values"
    for item in "${items[@]}"; do
        printf -v typed %q "$item"
        reply=$(COMP_WORDBREAKS=$' \t\n' replies "$c set $name $typed")
        [[ $'\n'$reply$'\n' == *$'\n'"$typed"$'\n'* ]] || fail "set $name $typed: '$reply'"
    done
done < <("$cli" fields)
# A port is a URL's beginning or a serial device there is.
while IFS= read -r port; do
    case $port in
    tcp:// | rfc2217://) ;;
    *) [ -c "$port" ] || fail "--port offers '$port'" ;;
    esac
done < <(replies "$c --port ")
[ "$(replies "$c --port " | grep -c '://$')" = 2 ] || fail "--port: no URL beginnings"

# Readline itself: each line typed with a tab, then the words printed that the command would
# get. The trailing end-of-file characters end a shell left in an open quote by a failed case.
if ! command -v script >/dev/null; then
    fail "script(1) not found (util-linux) for the readline check"
    exit $status
fi
# Control-X q leaves the shell even from an open quote, where a failed case would leave it.
cat >"$work/rc" <<RC
unset HISTFILE
PS1='$ '
bind -x '"\\C-xq": exit 7'
source "$script"
RC
# name | line typed | the words after the program, each in <>
readline_cases=(
    "a caption with a blank|get DAC\\ Ma|<get><DAC Master/Slave>"
    "a caption in open quotes|get \"DAC Serial D|<get><DAC Serial Data Format>"
    "an item with parentheses|set rgDACAttMode Fi|<set><rgDACAttMode><Fine Step (0.5dB Step)>"
    "an item with colons in quotes|set cbZeroFunc 'ZERO1: L-ch o|<set><cbZeroFunc><ZERO1: L-ch or R-ch, ZERO2: L-ch and R-ch>"
    "an item after a colon|set cbZeroFunc ZERO1:\\ L-ch\\ o|<set><cbZeroFunc><ZERO1: L-ch or R-ch, ZERO2: L-ch and R-ch>"
    "a value after =|--interface=s|<--interface=spi>"
    "a file name with a blank|run boa|<run><board a.csv>"
)
input=
for i in "${!readline_cases[@]}"; do
    IFS='|' read -r _ typed _ <<<"${readline_cases[i]}"
    # Tab, then the words printed on one line: the marker @@ (\100) and the case's number
    # before them from the line's start (^A), and the line's end after them from its end (^E).
    input+="$cli $typed"$'\t\001'"printf '\\100\\100$i '; printf '<%s>' "$'\005'"; echo"$'\n'
done
input+=$'exit 0\n\030q'
printf '%s' "$input" | (cd "$work/files" && env HOME="$work" INPUTRC=/dev/null TERM=dumb \
    script -qec "bash --noprofile --rcfile '$work/rc' -i" /dev/null) >"$work/readline.out" 2>&1
shell_status=$?
[ $shell_status -eq 0 ] || fail "readline: the shell ended with $shell_status (7: in an open quote)"
declare -A printed=()
while read -r i words; do
    printed[$i]=${words#"<$cli>"}
done < <(tr -d '\r' <"$work/readline.out" | grep -o '^@@[0-9]* .*' | sed 's/^@@//')
readline_status=0
for i in "${!readline_cases[@]}"; do
    IFS='|' read -r name typed want <<<"${readline_cases[i]}"
    if [ -z "${printed[$i]+set}" ]; then
        fail "readline, $name: '$typed' printed nothing"
        readline_status=1
    elif [ "${printed[$i]}" != "$want" ]; then
        fail "readline, $name: '$typed' gave ${printed[$i]}, not $want"
        readline_status=1
    fi
done
if [ $readline_status -ne 0 ]; then
    echo "The terminal's last lines:"
    tr -d '\r' <"$work/readline.out" | tail -n 20 | sed 's/^/    /'
fi

[ $status -eq 0 ] && echo "completion: all cases pass"
exit $status
