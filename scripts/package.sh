#!/bin/bash
# package.sh - builds the packages of Tolvik: for each Windows architecture a portable zip and an
# installer (makensis), named tolvik-VERSION-ARCH.zip and tolvik-VERSION-ARCH-setup.exe, and the
# Debian package tolvik_VERSION_amd64.deb (dpkg-deb) of the x86_64 build with the Linux launcher.
#
#   bash scripts/package.sh                   build build/win32 and build/win64, package all three
#   bash scripts/package.sh i686              one package (i686, x86_64 or deb)
#   bash scripts/package.sh x86_64=DIR        package the build tree DIR instead of build/win64
#                                             (deb=DIR likewise; deb takes the x86_64 tree)
#   --out DIR    where the packages go (default build/packages)
#   --no-build   package the trees as they are (they must hold tolvik.exe)
#
# The zip holds one folder tolvik-VERSION-ARCH/ with tolvik.exe, tolvik-send.exe (the console
# sender), README.txt, CHANGELOG.txt, user-guide.txt and, when the build has them, the stand-in message service (msgsvc.exe, its
# netapi32.dll, msgsvc.ini) and, on x86_64, the network provider tolviknp.dll that Tolvik needs
# under Wine (see the launcher ./tolvik). The installer installs the same files minus tolviknp.dll.
# The message service is part of every package: a tree without it is refused.
#
# The Debian package installs the launcher as /usr/bin/tolvik, the x86_64 program files under
# /usr/lib/tolvik/, a desktop entry with the envelope icon in the hicolor sizes (PNGs the build
# makes from res/), the manual page tolvik(1) and /usr/share/doc/tolvik/ (copyright, and the
# changelog made from CHANGELOG.md).
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
    i686|x86_64|deb) ORDER+=("$1"); shift ;;
    i686=*|x86_64=*|deb=*) ORDER+=("${1%%=*}"); TREE[${1%%=*}]=${1#*=}; shift ;;
    *) echo "package.sh: unknown argument '$1' (see the top of this script)" >&2; exit 2 ;;
  esac
