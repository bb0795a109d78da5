#!/usr/bin/env bash
# Installs the build tree afresh into PREFIX for the installation tests.
#   install_scratch.sh BUILD_DIR PREFIX
set -euo pipefail
rm -rf "$2"
cmake --install "$1" --prefix "$2" >/dev/null
