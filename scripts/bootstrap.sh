#!/usr/bin/env bash
# Installs, with apt-get, whatever the build, tests, benchmarks and CLI need and is missing.
# Idempotent: when everything is there it prints nothing and takes well under a second.
set -euo pipefail

packages=(
  g++ make cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev
  nlohmann-json3-dev libtinygltf-dev libtinyobjloader-dev libstb-dev libopenexr-dev  # host stand-in: scene files, glTF, OBJ, images
  libpng-dev zlib1g-dev  # independent PNG and zlib decoders for the writer's tests
  libembree-dev      # the yardstick of the ray-casting benchmarks
  python3
  pybind11-dev python3-dev python3-numpy  # the tweather Python module
  blender            # the add-on's tests run in a real Blender, headless
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "bootstrap: done"
