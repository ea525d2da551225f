#!/usr/bin/env bash
# kr90x's bash completion in bash-completion, as bash offers it while a line is typed,
# and every option kr90x --help lists is one it completes.
#
#   completion_test.sh COMPLETION-FILE KR90X
set -euo pipefail
completion=$1
kr90x=$2

# shellcheck disable=SC1091
source /usr/share/bash-completion/bash_completion
# shellcheck disable=SC1090
source "$completion"
# Outside a live completion bash refuses compopt; what it would set is not under test.
compopt() { :; }

failed=0
# offers "WANTED" WORD...: the words typed so far, the last one being completed.
offers() {
    local wanted=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _kr90x kr90x "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" || true
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')
    if [ "$got" != "$wanted" ]; then
        echo "FAIL: '${COMP_LINE}': offered '$got', not '$wanted'" >&2
        failed=1
    fi
}

offers "devices eeprom read records report" kr90x ""
offers "diesel" kr90x read d
offers "manometer" kr90x --virtual-tester read --timeout 100 m
offers "export list show" kr90x records ""
offers "--search" kr90x records list --se
offers "--csv" kr90x records export 3 4 --c
offers "oil" kr90x report o
offers "--no-record" kr90x read rail --no
offers "csv json text" kr90x devices --format ""
offers "make-model=" kr90x read rail --vehicle ma
offers "--virtual-tester=stored=" kr90x read --virtual-tester=st

# Every option of --help, whatever command it belongs to, is offered somewhere.
while read -r option; do
    grep -qe "$option\b" "$completion" || {
        echo "FAIL: $option (in --help) is not completed" >&2
        failed=1
    }
done < <("$kr90x" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u)

[ "$failed" -eq 0 ] && echo "completion: all offered"
exit "$failed"
