#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need.
# Idempotent and quiet when everything is there; as root it runs apt-get,
# otherwise it prints the command to run.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  zlib1g-dev libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0 libegl1
  glslang-dev glslang-tools spirv-tools libspirv-cross-c-shared-dev spirv-cross
  libturbojpeg0-dev libpng-dev libmeshoptimizer-dev libvorbis-dev libogg-dev
  libfreetype-dev fonts-dejavu-core
  libgtest-dev
  zip unzip python3 clang-format ffmpeg
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
