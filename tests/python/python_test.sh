#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, registers the installed component
# in a registry of its own and runs the package's tests with Debian's python3.
#   python_test.sh BUILD_DIR WORK_DIR TEST_DIR SAMPLES_DIR COMPONENT_FILE [ASAN_RUNTIME]
# COMPONENT_FILE is the component's path relative to the prefix.
# An uninstrumented interpreter gets ASAN_RUNTIME preloaded; it does not free its
# memory at exit, and freed blocks must not be held back for the memory test.
set -euo pipefail
build_dir=$1 work_dir=$2 test_dir=$3 samples_dir=$4 component_file=$5 asan_runtime=${6:-}
mkdir -p "$work_dir"
scratch=$(mktemp -d "$work_dir/python.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
export MORVANE_REGISTRY=$scratch/registry.db MORVANE_MACHINE_REGISTRY=$scratch/machine.db
export MORVANE_TEST_COMPONENT=$prefix/$component_file
env -u LD_LIBRARY_PATH "$prefix/bin/regsvr" "$MORVANE_TEST_COMPONENT"
# The package finds the runtime next to itself, as installed.
unset MORVANE_PLATFORM LD_LIBRARY_PATH
export PYTHONPATH=$prefix/lib/python3/dist-packages PYTHONDONTWRITEBYTECODE=1 MORVANE_TEST_SAMPLES=$samples_dir
if [ -n "$asan_runtime" ]; then
  export LD_PRELOAD=$asan_runtime ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0:quarantine_size_mb=0
fi
cd "$scratch"
# pytest's "no tests ran" (5) fails too.
/usr/bin/python3 -m pytest -q -p no:cacheprovider "$test_dir"
