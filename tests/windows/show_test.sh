#!/usr/bin/env bash
# The Windows show as a person runs it, under Wine on an X server of its own (Xvfb at 1280x720, which the
# maximised window covers):
#   show_test.sh CASE TESSELUNE.EXE
# With TESSELUNE_CAPTURE_TOOL naming the Linux capture tool, the first frame is also compared with its still.
set -euo pipefail
case_name=$1 tesselune=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine_env.sh"
source "$here/../e2e/x_session.sh"

work=$(mktemp -d)
xvfb_pid="" show_pid="" pulse_pid=""
unset PULSE_SERVER  # no audio device unless a case starts a sound server
cleanup() {
    stop_wine  # before the X server goes away
    [ -n "$show_pid" ] && kill -KILL "$show_pid" 2>/dev/null || true
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/stdout" ] && echo "standard output: $(cat "$work/stdout")" >&2; [ -f "$work/stderr" ] && grep -v '^ALSA' "$work/stderr" | tail -5 >&2; exit 1; }

start_show() {
    use_wine_prefix e2e
    mkdir -p "$work/show"
    cd "$work/show"
    timeout -k 10 240 wine "$tesselune" "$@" </dev/null >"$work/stdout" 2>"$work/stderr" &
    show_pid=$!
}
# A screenshot of the whole screen; a window that goes away while it is taken spoils one try.
shot() {
    for _ in 1 2 3 4 5; do
        import -window root "$1" 2>/dev/null && return 0
    done
    fail "no screenshot"
}
brightest() { convert "$1" -format '%[fx:maxima]' info:; }
# Scene2 is the one scene with a blue tint (its gradient); with silent levels every other scene is grey.
is_scene2() { [ "$(convert "$1" -format '%[fx:mean.b-mean.r > 0.004 ? 1 : 0]' info:)" = 1 ]; }
await_frame() {
    for _ in $(seq 600); do
        shot "$work/shot.png"
        [ "$(brightest "$work/shot.png")" != 0 ] && return 0
        sleep 0.2
    done
    fail "nothing was drawn"
}
# A silent 16-bit stereo WAV of the given seconds at 44100 Hz.
silent_wav() {
    local bytes=$(($2 * 44100 * 4))
    {
        printf 'RIFF'; le32 $((36 + bytes)); printf 'WAVEfmt '; le32 16; le16 1; le16 2; le32 44100
        le32 $((44100 * 4)); le16 4; le16 16; printf 'data'; le32 "$bytes"
        head -c "$bytes" /dev/zero
    } >"$1"
}
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }

case "$case_name" in
first_frame_and_escape)
    # At full scale, every frame the same picture as the capture tool's.
    start_xvfb "$work" 1280x720x24
    start_show --scale 1
    window=$(await_window 120)
    await_frame
    sleep 1
    shot "$work/later.png"
    # Without a device the time stays 0: Scene2 at time 0, its gradient over the whole screen from the
    # top-left corner, and the same picture frame after frame.
    is_scene2 "$work/shot.png" || fail "the first frame is not Scene2"
    top=$(convert "$work/shot.png" -crop 40x40+0+0 +repage -format '%[fx:mean.b]' info:)
    bottom=$(convert "$work/shot.png" -crop 40x40+0+680 +repage -format '%[fx:mean.b]' info:)
    awk -v t="$top" -v b="$bottom" 'BEGIN { exit !(t > 0.04 && b < 0.01) }' ||
        fail "no gradient from the top-left corner down (blue $top at the top, $bottom at the bottom)"
    differing=$(compare -metric AE "$work/shot.png" "$work/later.png" null: 2>&1) || true
    [ "$differing" = 0 ] || fail "the picture changed without music: $differing pixels"
    if [ -n "${TESSELUNE_CAPTURE_TOOL:-}" ]; then
        "$TESSELUNE_CAPTURE_TOOL" still --time 0 --scene Scene2 --levels 0,0,0 --size 1280x720 \
            --output "$work/scene2.png" >/dev/null
        differing=$(compare -metric AE -fuzz 2% "$work/shot.png" "$work/scene2.png" null: 2>&1) || true
        [ "$differing" -lt 1000 ] || fail "the window is not Scene2 at time 0: $differing pixels differ"
    fi
    xdotool key --window "$window" Escape 2>/dev/null
    await_exit
    [ "$code" = 0 ] || fail "Escape ended the show with exit code $code"
    [ "$(cat "$work/stdout")" = "faild play music" ] || fail "standard output: '$(cat "$work/stdout")'"
    ;;
