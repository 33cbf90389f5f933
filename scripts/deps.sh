#!/bin/bash
# deps.sh - installs the Debian 12 packages Tolvik needs to build, run and test (as root,
# or through sudo). Packages already present are left alone.
set -euo pipefail
PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine wine64 fonts-wine xvfb xauth x11-utils imagemagick locales openbox trayer xdotool
  samba smbclient python3
  nsis zip unzip lintian
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all packages present"
else
  echo "deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# The interop tests run their own smbd on loopback addresses; on CI a packaged smbd or nmbd
# started by the install would hold ports 139 and 137 on every address.
if [ "${CI:-}" = true ]; then
  for daemon in smbd nmbd samba-ad-dc; do $SUDO invoke-rc.d "$daemon" stop >/dev/null 2>&1 || true; done
fi
# The Russian-system tests run Wine under a Windows-1251 ANSI code page.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.cp1251'; then
  echo "deps: generating the ru_RU.CP1251 locale"
  $SUDO localedef -i ru_RU -f CP1251 ru_RU.CP1251 || true
fi
