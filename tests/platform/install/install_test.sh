#!/usr/bin/env bash
# Installs a build tree into a scratch prefix, checks the installed layout, and
# builds and runs a C client against the installation through pkg-config alone.
#   install_test.sh BUILD_DIR WORK_DIR CLIENT_SOURCE C_COMPILER [CLIENT_FLAGS...]
set -euo pipefail
build_dir=$1 work_dir=$2 client_source=$3 cc=$4
shift 4
client_flags=("$@")

# Files every installation holds; extend the list as deliverables are added.
expected=(
  lib/libmorvane-platform.so
  lib/Morvane.so
  bin/regsvr
  bin/reg
  include/morvane.h
  lib/pkgconfig/morvane.pc
  lib/python3/dist-packages/morvane/__init__.py
  include/windows.h
  include/wintypes.h
  include/winerror.h
  include/winbase.h
  include/winreg.h
  include/unknwn.h
  include/objidl.h
  include/objbase.h
  include/oaidl.h
  include/oatypelib.h
  include/oleauto.h
)

mkdir -p "$work_dir"
scratch=$(mktemp -d "$work_dir/install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

cmake --install "$build_dir" --prefix "$prefix" >/dev/null

missing=0
for file in "${expected[@]}"; do
  if [ ! -f "$prefix/$file" ]; then
    echo "missing from the installation: $file" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ]

flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs morvane)
# shellcheck disable=SC2086 # the flags are meant to split into words
"$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror "${client_flags[@]}" "$client_source" $flags \
  -o "$scratch/client"

# The client must find the installed runtime through its run path alone.
resolved=$(env -u LD_LIBRARY_PATH ldd "$scratch/client" | awk '/libmorvane-platform/ { print ($3 == "not" ? "nothing" : $3) }')
case $(realpath "$resolved") in
  "$(realpath "$prefix")"/lib/*) ;;
  *) echo "client resolves the runtime to '$resolved', not to the installation" >&2; exit 1 ;;
esac
env -u LD_LIBRARY_PATH "$scratch/client"

# Installed programs find the installed runtime through their run path too.
for program in regsvr reg; do
  resolved=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/$program" | awk '/libmorvane-platform/ { print ($3 == "not" ? "nothing" : $3) }')
  case $(realpath "$resolved") in
    "$(realpath "$prefix")"/lib/*) ;;
    *) echo "$program resolves the runtime to '$resolved', not to the installation" >&2; exit 1 ;;
  esac
done
