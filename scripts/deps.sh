#!/bin/bash
# deps.sh - installs the Debian 12 packages Tolvik needs to build, run and test (as root,
# or through sudo). Packages already present are left alone.
set -euo pipefail
PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine wine64 fonts-wine xvfb xauth x11-utils imagemagick
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all packages present"
  exit 0
fi
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
echo "deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