done
[ ${#ORDER[@]} -gt 0 ] || ORDER=(i686 x86_64 deb)
: "${TREE[i686]:=$ROOT/build/win32}" "${TREE[x86_64]:=$ROOT/build/win64}" "${TREE[deb]:=${TREE[x86_64]}}"

fail() { echo "package.sh: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || fail "$1 is missing (bash scripts/deps.sh installs it)"; }
VERSION=$(sed -n 's/^project(Tolvik VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$VERSION" ] || fail "no version in CMakeLists.txt"
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)

# build_tree ARCH TREE TARGET... - configures and builds TREE for ARCH (unless --no-build), then
# checks that it holds the program and the message service.
build_tree() {
  local arch=$1 tree=$2 f
  shift 2
  if [ $BUILD = 1 ]; then
    cmake -S "$ROOT" -B "$tree" -DCMAKE_BUILD_TYPE=Release \
          -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$arch-w64-mingw32.cmake" >/dev/null \
      || fail "configuring $tree failed"
    cmake --build "$tree" -j"${JOBS:-2}" --target "$@" || fail "building $* in $tree failed"
  fi
  for f in tolvik.exe tolvik-send.exe msgsvc/msgsvc.exe msgsvc/netapi32.dll; do
    [ -f "$tree/$f" ] || fail "$tree/$f does not exist"
  done
}

# The Debian package of the x86_64 tree $1.
package_deb() {
  local tree=$1 work root doc size date maintainer='Tolvik developers <dev@tolvik.invalid>' f s
  need dpkg-deb
  build_tree x86_64 "$tree" tolvik_linux tolvik_icons
  for f in tolviknp.dll icons/hicolor/32x32/apps/tolvik.png; do
    [ -f "$tree/$f" ] || fail "$tree/$f does not exist (the icons need ImageMagick's convert)"
  done
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  root=$work/root
  doc=$root/usr/share/doc/tolvik
  mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/lib/tolvik" "$root/usr/share/applications" \
           "$root/usr/share/man/man1" "$doc"
  install -m 0755 "$ROOT/tolvik" "$root/usr/bin/tolvik"
  install -m 0644 "$tree/tolvik.exe" "$tree/tolvik-send.exe" "$tree/tolviknp.dll" "$tree/msgsvc/msgsvc.exe" \
          "$tree/msgsvc/netapi32.dll" "$root/usr/lib/tolvik/"
  install -m 0644 "$ROOT/packaging/tolvik.desktop" "$root/usr/share/applications/"
  for f in "$tree"/icons/hicolor/*/apps/tolvik.png; do
    s=$(basename "$(dirname "$(dirname "$f")")")
    install -D -m 0644 "$f" "$root/usr/share/icons/hicolor/$s/apps/tolvik.png"
  done
  # Dates from the last commit, so that a rebuild of the same tree gives the same package.
  date=$(git -C "$ROOT" log -1 --format=%cD 2>/dev/null) || date=
  [ -n "$date" ] || date=$(date -R)
  sed -e "s/@VERSION@/$VERSION/" -e "s/@DATE@/$(date -d "$date" +%Y-%m-%d)/" "$ROOT/packaging/tolvik.1" \
    | gzip -9n >"$root/usr/share/man/man1/tolvik.1.gz"
  install -m 0644 "$ROOT/packaging/copyright" "$doc/copyright"
  python3 "$ROOT/packaging/deb-changelog.py" "$ROOT/CHANGELOG.md" tolvik "$maintainer" "$date" \
    | gzip -9n >"$doc/changelog.gz" || fail "the Debian changelog could not be made from CHANGELOG.md"
  (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
  size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
  cat >"$root/DEBIAN/control" <<EOF
Package: tolvik
Version: $VERSION
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $size
Depends: wine64 | wine, fonts-wine
Recommends: python3
Section: net
Priority: optional
Description: LAN messenger in the notification area, run under Wine
 Tolvik sends short text messages to users or computers of the local network
 and collects the messages that arrive for this computer, in a small window
 that lives in the notification area.
 .
 This package runs the Windows program under wine64 in a Wine prefix of its
 own (command tolvik), together with a stand-in for the network message
 service that speaks the classic messenger protocol (NetBIOS names, the
 session service, the SMB message commands), so that Tolvik talks to other
 Tolviks and to Samba. Its envelope sits in the desktop's own tray (python3
 tells the launcher whether there is one); tolvik send sends from scripts.
EOF
  rm -f "$OUT/tolvik_${VERSION}_amd64.deb"
  SOURCE_DATE_EPOCH=$(date -d "$date" +%s) dpkg-deb --root-owner-group -Zxz --build "$root" \
      "$OUT/tolvik_${VERSION}_amd64.deb" >/dev/null || fail "dpkg-deb failed"
  rm -rf "$work"
  trap - EXIT
  echo "package.sh: $OUT/tolvik_${VERSION}_amd64.deb"
}

for arch in "${ORDER[@]}"; do
  tree=${TREE[$arch]}
  if [ "$arch" = deb ]; then
    package_deb "$tree"
    continue
  fi
  need makensis
  need zip
  targets=(tolvik tolvik_send msgsvc msgsvc_netapi32)
  [ "$arch" != x86_64 ] || targets+=(tolviknp)
  build_tree "$arch" "$tree" "${targets[@]}"

  name=tolvik-$VERSION-$arch
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  stage=$work/$name
  mkdir -p "$stage"
  cp "$tree/tolvik.exe" "$tree/tolvik-send.exe" "$stage/"
  cp "$ROOT/README.md" "$stage/README.txt"
  [ ! -f "$ROOT/CHANGELOG.md" ] || cp "$ROOT/CHANGELOG.md" "$stage/CHANGELOG.txt"
  [ ! -f "$ROOT/docs/user-guide.md" ] || cp "$ROOT/docs/user-guide.md" "$stage/user-guide.txt"
  for f in msgsvc/msgsvc.exe msgsvc/netapi32.dll msgsvc/msgsvc.ini; do
    [ ! -f "$tree/$f" ] || cp "$tree/$f" "$stage/"
  done
  if [ "$arch" = x86_64 ]; then cp "$tree/tolviknp.dll" "$stage/" || fail "$tree/tolviknp.dll is missing"; fi

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
