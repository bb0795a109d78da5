#!/usr/bin/env bash
# The Debian package: CPack makes it from the build tree into a scratch folder as
# morvane_<version>_<arch>.deb, with the dependencies dpkg-shlibdeps works out from
# the linked libraries. Unpacked into a scratch root, it holds exactly the committed
# file list under usr/, and its regsvr and a C client built against it run from
# there, in a registry of the test's own. Installed by dpkg below a root of the
# test's own, the package registers the component for every user, so that a user
# with no home folder and no settings tracks at once; removed, it unregisters, and
# purged, it leaves no machine registry behind.
#   package_test.sh BUILD_DIR WORK_DIR FILE_LIST CONFIG VERSION INTEGRATION_TEST_DIR C_COMPILER SAMPLES
set -euo pipefail
build_dir=$1 work_dir=$2 file_list=$3 config=$4 version=$5 integration_dir=$6 cc=$7 samples=$8
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

export MORVANE_REGISTRY=$scratch/registry.db MORVANE_MACHINE_REGISTRY=$scratch/machine.db
run_registered_client "$scratch/root/usr" "$scratch" "$integration_dir/client" "$cc"

# The Python package, where the installation has one, runs from the unpacked tree too.
python_dir=$scratch/root/usr/lib/python3/dist-packages
if [ -d "$python_dir/morvane" ]; then
  env -u LD_LIBRARY_PATH "$scratch/root/usr/bin/regsvr" -s "$scratch/root/usr/lib/Morvane.so"
  PYTHONPATH=$python_dir env -u LD_LIBRARY_PATH /usr/bin/python3 -m morvane describe Morvane.CoMorvane >/dev/null ||
    fail "the unpacked Python package cannot describe Morvane.CoMorvane"
fi
# dpkg below a root of the test's own: the maintainer scripts run there, not chrooted,
# and register in that root's machine registry.
root=$scratch/installed
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
dpkg_root() {
  dpkg --root="$root" --force-script-chrootless --force-not-root --force-depends --log=/dev/null "$@" \
    >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log" >&2; fail "dpkg $* failed"; }
}
machine=$root/var/lib/morvane/registry.db
server_key='HKLM\Software\Classes\CLSID\{0200236D-46C7-4C75-A2A1-8FEFAF32B081}\InprocServer32'
dpkg_root --install "$package"
MORVANE_MACHINE_REGISTRY=$machine "$root/usr/bin/reg" query "$server_key" | grep -qF "$root/usr/lib/Morvane.so" ||
  fail "installing did not register $root/usr/lib/Morvane.so for every user in $machine"
[ "$(stat -c %a "$machine")" = 644 ] || fail "the machine registry is not readable by every user"

# Any user, without a home folder or settings of its own (but the machine registry of
# that root, which an installation under / finds by itself), tracks at once.
if [ "$(id -u)" -eq 0 ]; then
  chmod 755 "$scratch"
  as_nobody() {
    setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/bin:/bin \
      MORVANE_MACHINE_REGISTRY="$machine" "$@"
  }
  as_nobody "$root/usr/bin/morvane-track" --quiet "$samples" -o /dev/null ||
    fail "morvane-track does not run for another user after installing"
  as_nobody PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c \
    'import morvane; morvane.Tracker((240, 320)).close()' ||
    fail "the Python package does not make a tracker for another user after installing"
fi

dpkg_root --remove morvane
[ ! -e "$machine" ] || fail "removing the package left the machine registry, though it holds no value now"
dpkg_root --install "$package"
dpkg_root --purge morvane
[ ! -e "$(dirname "$machine")" ] || fail "purging the package left $(dirname "$machine")"
echo "package test: ok"
