#!/bin/bash
# package-test.sh BUILD_DIR ARCH OBJDUMP [RELEASE_PROBE_EXE] - packages the built tree BUILD_DIR
# with scripts/package.sh and checks the results: the zip's contents, the installer's build, the
# packaged exe's import table and version block. With the probe (x86_64) it also installs the
# package silently under wine64 in a throw-away prefix, reads the installed exe back, and checks
# that uninstalling keeps the user's data unless /PURGE is given.
set -u
BUILD=$(cd "$1" && pwd)
ARCH=$2
OBJDUMP=$3
PROBE=${4:-}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
. "$HERE/checks.sh"

WORK=$(mktemp -d /tmp/tolvik-release-package.XXXXXX)
cleanup() {
    tolvik_wine_stop 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT

VERSION=$(sed -n 's/^project(Tolvik VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
NAME=tolvik-$VERSION-$ARCH
OUT=$WORK/out
if ! bash "$ROOT/scripts/package.sh" --no-build --out "$OUT" "$ARCH=$BUILD" >"$WORK/package.log" 2>&1; then
    cat "$WORK/package.log"
    echo "FAIL: scripts/package.sh"
    exit 1
fi

echo "== portable zip"
ZIP=$OUT/$NAME.zip
check "the zip $NAME.zip exists" test -f "$ZIP"
unzip -q "$ZIP" -d "$WORK/unzipped"
DIR=$WORK/unzipped/$NAME
check "everything is in one folder $NAME/" test "$(unzip -Z1 "$ZIP" | cut -d/ -f1 | sort -u)" = "$NAME"
check "the zip's tolvik.exe is the built one" cmp -s "$DIR/tolvik.exe" "$BUILD/tolvik.exe"
check "the zip's tolvik-send.exe is the built one" cmp -s "$DIR/tolvik-send.exe" "$BUILD/tolvik-send.exe"
check "README.txt is the README" cmp -s "$DIR/README.txt" "$ROOT/README.md"
for doc in CHANGELOG.md:CHANGELOG.txt docs/user-guide.md:user-guide.txt; do
    if [ -f "$ROOT/${doc%%:*}" ]; then
        check "${doc#*:} is ${doc%%:*}" cmp -s "$DIR/${doc#*:}" "$ROOT/${doc%%:*}"
    fi
done
# The message service is part of every release.
for f in msgsvc.exe netapi32.dll; do
    check "the service's $f is packaged" cmp -s "$DIR/$f" "$BUILD/msgsvc/$f"
done
if [ -f "$BUILD/msgsvc/msgsvc.ini" ]; then
    check "the service's msgsvc.ini is packaged" cmp -s "$DIR/msgsvc.ini" "$BUILD/msgsvc/msgsvc.ini"
fi
if [ "$ARCH" = x86_64 ]; then
    check "the network provider for Wine is packaged" cmp -s "$DIR/tolviknp.dll" "$BUILD/tolviknp.dll"
fi
# Nothing of the test builds travels along.
check "no test programs in the zip" test -z "$(unzip -Z1 "$ZIP" | grep -i 'e2e\|probe\|_prog\|bench\|peer')"

echo "== packaged exe"
case $ARCH in i686) FORMAT=pei-i386 ;; *) FORMAT=pei-x86-64 ;; esac
check "tolvik.exe is $FORMAT" grep -q "file format $FORMAT" <("$OBJDUMP" -f "$DIR/tolvik.exe")
for f in tolvik.exe tolvik-send.exe; do
    check "$f imports system DLLs only" bash "$ROOT/scripts/check-imports.sh" "$OBJDUMP" "$DIR/$f"
done
# The version block's strings are UTF-16: each name is followed by its value.
version_string() { strings -el "$DIR/tolvik.exe" | grep -A1 -x "$1" | sed -n 2p; }
V=$(echo "$VERSION" | sed 's/\./, /g')
check_eq "FileVersion string" "$(version_string FileVersion)" "$V"
check_eq "ProductVersion string" "$(version_string ProductVersion)" "$V"
check_eq "FileDescription" "$(version_string FileDescription)" "Tolvik"
check_eq "ProductName" "$(version_string ProductName)" "Morvane Tolvik"
check_eq "OriginalFilename" "$(version_string OriginalFilename)" "tolvik.exe"

# The manifest: visual styles, supported Windows versions, DPI awareness, no elevation.
manifest_checks() {
    local m=$1 where=$2
    check "$where: common controls 6" grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$m"
    check "$where: runs as invoker" grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$m"
    check "$where: system DPI aware" grep -q '<dpiAware[^>]*>true</dpiAware>' <<<"$m"
    check_eq "$where: Vista to 10/11 supported" "$(grep -c '<supportedOS Id=' <<<"$m")" 5
}
manifest_checks "$(strings "$DIR/tolvik.exe" | sed -n '/<assembly /,/<\/assembly>/p')" "packaged exe"

echo "== installer"
SETUP=$OUT/$NAME-setup.exe
check "the installer $NAME-setup.exe exists" test -s "$SETUP"
# makensis writes 32-bit installers for i686 and 64-bit ones for x86_64.
check "the installer is $FORMAT" grep -q "file format $FORMAT" <("$OBJDUMP" -f "$SETUP")
check "the installer names its version" grep -qx "$VERSION" <(strings -el "$SETUP")

if [ -z "$PROBE" ]; then
    finish
fi

