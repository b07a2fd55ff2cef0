#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the examples need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

PKGS=(
  build-essential cmake pkg-config ccache
  libirrlicht-dev
  liblua5.2-dev
  libiniparser-dev
  libexpat1-dev
  libzip-dev zipcmp zipmerge ziptool
  zlib1g-dev
  glslang-dev glslang-tools spirv-tools
  libspirv-cross-c-shared-dev
  libepoxy-dev
  libmpg123-dev
  libsdl2-dev
  libx11-dev libxrandr-dev libxxf86vm-dev
  libgl-dev libgl1-mesa-dri libglx-mesa0
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils
  clang libclang-rt-14-dev
)

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
