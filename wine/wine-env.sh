# wine-env.sh - sourced by the run and test scripts: a throw-away Wine prefix with a virtual
# desktop (real frames and a tray), our network provider, and Xvfb when there is no display.
# Everything started here is stopped by tolvik_wine_stop, also when a caller fails.

WINE64=${WINE64:-/usr/lib/wine/wine64}
WINESERVER64=${WINESERVER64:-/usr/lib/wine/wineserver64}
export WINELOADER=$WINE64 WINESERVER=$WINESERVER64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono/Gecko prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

TOLVIK_XVFB_PID=

# Starts Xvfb on a free display when none is set.
tolvik_display_start() {
    if [ -n "${DISPLAY:-}" ]; then return 0; fi
    # Several runs may pick the same free number at once: the display is ours only when its
    # lock file names our Xvfb; otherwise try the next number.
    local n i owner
    for n in $(seq 90 130); do
        if [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; then continue; fi
        Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        TOLVIK_XVFB_PID=$!
        for i in $(seq 1 50); do
            kill -0 "$TOLVIK_XVFB_PID" 2>/dev/null || break
            # Xvfb may not have written its lock file yet: that is "not ours yet", not a failure
            # (under set -e a failed substitution would end the caller silently).
            owner=$({ tr -dc 0-9 </tmp/.X$n-lock; } 2>/dev/null) || owner=
            if [ "$owner" = "$TOLVIK_XVFB_PID" ] && [ -e /tmp/.X11-unix/X$n ]; then
                export DISPLAY=:$n
                return 0
            fi
            sleep 0.1
        done
        kill "$TOLVIK_XVFB_PID" 2>/dev/null || true
        wait "$TOLVIK_XVFB_PID" 2>/dev/null || true
        TOLVIK_XVFB_PID=
    done
    echo "Xvfb did not start on any display from :90 to :130" >&2
    return 1
}

# Wine started as /usr/lib/wine/wine64 looks for its own fonts in /usr/share/fonts, not where
# fonts-wine puts them: without the symbol font, caption buttons show letters ("0 1 r").
# Wine loads every font in the prefix's Fonts folder, so the symbol font goes there.
TOLVIK_SYMBOL_FONT=${TOLVIK_SYMBOL_FONT:-/usr/share/wine/fonts/marlett.ttf}
tolvik_prefix_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -f "$fonts/marlett.ttf" ] && return 0
    mkdir -p "$fonts" && cp "$TOLVIK_SYMBOL_FONT" "$fonts/marlett.ttf" ||
        echo "wine-env: $TOLVIK_SYMBOL_FONT not copied into the prefix (install fonts-wine)" >&2
}

# Creates (or reuses) the prefix $1 and registers the network provider DLL $2 in it.
tolvik_prefix_create() {
    export WINEPREFIX=$1
    local provider=$2
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$WINE64" wineboot -i >/dev/null 2>&1
        "$WINE64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
        "$WINE64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
    fi
    tolvik_prefix_fonts
    if [ -n "$provider" ]; then
        local dir='C:\tolvik'
        mkdir -p "$WINEPREFIX/drive_c/tolvik"
        cp "$provider" "$WINEPREFIX/drive_c/tolvik/tolviknp.dll"
        "$WINE64" reg add 'HKLM\System\CurrentControlSet\Services\TolvikNP\NetworkProvider' \
            /v ProviderPath /t REG_EXPAND_SZ /d "$dir\\tolviknp.dll" /f >/dev/null
        "$WINE64" reg add 'HKLM\System\CurrentControlSet\Services\TolvikNP\NetworkProvider' \
            /v Name /d 'Tolvik Network' /f >/dev/null
        "$WINE64" reg add 'HKLM\System\CurrentControlSet\Control\NetworkProvider\Order' \
            /v ProviderOrder /d TolvikNP /f >/dev/null
    fi
    "$WINESERVER64" -w
}

# Ends this prefix's programs and server, and our Xvfb.
tolvik_wine_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then "$WINESERVER64" -k >/dev/null 2>&1 || true; fi
    if [ -n "$TOLVIK_XVFB_PID" ]; then
        kill "$TOLVIK_XVFB_PID" 2>/dev/null || true
        wait "$TOLVIK_XVFB_PID" 2>/dev/null || true
        TOLVIK_XVFB_PID=
    fi
}
