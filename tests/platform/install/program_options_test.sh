#!/usr/bin/env bash
# Every installed program answers -h and --help alike with a short usage on
# standard output, and --version with its name and the project's version, each
# with status 0 (1 when the answer cannot be written); each has a manual page in
# section 1 that names every option its usage names.
#   program_options_test.sh PREFIX VERSION
set -euo pipefail
prefix=$1 version=$2

failed=0
fail() { echo "$1: $2" >&2; failed=1; }

for program in "$prefix"/bin/*; do
  name=$(basename "$program")
  help=$("$program" --help 2>&1) || fail "$name" "--help exits with $?"
  case $help in "usage: $name"*) ;; *) fail "$name" "--help does not begin with \"usage: $name\"" ;; esac
  [ "$("$program" -h 2>&1)" = "$help" ] || fail "$name" "-h says other than --help"
  answer=$("$program" --version 2>&1) || fail "$name" "--version exits with $?"
  [ "$answer" = "$name $version" ] || fail "$name" "--version says \"$answer\", not \"$name $version\""
  for option in --help --version; do
    status=0
    "$program" "$option" >/dev/full 2>/dev/null || status=$?
    [ "$status" -eq 1 ] || fail "$name" "$option into a full disk exits with $status, not 1"
  done

  page=$prefix/share/man/man1/$name.1.gz
  [ -f "$page" ] || { fail "$name" "no manual page share/man/man1/$name.1.gz"; continue; }
  # The page's text without roff's font changes and escaped dashes.
  text=$(gzip -dc "$page" | sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/\\e/\\/g')
  for option in $(grep -oE '(^|[][ |,])(--?[a-z][a-z-]*|/[a-z])\b' <<<"$help" | sed 's/^[][ |,]//' | sort -u); do
    grep -qF -- "$option" <<<"$text" || fail "$name" "the manual page does not name $option"
  done
done
exit "$failed"
