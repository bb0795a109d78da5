#!/usr/bin/env bash
# End to end through an installation: installs the build tree into a scratch
# prefix and runs the C client, built against it with pkg-config alone, around the
# installed regsvr's registration and unregistration of the installed component,
# in a registry database of its own.
#   client_test.sh BUILD_DIR LIBDIR WORK_DIR CLIENT_SOURCE_DIR C_COMPILER [CLIENT_FLAGS...]
set -euo pipefail
build_dir=$1 libdir=$2 work_dir=$3 client_dir=$4 cc=$5
shift 5
source "$(dirname "$0")/registered_client.sh"

mkdir -p "$work_dir"
scratch=$(mktemp -d "$work_dir/client.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export MORVANE_REGISTRY=$scratch/registry.db MORVANE_MACHINE_REGISTRY=$scratch/machine.db

cmake --install "$build_dir" --prefix "$scratch/prefix" >/dev/null
run_registered_client "$scratch/prefix" "$libdir" "$scratch" "$client_dir" "$cc" "$@"
echo "client test: ok"