close_request)
    start_xvfb "$work" 1280x720x24
    cc -o "$work/x_close" "$here/x_close.c" -lX11
    start_show
    window=$(await_window 120)
    await_frame
    "$work/x_close" "$window"
    await_exit
    [ "$code" = 0 ] || fail "a close request ended the show with exit code $code"
    [ "$(cat "$work/stdout")" = "faild play music" ] || fail "standard output: '$(cat "$work/stdout")'"
    ;;
music_on_null_sink)
    # A silent track (named as the show names it, read by content) played in real time: the music time
    # moves the picture on, and the schedule changes scene within the next slots.
    start_xvfb "$work" 1280x720x24
    start_null_sink "$work/pulse" || fail "no sound server"
    mkdir -p "$work/show/Resource"
    silent_wav "$work/show/Resource/Glacierhorn.mp3" 80
    start_show
    window=$(await_window 120)
    await_frame
    first=scene2
    is_scene2 "$work/shot.png" || first=other
    moved="" changed=""
    cp "$work/shot.png" "$work/previous.png"
    for _ in $(seq 120); do
        sleep 0.5
        shot "$work/now.png"
        differing=$(compare -metric AE "$work/previous.png" "$work/now.png" null: 2>&1) || true
        [ "$differing" != 0 ] && moved=yes
        cp "$work/now.png" "$work/previous.png"
        now=scene2
        is_scene2 "$work/now.png" || now=other
        [ "$now" != "$first" ] && changed=yes
        [ -n "$moved" ] && [ -n "$changed" ] && break
    done
    echo "the picture moved and the scene changed $SECONDS s into the test" >&2
    [ -n "$moved" ] || fail "the picture stood still: the music time does not advance"
    [ -n "$changed" ] || fail "the schedule stayed on one kind of scene ($first)"
    xdotool key --window "$window" Escape 2>/dev/null
    await_exit
    [ "$code" = 0 ] || fail "Escape ended the playing show with exit code $code"
    [ ! -s "$work/stdout" ] || fail "standard output: '$(cat "$work/stdout")'"
    ;;
no_media_foundation)
    # Without Media Foundation (Windows' N editions) the show starts all the same, silent on its first
    # frame, and one line says why.
    start_xvfb "$work" 1280x720x24
    start_null_sink "$work/pulse" || fail "no sound server"
    mkdir -p "$work/show/Resource"
    silent_wav "$work/show/Resource/Glacierhorn.mp3" 10
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mfplat,mfreadwrite=d"
    start_show
    window=$(await_window 120)
    await_frame
    is_scene2 "$work/shot.png" || fail "the first frame is not Scene2"
    xdotool key --window "$window" Escape 2>/dev/null
    await_exit
    [ "$code" = 0 ] || fail "Escape ended the show with exit code $code"
    said=$(tr -d '\r' <"$work/stderr" | grep -c 'Media Foundation is not installed (no MFPlat.DLL)') || true
    [ "$said" = 1 ] || fail "not one line saying that Media Foundation is missing"
    ;;
command_line)
    # WinMain takes the same command line as the Linux program: its usage, its version, and one line with exit
    # code 2 for a wrong option, all without a window.
    start_xvfb "$work" 1280x720x24
    for args in --help "--window 640x360 -h" --version "--scale 2" --dance; do
        # shellcheck disable=SC2086
        start_show $args
        await_exit
        out=$(tr -d '\r' <"$work/stdout") err=$(tr -d '\r' <"$work/stderr" | grep -v -e '^ALSA' -e '^wine' || true)
        case "$args" in
        *-h | --help) [ "$code" = 0 ] && [[ $out == "usage: tesselune"* ]] || fail "$args: exit $code, '$out'" ;;
        --version) [ "$code" = 0 ] && [[ $out =~ ^tesselune\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$args: exit $code, '$out'" ;;
        *) [ "$code" = 2 ] && [ -z "$out" ] && [ "$(wc -l <<<"$err")" = 1 ] && [[ $err == "tesselune: "* ]] ||
            fail "$args: exit $code, standard output '$out', standard error '$err'" ;;
        esac
    done
    ;;
startup_failure)
    # An X server without GLX: Wine has no pixel format with OpenGL to give.
    start_xvfb "$work" 1280x720x24 -extension GLX
    start_show
    box=$(timeout 120 xdotool search --sync --onlyvisible --name '^ERROR$' | head -n 1)
    tr -d '\r' <"$work/stderr" | grep -qE "^Can't Find A Suitable PixelFormat\.( \(.+\))?$" ||
        fail "no failure message on stderr"
    xdotool key --window "$box" Return 2>/dev/null
    await_exit
    [ "$code" != 0 ] || fail "the failed start reported success"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
