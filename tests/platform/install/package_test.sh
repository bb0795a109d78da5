#!/usr/bin/env bash
# The Debian package: CPack makes it from the build tree into a scratch folder as
# morvane_<version>_<arch>.deb, with the dependencies dpkg-shlibdeps works out from
# the linked libraries. Unpacked into a scratch root, it holds exactly the committed
# file list under usr/, and its regsvr and a C client built against it run from
# there, in a registry of the test's own.
#   package_test.sh BUILD_DIR WORK_DIR FILE_LIST CONFIG VERSION INTEGRATION_TEST_DIR C_COMPILER
set -euo pipefail
build_dir=$1 work_dir=$2 file_list=$3 config=$4 version=$5 integration_dir=$6 cc=$7
source "$(dirname "$0")/file_list.sh"
source "$integration_dir/registered_client.sh"

mkdir -p "$work_dir"
scratch=$(mktemp -d "$work_dir/package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

cpack --config "$build_dir/CPackConfig.cmake" -B "$scratch/cpack" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "CPack failed"; }
package=$scratch/cpack/morvane_${version}_$(dpkg --print-architecture).deb
[ -f "$package" ] || fail "no $(basename "$package"); CPack made: $(cd "$scratch/cpack" && echo *.deb)"

fields=$(dpkg-deb --field "$package" Package Version Depends)
for needed in "Package: morvane" "Version: $version" "Depends: .*libc6" "Depends: .*libsqlite3-0" \
  "Depends: .*libopencv-video"; do
  grep -q "^$needed" <<<"$fields" || fail "the package's fields lack \"$needed\": $fields"
done

dpkg-deb -x "$package" "$scratch/root"
check_file_list "$scratch/root" "$file_list" "$config" usr/

export MORVANE_REGISTRY=$scratch/registry.db
run_registered_client "$scratch/root/usr" "$scratch" "$integration_dir/client" "$cc"

# The Python package, where the installation has one, runs from the unpacked tree too.
python_dir=$scratch/root/usr/lib/python3/dist-packages
if [ -d "$python_dir/morvane" ]; then
  env -u LD_LIBRARY_PATH "$scratch/root/usr/bin/regsvr" -s "$scratch/root/usr/lib/Morvane.so"
  PYTHONPATH=$python_dir env -u LD_LIBRARY_PATH /usr/bin/python3 -m morvane describe Morvane.CoMorvane >/dev/null ||
    fail "the unpacked Python package cannot describe Morvane.CoMorvane"
fi
echo "package test: ok"
