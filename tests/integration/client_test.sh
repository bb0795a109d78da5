#!/usr/bin/env bash
# End to end through an installation: installs the build tree into a scratch
# prefix, builds the C client against it with pkg-config alone, and runs it around
# the installed regsvr's registration and unregistration of the installed
# component, in a registry database of its own.
#   client_test.sh BUILD_DIR WORK_DIR CLIENT_SOURCE_DIR C_COMPILER [CLIENT_FLAGS...]
set -euo pipefail
build_dir=$1 work_dir=$2 client_dir=$3 cc=$4
shift 4
client_flags=("$@")

mkdir -p "$work_dir"
scratch=$(mktemp -d "$work_dir/client.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
export MORVANE_REGISTRY=$scratch/registry.db

fail() {
  echo "client test: $*" >&2
  exit 1
}

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
module=$prefix/lib/Morvane.so
regsvr=$prefix/bin/regsvr
[ -f "$module" ] || fail "the installation holds no lib/Morvane.so"
[ -x "$regsvr" ] || fail "the installation holds no bin/regsvr"
[ -f "$prefix/include/morvane.h" ] || fail "the installation holds no include/morvane.h"

flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs morvane)
# shellcheck disable=SC2086 # the flags are meant to split into words
"$cc" -std=c11 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror "${client_flags[@]}" \
  "$client_dir"/*.c $flags -lm -o "$scratch/client"

# Installed programs find the installed runtime, not the build tree's.
run() { env -u LD_LIBRARY_PATH "$@"; }

# Registering twice gives the entries of one registration.
run "$regsvr" "$module" || fail "regsvr $module failed ($?)"
run "$regsvr" "$module" || fail "registering a second time failed ($?)"
run "$scratch/client" registered || fail "the client failed against the registered component"
run "$regsvr" -u "$module" || fail "regsvr -u $module failed ($?)"
run "$scratch/client" unregistered || fail "unregistration left entries behind"
# Unregistering what is not registered succeeds and changes nothing.
run "$regsvr" -u "$module" || fail "a second unregistration failed ($?)"
run "$scratch/client" unregistered || fail "a second unregistration changed the registry"
echo "client test: ok"
