# The Debian packages, which every installation's share/doc and share/lintian name.
packages=(libmorvane-platform1 libmorvane-track1 libmorvane-dev morvane python3-morvane)
# check_file_list ROOT LIST CONFIG LIBDIR [PREFIX]: fails, showing the difference,
# unless the files and links under ROOT are exactly those LIST names, each under
# PREFIX, with "@config@" read as CONFIG, "@libdir@" as LIBDIR and a line with
# "@package@" read once for each package. Sourced by the installation tests.
check_file_list() {
  local root=$1 list=$2 config=$3 libdir=$4 prefix=${5:-}
  diff -u --label "expected ($list)" --label "found under $root" \
    <(grep -v -e '^#' -e '^[[:space:]]*$' "$list" | sed -e "s/@config@/$config/" -e "s|@libdir@|$libdir|" -e "s|^|$prefix|" |
      awk -v names="${packages[*]}" '!/@package@/ { print } /@package@/ { for (i = split(names, name); i > 0; i--) {
        line = $0; sub("@package@", name[i], line); print line } }' | sort) \
    <(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort)
}
