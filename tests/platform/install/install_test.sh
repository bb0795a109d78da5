#!/usr/bin/env bash
# The installation's layout and its pkg-config file: the installed files are
# exactly the committed list, the pkg-config version is the project's, and a C
# client builds against the installation through pkg-config alone and finds the
# installed runtime through its run path, as the installed programs do.
#   install_test.sh PREFIX LIBDIR WORK_DIR FILE_LIST CONFIG VERSION CLIENT_SOURCE C_COMPILER [CLIENT_FLAGS...]
set -euo pipefail
prefix=$1 libdir=$2 work_dir=$3 file_list=$4 config=$5 version=$6 client_source=$7 cc=$8
shift 8
source "$(dirname "$0")/file_list.sh"

check_file_list "$prefix" "$file_list" "$config" "$libdir"

mkdir -p "$work_dir"
scratch=$(mktemp -d "$work_dir/install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
[ "$(pkg-config --modversion morvane)" = "$version" ] || { echo "morvane.pc is not version $version" >&2; exit 1; }

# shellcheck disable=SC2046 # the flags are meant to split into words
"$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror "$@" "$client_source" $(pkg-config --cflags --libs morvane) \
  -o "$scratch/client"

# The client and the installed programs find the installed runtime through their run path alone.
for program in "$scratch/client" "$prefix/bin/regsvr" "$prefix/bin/reg" "$prefix/bin/trackdemo"; do
  resolved=$(env -u LD_LIBRARY_PATH ldd "$program" | awk '/libmorvane-platform/ { print ($3 == "not" ? "nothing" : $3) }')
  case $(realpath "$resolved") in
    "$(realpath "$prefix/$libdir")"/*) ;;
    *) echo "$program resolves the runtime to '$resolved', not to the installation" >&2; exit 1 ;;
  esac
done
env -u LD_LIBRARY_PATH "$scratch/client"
