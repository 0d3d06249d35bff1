# An X server and a sound server of a run's own, for the scripts and the tests that need them; sourced.

# start_xvfb DIR SCREEN [OPTIONS]: an Xvfb with a screen such as 1280x720x24 (its display-number pipe in DIR);
# it names its display once it is ready. Exports DISPLAY and sets xvfb_pid, for the clean-up.
start_xvfb() {
    local dir=$1 screen=$2 display
    shift 2
    rm -f "$dir/displayfd"
    mkfifo "$dir/displayfd"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp "$@" 3>"$dir/displayfd" >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r display <"$dir/displayfd"
    export DISPLAY=":$display"
}

# start_null_sink DIR: a PulseAudio server whose one output is a null sink "tesselune" that plays in real time
# (its monitor source records what it plays), its socket and state in DIR. Exports PULSE_SERVER and sets
# pulse_pid, for the clean-up.
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
