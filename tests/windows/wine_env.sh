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

# start_null_sink DIR: a PulseAudio server whose one output is a null sink that plays in real time, its socket
# and state in DIR; exports PULSE_SERVER (Wine's wave-out device then exists) and sets pulse_pid.
start_null_sink() {
    mkdir -p "$1"
    XDG_RUNTIME_DIR="$1" HOME="$1" DISPLAY= pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --use-pid-file=no --disable-shm=yes -L "module-null-sink sink_name=tesselune" \
        -L "module-native-protocol-unix socket=$1/socket auth-anonymous=1" </dev/null >"$1/log" 2>&1 &
    pulse_pid=$!
    export PULSE_SERVER="unix:$1/socket"
    for _ in $(seq 100); do
        [ -S "$1/socket" ] && return 0
        sleep 0.1
    done
    echo "the sound server did not start: $(tail -3 "$1/log")" >&2
    return 1
}