echo "== installing under wine64"
unset DISPLAY
tolvik_display_start || { echo "FAIL: no Xvfb"; exit 1; }
tolvik_prefix_create "$WORK/prefix" ""
mkdir -p "$WINEPREFIX/drive_c/rel"
cp "$SETUP" "$WINEPREFIX/drive_c/rel/setup.exe"
cp "$PROBE" "$WINEPREFIX/drive_c/rel/"
PF="$WINEPREFIX/drive_c/Program Files/Tolvik"
RUNKEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
UNKEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvik'
APPKEY='HKCU\Software\Morvane\Tolvik'
w() { "$WINE64" "$@"; }
regq() { w reg query "$@" 2>/dev/null | tr -d '\r'; }
absent() { ! w reg query "$@" >/dev/null 2>&1; }
shortcut() { find "$WINEPREFIX/drive_c" -name Tolvik.lnk | grep -q .; }
# The uninstaller runs from a copy in TEMP, which on a busy machine may connect to Wine only
# after the prefix has fallen idle once: wait until the copy has removed the uninstaller, then
# for the prefix to fall idle again.
uninstall() {
    w 'C:\Program Files\Tolvik\uninstall.exe' /S "$@"
    local i
    for i in $(seq 1 600); do [ -e "$PF/uninstall.exe" ] || break; sleep 0.1; done
    "$WINESERVER64" -w
}

w 'C:\rel\setup.exe' /S /AUTOSTART
"$WINESERVER64" -w
check "installed into Program Files\\Tolvik" cmp -s "$PF/tolvik.exe" "$BUILD/tolvik.exe"
check "the uninstaller is installed" test -f "$PF/uninstall.exe"
check "the service and the console sender are installed beside it" \
    test -f "$PF/msgsvc.exe" -a -f "$PF/netapi32.dll" -a -f "$PF/tolvik-send.exe"
check "no Wine network provider on Windows" test ! -e "$PF/tolviknp.dll"
check "a Start-menu shortcut exists" shortcut
check "/AUTOSTART starts Tolvik with Windows" grep -qi 'Program Files\\Tolvik\\tolvik.exe' <(regq "$RUNKEY" /v Tolvik)
check "Add/Remove Programs knows the version" grep -q "DisplayVersion.*$VERSION" <(regq "$UNKEY" /v DisplayVersion)
check "the installed exe imports system DLLs only" bash "$ROOT/scripts/check-imports.sh" "$OBJDUMP" "$PF/tolvik.exe"
# The console sender on its own, with the netapi32.dll beside it (Wine needs the override that
# Windows does not) and a configuration that keeps every look-up on this machine.
printf '[resolve]\nbroadcast=no\ndns=no\n' >"$PF/msgsvc.ini"
SENT=$(WINEDLLOVERRIDES="$WINEDLLOVERRIDES;netapi32=n,b" w 'C:\Program Files\Tolvik\tolvik-send.exe' nobody -m hi)
check_eq "the installed tolvik-send.exe sends through the netapi32.dll beside it" "$SENT" \
    "NOBODY - Failed: The user name could not be found."
INFO=$(w 'C:\rel\release_probe.exe' version 'C:\Program Files\Tolvik\tolvik.exe' | tr -d '\r')
field() { echo "$INFO" | sed -n "s/^$1=//p"; }
check_eq "installed exe: version numbers" "$(field FileVersionNumbers)" "$VERSION"
check_eq "installed exe: FileVersion" "$(field FileVersion)" "$V"
check_eq "installed exe: ProductName" "$(field ProductName)" "Morvane Tolvik"
check_eq "installed exe: InternalName" "$(field InternalName)" "Tolvik"
check_eq "installed exe: LegalTrademarks" "$(field LegalTrademarks)" "Morvane"
check_eq "installed exe: PrivateBuild" "$(field PrivateBuild)" "2005"
check_eq "installed exe: SpecialBuild" "$(field SpecialBuild)" "2001"
check_eq "installed exe: language and code page" "$(field Translation)" "040904b0"
check_eq "installed exe: for Windows NT" "$(field FileOS)" "0x40004"
check_eq "installed exe: an application" "$(field FileType)" "1"
check_eq "installed exe: private and special build" "$(field FileFlags)" "0x28"

manifest_checks "$(w 'C:\rel\release_probe.exe' manifest 'C:\Program Files\Tolvik\tolvik.exe' | tr -d '\r')" \
    "installed exe's manifest resource"

echo "== uninstalling keeps the user's data"
w reg add "$APPKEY" /v Monitor /t REG_DWORD /d 1 /f >/dev/null
w reg add "$APPKEY\\History" /v ALICE /d hello /f >/dev/null
uninstall
check "the program files are gone" test ! -e "$PF"
check "the shortcut is gone" bash -c "! find '$WINEPREFIX/drive_c' -name Tolvik.lnk | grep -q ."
check "the autostart value is gone" absent "$RUNKEY" /v Tolvik
check "the Add/Remove Programs entry is gone" absent "$UNKEY"
check "the settings are kept" grep -q 'Monitor' <(regq "$APPKEY" /v Monitor)
check "the history is kept" grep -q 'hello' <(regq "$APPKEY\\History" /v ALICE)

echo "== reinstalling without /AUTOSTART, uninstalling with /PURGE"
w 'C:\rel\setup.exe' /S
"$WINESERVER64" -w
check "installed again" test -f "$PF/tolvik.exe"
check "start with Windows is off by default" absent "$RUNKEY" /v Tolvik
check "the user's data survived the reinstall" grep -q 'Monitor' <(regq "$APPKEY" /v Monitor)
uninstall /PURGE
check "/PURGE removes the user's data" absent "$APPKEY"
check "the program files are gone again" test ! -e "$PF"
finish
