#!/bin/bash
# package.sh - builds the Windows packages of Tolvik: for each architecture a portable zip and an
# installer (makensis), named tolvik-VERSION-ARCH.zip and tolvik-VERSION-ARCH-setup.exe.
#
#   bash scripts/package.sh                   build build/win32 and build/win64, package both
#   bash scripts/package.sh i686              one architecture (i686 or x86_64)
#   bash scripts/package.sh x86_64=DIR        package the build tree DIR instead of build/win64
#   --out DIR    where the packages go (default build/packages)
#   --no-build   package the trees as they are (they must hold tolvik.exe)
#
# The zip holds one folder tolvik-VERSION-ARCH/ with tolvik.exe, README.txt, CHANGELOG.txt,
# user-guide.txt and, when the build has them, the stand-in message service (msgsvc.exe, its
# netapi32.dll, msgsvc.ini) and, on x86_64, the network provider tolviknp.dll that Tolvik needs
# under Wine (see the launcher ./tolvik). The installer installs the same files minus tolviknp.dll.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$ROOT/build/packages
BUILD=1
declare -A TREE=()
ORDER=()
while [ $# -gt 0 ]; do
  case $1 in
    --out) OUT=$2; shift 2 ;;
    --no-build) BUILD=0; shift ;;
    i686|x86_64) ORDER+=("$1"); shift ;;
    i686=*|x86_64=*) ORDER+=("${1%%=*}"); TREE[${1%%=*}]=${1#*=}; shift ;;
    *) echo "package.sh: unknown argument '$1' (see the top of this script)" >&2; exit 2 ;;
  esac
done
[ ${#ORDER[@]} -gt 0 ] || ORDER=(i686 x86_64)
: "${TREE[i686]:=$ROOT/build/win32}" "${TREE[x86_64]:=$ROOT/build/win64}"

for tool in makensis zip; do
  command -v $tool >/dev/null || { echo "package.sh: $tool is missing (bash scripts/deps.sh installs it)" >&2; exit 1; }
done
VERSION=$(sed -n 's/^project(Tolvik VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$VERSION" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

for arch in "${ORDER[@]}"; do
  tree=${TREE[$arch]}
  if [ $BUILD = 1 ]; then
    toolchain=$ROOT/cmake/toolchain-$arch-w64-mingw32.cmake
    cmake -S "$ROOT" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
    cmake --build "$tree" -j"${JOBS:-2}" --target tolvik
    # The message service is optional: package it when its targets exist.
    cmake --build "$tree" -j"${JOBS:-2}" --target msgsvc msgsvc_netapi32 >/dev/null 2>&1 || true
    if [ "$arch" = x86_64 ]; then
      cmake --build "$tree" -j"${JOBS:-2}" --target tolviknp >/dev/null 2>&1 || true
    fi
  fi
  [ -f "$tree/tolvik.exe" ] || { echo "package.sh: $tree/tolvik.exe does not exist" >&2; exit 1; }

  name=tolvik-$VERSION-$arch
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  stage=$work/$name
  mkdir -p "$stage"
  cp "$tree/tolvik.exe" "$stage/"
  cp "$ROOT/README.md" "$stage/README.txt"
  [ ! -f "$ROOT/CHANGELOG.md" ] || cp "$ROOT/CHANGELOG.md" "$stage/CHANGELOG.txt"
  [ ! -f "$ROOT/docs/user-guide.md" ] || cp "$ROOT/docs/user-guide.md" "$stage/user-guide.txt"
  [ -f "$tree/msgsvc/msgsvc.exe" ] || echo "package.sh: $tree has no msgsvc/msgsvc.exe; packaging without the message service"
  for f in msgsvc/msgsvc.exe msgsvc/netapi32.dll msgsvc/msgsvc.ini; do
    [ ! -f "$tree/$f" ] || cp "$tree/$f" "$stage/"
  done
  if [ "$arch" = x86_64 ] && [ -f "$tree/tolviknp.dll" ]; then cp "$tree/tolviknp.dll" "$stage/"; fi

  rm -f "$OUT/$name.zip"
  (cd "$work" && zip -q -X -r "$OUT/$name.zip" "$name")

  rm -f "$OUT/$name-setup.exe"
  makensis -V2 -DARCH="$arch" -DVERSION="$VERSION" -DSTAGE="$stage" -DICON="$ROOT/res/images/icon134.ico" \
           -DOUTFILE="$OUT/$name-setup.exe" "$ROOT/packaging/tolvik.nsi"
  rm -rf "$work"
  trap - EXIT
  echo "package.sh: $OUT/$name.zip"
  echo "package.sh: $OUT/$name-setup.exe"
done
