# check_file_list ROOT LIST CONFIG [PREFIX]: fails, showing the difference, unless
# the files and links under ROOT are exactly those LIST names, each under PREFIX,
# with "@config@" read as CONFIG. Sourced by the installation tests.
check_file_list() {
  local root=$1 list=$2 config=$3 prefix=${4:-}
  diff -u --label "expected ($list)" --label "found under $root" \
    <(grep -v -e '^#' -e '^[[:space:]]*$' "$list" | sed -e "s/@config@/$config/" -e "s|^|$prefix|" | sort) \
    <(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
}
