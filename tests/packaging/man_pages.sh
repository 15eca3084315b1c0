#!/usr/bin/env bash
# Renders both manual pages with man -l (any warning of the formatter fails
# the test) and checks that each names every command and option the
# program's own --help lists.
set -euo pipefail
pages=$1    # the folder that holds tessaly.1.gz and tessaly-cli.1.gz
tessaly=$2
cli=$3

render() {
  local page=$1 text warnings
  warnings=$(mktemp)
  text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l --warnings=w,mac "$page" 2>"$warnings")
  if [[ -s $warnings ]]; then
    echo "man -l $page warns:"
    cat "$warnings"
    rm -f "$warnings"
    return 1
  fi
  rm -f "$warnings"
  [[ -n $text ]] || { echo "man -l $page rendered nothing"; return 1; }
  printf '%s\n' "$text"
}

cli_page=$(render "$pages/tessaly-cli.1.gz")
program_page=$(render "$pages/tessaly.1.gz")

missing=0
# Commands: the first word of each line of --help's "Commands:" part, each
# of which has an entry of its own in the page.
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/p' | awk 'NR > 1 && NF {print $1}')
[[ -n $commands ]] || { echo "no commands in tessaly-cli --help"; exit 1; }
for command in $commands; do
  grep -qE "^ {7}$command( |$)" <<<"$cli_page" || { echo "tessaly-cli.1 has no entry for $command"; missing=1; }
done
for option in $("$cli" --help | grep -oE -- '--[a-z-]+' | sort -u); do
  grep -qF -- "$option" <<<"$cli_page" || { echo "tessaly-cli.1 does not name $option"; missing=1; }
done
for option in $(env -u DISPLAY "$tessaly" --help | grep -oE -- '--[a-z-]+' | sort -u); do
  grep -qF -- "$option" <<<"$program_page" || { echo "tessaly.1 does not name $option"; missing=1; }
done
for section in "EXIT STATUS" ENVIRONMENT FILES; do
  for page in cli_page program_page; do
    grep -qx "$section" <<<"${!page}" || { echo "$page has no $section"; missing=1; }
  done
done
exit $missing
