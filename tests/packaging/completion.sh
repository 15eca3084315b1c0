#!/usr/bin/env bash
# Loads the completion of tessaly-cli into a bash of its own, as
# bash-completion does, and checks that it completes the commands
# tessaly-cli --help lists, and the types of import and export.
set -euo pipefail
script=$1
cli=$2

complete_words() {
  bash --norc --noprofile -c '
    source "$1" || exit 1
    [[ $(complete -p tessaly-cli) == *"-F _tessaly_cli"* ]] || exit 1
    shift
    COMP_WORDS=(tessaly-cli "$@")
    COMP_CWORD=$#
    _tessaly_cli
    printf "%s\n" "${COMPREPLY[@]}"' bash "$script" "$@" | sort
}

expect() {
  local got wanted
  got=$(complete_words "${@:2}")
  wanted=$(tr ' ' '\n' <<<"$1" | sort)
  if [[ $got != "$wanted" ]]; then
    echo "tessaly-cli ${*:2}<Tab> completes:"
    echo "$got"
    echo "not:"
    echo "$wanted"
    return 1
  fi
}

commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | awk 'NR > 1 && NF {print $1}' | tr '\n' ' ')
expect "${commands% }" ""
expect "import import-old" "im"
# The types are the first alternatives of each command's summary in --help.
types() { "$cli" --help | awk -v c="$1" '$1 == c {print $3}' | tr '|' ' '; }
expect "$(types import)" import ""
expect "$(types export)" export ""
expect "$(types repair)" repair ""
expect "--order --category --query --title --rating --siteinfo --template" export simple out.html --rating -
expect "Location,Rating" list --columns Location,Ra
# The orders of every command are one vocabulary.
for command in list export "report design"; do
  # shellcheck disable=SC2086
  got=$(complete_words $command --order cat | tr '\n' ' ')
  wanted=$(printf '%s\n' 'Category\ then\ Location' catdesc category catloc | sort | tr '\n' ' ')
  [[ $got == "$wanted" ]] ||
    { echo "$command --order cat<Tab> completes: $got"; exit 1; }
done
[[ $(complete_words report "URLs by C") == 'URLs\ by\ Category' ]] ||
  { echo "a report's name is not completed whole"; exit 1; }
echo "completes the commands: $commands"
