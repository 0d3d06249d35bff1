# Wine for the Windows tests, sourced by wine_run.sh and show_test.sh. Each prefix lives in scratch folders
# (HOME too), is made once, and keeps its crash dialog off, so that a crash ends a run instead of hanging it.
wine_dir=${TESSELUNE_WINE_DIR:-${TMPDIR:-/tmp}/tesselune-wine-$(id -u)}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"

# use_wine_prefix NAME: exports HOME and WINEPREFIX for the prefix NAME, making it the first time, and starts
# its wineserver with closed standard streams (one that inherited a test's output would keep the test open).
use_wine_prefix() {
    mkdir -p "$wine_dir/home"
    export HOME="$wine_dir/home" WINEPREFIX="$wine_dir/$1"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tesselune-ready" ]; then
            rm -rf "$WINEPREFIX"
            DISPLAY= timeout 180 wineboot -i </dev/null >/dev/null 2>&1
            DISPLAY= timeout 60 wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD \
                /d 0 /f </dev/null >/dev/null 2>&1
            # Sound through PulseAudio only: a test gives a device by starting a server in PULSE_SERVER.
            DISPLAY= timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d pulse /f \
                </dev/null >/dev/null 2>&1
            timeout 60 wineserver -w
            touch "$WINEPREFIX/.tesselune-ready"
        fi
    ) 9>"$wine_dir/$1.lock"
    # Lingers a minute after its last program; stop_wine ends it at once. Wine's own services start with it,
    # here, where they inherit no test's output either.
    wineserver -p60 </dev/null >/dev/null 2>&1 || true
    DISPLAY= timeout 60 wineboot </dev/null >/dev/null 2>&1 || true
}

# Ends the wineserver of the current prefix and every program of it; call before the X server goes away.
stop_wine() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    timeout 30 wineserver -w </dev/null >/dev/null 2>&1 || true
}

