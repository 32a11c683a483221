#!/usr/bin/env bash
# The generated bash completion of fiberbridge-cli, called as bash calls it on
# TAB: it offers exactly the options that --help lists, input names to a
# sweep, files and folders where the option wants them, and nothing for a value.
set -o pipefail
completion=${1:?usage: completion_test.sh COMPLETION FIBERBRIDGE-CLI}
cli=${2:?usage: completion_test.sh COMPLETION FIBERBRIDGE-CLI}
source /usr/share/bash-completion/bash_completion
source "$completion"
compopt() { :; }  # outside a real TAB there are no completion options to set

failures=0
# complete WORD... : what TAB offers for the last word, one per line, sorted.
# The words are those that bash splits the line into, '=' being one of its own.
complete_words() {
  COMP_WORDS=(fiberbridge-cli "$@")
  COMP_CWORD=$#
  COMP_LINE="fiberbridge-cli $*"
  COMP_LINE=${COMP_LINE// = /=}
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _fiberbridge_cli fiberbridge-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() {  # expect DESCRIPTION EXPECTED WORD...
  local what=$1 expected=$2
  shift 2
  local got
  got=$(complete_words "$@" | tr '\n' ' ')
  if [ "$got" != "$expected" ]; then
    echo "FAIL: $what: 'fiberbridge-cli $*<TAB>' offers '$got', not '$expected'" >&2
    failures=$((failures + 1))
  fi
}

# Every option of --help, and only those.
help_options=$("$cli" --help | grep -oE '^ +-[-A-Za-z0-9]+(,--?[-A-Za-z0-9]+)*' | tr -d ' ' | tr ',' '\n' | sort | tr '\n' ' ')
expect "every option of --help" "$help_options" -
expect "an input's name" "--kxy --kzx " -q --k

cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
mkdir study && touch run.inputs
expect "a file" "run.inputs study " --inputs ''
expect "a file after '='" "run.inputs study " --inputs = ''
expect "a folder only" "study " --output-dir ''
expect "a folder to merge from" "study " --merge ''
expect "a sweep's input names" "kxy= kzx= " --sweep k
expect "a sweep of a count" "division= " --sweep div
expect "a fit's inputs, no count among them" "" --fit div
expect "a fit's input names" "fp0= fp1= " --fit fp
expect "a scatter's input names" "Vf= " --scatter V
expect "a scatter's distributions" "lognormal: normal: uniform: " --scatter Vf = ''
expect "a scatter's distribution begun" "normal: " --scatter Vf = n
expect "a map's metrics" "peak-force peak-stress peak-width " --map peak-
expect "no distribution after a sweep's name" "" --sweep Vf = ''
expect "a value" "" --Vf 0.0

[ "$failures" -eq 0 ] || exit 1
echo "completion test: passed"
