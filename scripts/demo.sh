#!/usr/bin/env bash
# The main job: installs what is missing, builds, installs into ./stage, registers
# the component in the checkout's own registry and runs trackdemo on the sample
# frames: in a window on a desktop, on the terminal without one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/deps.sh

# Configured for /usr, so that the same tree also makes the Debian package.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build/release -j "$(nproc)"
cmake --install build/release --prefix "$root/stage"

# A registry of the checkout's own: registration touches nothing outside it.
export MORVANE_REGISTRY="$root/.registry/registry.db" MORVANE_MACHINE_REGISTRY="$root/.registry/machine.db"
mkdir -p "$(dirname "$MORVANE_REGISTRY")"
"$root/stage/bin/regsvr" "$root/stage/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/morvane/Morvane.so"

echo "Tracking six points from image1.bmp into image2.bmp in demo/samples;"
echo "the second frame shows the first moved by (1.4, -0.9) pixels."
cd "$root/demo/samples"
exec "$root/stage/bin/trackdemo"
