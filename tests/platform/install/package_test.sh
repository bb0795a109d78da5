#!/usr/bin/env bash
# The Debian packages: CPack makes them from the build tree into a scratch folder, with
# the dependencies dpkg-shlibdeps works out and exact ones between our own packages;
# lintian finds no error or warning (but what their overrides excuse, with a reason).
# Unpacked into one root, they hold exactly the committed file list under usr/, their
# binaries are stripped but keep the build id, and regsvr and a C client built against
# them run from there, in a registry of the test's own. Installed by dpkg below a root
# of the test's own, they register the component for every user, so that a user with
# no home folder and no settings tracks at once; removed, they unregister, and purged,
# they leave no machine registry behind.
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
version=$version-1 libdir=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
exact="(= $version)"
# What each package's Depends field must hold, in the order of the packages.
depends=("libsqlite3-0" "libmorvane-platform1 $exact" "libmorvane-platform1 $exact,libmorvane-track1 $exact"
  "libmorvane-platform1 $exact,libmorvane-track1 $exact,libopencv-video,libqt6widgets6" "morvane $exact,python3-numpy")
debs=()
for i in "${!packages[@]}"; do
  deb=$(echo "$scratch/cpack/${packages[i]}_${version}"_*.deb)
  [ -f "$deb" ] || fail "no ${packages[i]}_$version; CPack made: $(cd "$scratch/cpack" && echo *.deb)"
  debs+=("$deb"); dpkg-deb -x "$deb" "$scratch/root"; IFS=, read -ra needed <<<"${depends[i]}"
  for dependency in "${needed[@]}"; do
    dpkg-deb -f "$deb" Depends | grep -qF -- "$dependency" || fail "${packages[i]} does not depend on $dependency"
  done
done

lintian --fail-on error,warning "${debs[@]}" >"$scratch/lintian.log" 2>&1 ||
  { cat "$scratch/lintian.log" >&2; fail "lintian complains"; }

check_file_list "$scratch/root" "$file_list" "$config" "$libdir" usr/
[ "$(zcat "$scratch"/root/usr/share/doc/*/changelog.Debian.gz | grep -c "^morvane ($version) ")" = 5 ] ||
  fail "not every package's changelog has an entry for $version"
# lintian finds binaries that are not stripped.
for binary in "$scratch"/root/usr/{bin/*,$libdir/*.so.*.*,$libdir/morvane/*}; do
  readelf -n "$binary" | grep -q 'Build ID' || fail "$binary has no build id"
done

export MORVANE_REGISTRY=$scratch/registry.db MORVANE_MACHINE_REGISTRY=$scratch/machine.db
run_registered_client "$scratch/root/usr" "$libdir" "$scratch" "$integration_dir/client" "$cc"
component=usr/$libdir/morvane/Morvane.so

# The Python package runs from the unpacked tree too.
env -u LD_LIBRARY_PATH "$scratch/root/usr/bin/regsvr" -s "$scratch/root/$component"
PYTHONPATH=$scratch/root/usr/lib/python3/dist-packages env -u LD_LIBRARY_PATH /usr/bin/python3 -m morvane \
  describe Morvane.CoMorvane >/dev/null || fail "the unpacked Python package cannot describe Morvane.CoMorvane"

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
dpkg_root --install "${debs[@]}"
MORVANE_MACHINE_REGISTRY=$machine "$root/usr/bin/reg" query "$server_key" | grep -qF "$root/$component" ||
  fail "installing did not register $root/$component for every user in $machine"
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

# Last package first: the programs' package goes before the libraries its prerm runs.
mapfile -t everything < <(printf '%s\n' "${packages[@]}" | tac)
dpkg_root --remove "${everything[@]}"
[ ! -e "$machine" ] || fail "removing the packages left the machine registry, though it holds no value now"
dpkg_root --install "${debs[@]}"
dpkg_root --purge "${everything[@]}"
[ ! -e "$(dirname "$machine")" ] || fail "purging the packages left $(dirname "$machine")"
echo "package test: ok"
