# run_registered_client PREFIX LIBDIR SCRATCH CLIENT_SOURCE_DIR C_COMPILER [CLIENT_FLAGS...]
# Builds the C client into SCRATCH against the installation at PREFIX (its libraries
# in PREFIX/LIBDIR, the component in PREFIX/LIBDIR/morvane) with
# pkg-config alone, and runs it around the installed regsvr's registration and
# unregistration of the installed component. The caller chooses the registry
# (MORVANE_REGISTRY). Sourced by the tests that run an installation.
run_registered_client() {
  local prefix=$1 libdir=$2 scratch=$3 client_dir=$4 cc=$5
  shift 5
  local module=$prefix/$libdir/morvane/Morvane.so regsvr=$prefix/bin/regsvr client=$scratch/client flags
  flags=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs morvane) || return 1
  # shellcheck disable=SC2086 # the flags are meant to split into words
  "$cc" -std=c11 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror "$@" \
    "$client_dir"/*.c $flags -o "$client" || return 1

  # Installed programs find the installed runtime, not the build tree's.
  step() { env -u LD_LIBRARY_PATH "$@" || { echo "registered client: '$*' failed ($?)" >&2; return 1; }; }
  # Registering twice gives the entries of one registration.
  step "$regsvr" "$module" && step "$regsvr" "$module" || return 1
  step "$client" registered || return 1
  step "$regsvr" -u "$module" && step "$client" unregistered || return 1
  # Unregistering what is not registered succeeds and changes nothing.
  step "$regsvr" -u "$module" && step "$client" unregistered
}
