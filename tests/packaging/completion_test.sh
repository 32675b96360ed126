#!/usr/bin/env bash
# The bash completion of ormid-cli offers what `ormid-cli --help` lists: the commands,
# the words of two-word commands, each command's options, and M1 to M4 where a command
# takes a memory.
#
#   completion_test.sh ORMID-CLI COMPLETION-SCRIPT
set -uo pipefail

cli=$1
source "$2"

failures=0
checks=0

# The words the completion offers for the words after "ormid-cli", the last one being typed.
offered() {
    COMP_WORDS=(ormid-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _ormid_cli
    printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | xargs
}

# expect "WORDS THAT --help LISTS" WORD... : the completion of WORD... offers exactly those.
expect() {
    local expected actual
    expected=$(printf '%s\n' $1 | sed '/^$/d' | sort | xargs)
    shift
    actual=$(offered "$@")
    checks=$((checks + 1))
    if [[ "$actual" != "$expected" ]]; then
        echo "FAIL: ormid-cli $* offers [$actual], --help lists [$expected]"
        failures=$((failures + 1))
    fi
}

help=$("$cli" --help) || { echo "FAIL: ormid-cli --help"; exit 1; }
# Synopsis lines: two spaces, then the command's words, its arguments and options.
mapfile -t synopses < <(grep -E '^  [a-z]' <<<"$help" | grep -v '^  help')
[[ ${#synopses[@]} -gt 0 ]] || { echo "FAIL: no commands in ormid-cli --help"; exit 1; }

# The words that stand alone: "help, --help", "--version".
first_words=$(grep -E '^  (help|-)' <<<"$help" | tr -d ',' | xargs)
[[ $first_words == *--version* ]] || { echo "FAIL: no --version in ormid-cli --help"; exit 1; }
declare -A second_words=()
for synopsis in "${synopses[@]}"; do
    read -ra words <<<"$synopsis"
    command=()
    for word in "${words[@]}"; do
        [[ $word =~ ^[a-z][a-z-]*$ ]] || break
        command+=("$word")
    done
    options=$(grep -oE -- '(^| |\[)--?[a-z][a-z-]*' <<<"$synopsis" | tr -d ' [' | xargs)
    [[ " $first_words " == *" ${command[0]} "* ]] || first_words+=" ${command[0]}"
    if [[ ${#command[@]} -eq 2 ]]; then
        second_words[${command[0]}]+=" ${command[1]}"
    fi
    expect "$options" "${command[@]}" -
    if [[ $synopsis == *M1..M4* ]]; then
        expect "M1 M2 M3 M4" "${command[@]}" ""
    fi
done
expect "$first_words" ""
for word in "${!second_words[@]}"; do
    expect "${second_words[$word]}" "$word" ""
done

echo "bash completion: $checks checks, $failures failed"
[[ $failures -eq 0 ]]
