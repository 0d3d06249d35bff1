#!/usr/bin/env bash
# The show as a person runs it: a real window on an X server of its own (Xvfb).
#   show_test.sh CASE TESSELUNE TRACK_TOOL CAPTURE_TOOL
set -euo pipefail
case_name=$1 tesselune=$2 track_tool=$3 capture_tool=$4

work=$(mktemp -d)
xvfb_pid=""
show_pid=""
cleanup() {
    [ -n "$show_pid" ] && kill -KILL "$show_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

source "$(dirname "${BASH_SOURCE[0]}")/x_session.sh"
xvfb_options=()
[ "$case_name" = failure_box_signals ] && xvfb_options=(-extension GLX)
screen=1344x784x24
[ "$case_name" = whole_screen ] && screen=1920x1080x24
start_xvfb "$work" $screen "${xvfb_options[@]}"
mkdir "$work/show"
cd "$work/show"

start_show() {
    "$tesselune" "$@" >"$work/stdout" 2>"$work/stderr" &
    show_pid=$!
}
# Takes a screenshot; prints the brightest channel value (0 to 1) of the show's client area, which is at 32, 32
# when no window manager maximises the window.
client_brightness() {
    import -window root "$work/shot.png"
    convert "$work/shot.png" -crop 1280x720+32+32 +repage -format '%[fx:maxima]' info:
}
# Waits until the show has drawn something other than the black clear colour.
await_frame() {
    for _ in $(seq 600); do
        [ "$(client_brightness)" != 0 ] && return 0
    done
    fail "nothing was drawn"
}

# Runs the show on the SDL audio driver given until its first frame, then presses Escape; its exit code is
# left in $code.
# escape_after_first_frame AUDIODRIVER [OPTION]...
escape_after_first_frame() {
    SDL_AUDIODRIVER=$1 start_show "${@:2}"
    window=$(await_window)
    await_frame
    xdotool windowfocus --sync "$window" key Escape
    await_exit
}

# Runs the show on SDL's disk driver (as fast as it takes frames) with a track of the given seconds, which it
# must play through to its own end, the device getting the decoded track and at least 206.87 s of frames.
show_on_disk_audio() {
    mkdir Resource
    "$track_tool" make "$work/track.wav" "$1"
    cp "$work/track.wav" Resource/Glacierhorn.mp3
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/out.raw" SDL_DISKAUDIODELAY=0 start_show
    await_exit 240
    [ "$code" = 0 ] || fail "the show ended with exit code $code: $(cat "$work/stderr")"
    "$track_tool" compare "$work/out.raw" "$work/track.wav" || fail "the device did not get the decoded track"
    played=$(stat -c %s "$work/out.raw")
    [ "$played" -ge $((20687 * 441 * 8 / 100)) ] || fail "the show ended after $played bytes of audio"
}

# start_window_manager: starts openbox and waits until it has finished starting (its --startup command runs),
# and so handles a new window's map request: one that comes while openbox is still starting can be lost,
# and SDL then waits for the window's mapping for ever. openbox now and then fails to open the display as
# it starts beside other tests' servers; it is then started again. Sets wm_pid.
start_window_manager() {
    for _ in 1 2 3; do
        rm -f "$work/wm-ready"
        openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
        wm_pid=$!
        for _ in $(seq 300); do
            [ -f "$work/wm-ready" ] && return 0
            kill -0 "$wm_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$wm_pid" 2>/dev/null || true
    done
    fail "openbox did not start: $(tail -3 "$work/openbox.log")"
}
# await_managed_window: await_window under a window manager, whose framing of the window can make one search
# meet a window that has just gone.
await_managed_window() {
    local window
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --name '^Tesselune$' 2>/dev/null | head -n 1) || true
        [ -n "$window" ] && echo "$window" && return 0
        sleep 0.1
    done
    fail "no window"
}
# await_state WINDOW WIDTHxHEIGHT [FULLSCREEN]: waits until the window manager has given the window that size,
# in full screen or not.
await_state() {
    local window=$1 size=$2 full=${3:-} geometry state in_full
    for _ in $(seq 200); do
        geometry=$(xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/ *Geometry: //p') || true
        state=$(xprop -id "$window" _NET_WM_STATE 2>/dev/null) || true
        in_full=""
        [[ $state == *FULLSCREEN* ]] && in_full=full
        [ "$geometry" = "$size" ] && [ "$in_full" = "$full" ] && return 0
        sleep 0.1
    done
    fail "the window is $geometry ($state), not $size${full:+ in full screen}"
}

case "$case_name" in
whole_screen)
    # Under a window manager the maximised window takes the whole screen (there is no panel); F11 and
    # Alt+Enter take it to full screen and back to maximised; --window opens a plain window of its size.
    start_window_manager
    SDL_AUDIODRIVER=dummy start_show
    window=$(await_managed_window)
    await_state "$window" 1920x1080
    xdotool windowfocus --sync "$window" key F11
    await_state "$window" 1920x1080 full
    xdotool key F11
    await_state "$window" 1920x1080
    xdotool key alt+Return
    await_state "$window" 1920x1080 full
    xdotool key Escape
    await_exit
    [ "$code" = 0 ] || fail "Escape ended the show with exit code $code"
    SDL_AUDIODRIVER=dummy start_show --window 640x360
    window=$(await_managed_window)
    await_state "$window" 640x360
    kill -TERM "$show_pid"
    await_exit
    kill "$wm_pid"
    ;;
draws_and_escape)
    escape_after_first_frame dummy
    [ "$code" = 0 ] || fail "Escape ended the show with exit code $code"
    ;;
close_request)
    # Started with standard error closed and a track it refuses: its line goes nowhere, not into the
    # descriptor the X connection would otherwise take, and the show still answers.
    mkdir Resource
    : >Resource/Glacierhorn.mp3
    SDL_AUDIODRIVER=dummy "$tesselune" >"$work/stdout" 2>&- &
    show_pid=$!
    await_window >/dev/null
    await_frame
    kill -TERM "$show_pid"
    await_exit
    [ "$code" = 0 ] || fail "a close request ended the show with exit code $code"
    ;;
no_audio_device)
    escape_after_first_frame nosuchdriver --scale 1
    [ "$code" = 0 ] || fail "exit code $code"
    [ "$(cat "$work/stdout")" = "faild play music" ] || fail "standard output: '$(cat "$work/stdout")'"
    # What the window showed is Scene2 at time 0 with silent levels, as the capture tool draws it.
    convert "$work/shot.png" -crop 1280x720+32+32 +repage "$work/client.png"
    "$capture_tool" still --time 0 --scene Scene2 --levels 0,0,0 --output "$work/scene2.png"
    differing=$(compare -metric AE "$work/client.png" "$work/scene2.png" null: 2>&1) || true
    [ "$differing" = 0 ] || fail "the window is not Scene2 at time 0: $differing pixels differ"
    ;;
whole_show_on_disk_audio)
    # A track just longer than the show, read by content whatever its name says; the disk driver takes the
    # audio as fast as it can, so the show passes in seconds and must end by itself.
    show_on_disk_audio 207.5
    ;;
short_track_on_disk_audio)
    # A track of 20 s: once it ends the position goes on through silence, so the show still ends by itself
    # at its end, after the device has taken at least 206.87 s of frames.
    show_on_disk_audio 20
    ;;
studio)
    # The studio on a copy of the source tree and a 20 s track on the disk driver at full speed: at the end of
    # the show it pauses on the white scene instead of ending, a saved text is drawn, and Escape still ends it.
    mkdir -p Resource "$work/tree/scenes"
    cp -r "$(dirname "${BASH_SOURCE[0]}")/../../shaders" "$work/tree/"
    cp "$(dirname "${BASH_SOURCE[0]}")/../../scenes/schedule.txt" "$work/tree/scenes/"
    "$track_tool" make Resource/Glacierhorn.mp3 20
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=0 \
        "$tesselune" --studio "$work/tree" >"$work/stdout" 2>"$work/stderr" &
    show_pid=$!
    window=$(await_window)
    # The client's centre as r,g,b from 0 to 255.
    centre() {
        import -window root "$work/shot.png"
        convert "$work/shot.png" -crop 1x1+672+392 +repage -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
    }
    await_centre() {
        for _ in $(seq 600); do
            [ "$(centre)" = "$1" ] && return 0
            kill -0 "$show_pid" 2>/dev/null || fail "the studio ended: $(cat "$work/stderr")"
        done
        fail "$2"
    }
    await_centre 255,255,255 "the studio did not hold at the end of the show"
    printf 'void main() {\n    gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0);\n}\n' >"$work/tree/shaders/Scenew.frag"
    await_centre 255,0,0 "the saved Scenew.frag was not drawn"
    xdotool windowfocus --sync "$window" key Escape
    await_exit
    [ "$code" = 0 ] || fail "Escape ended the studio with exit code $code"
    ;;
no_display)
    # Without a display SDL would fall back to a driver that shows nothing: a window creation failure.
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=dummy "$tesselune" >"$work/stdout" 2>"$work/stderr" &
    show_pid=$!
    await_exit
    [ "$code" = 1 ] || fail "a start-up failure gave exit code $code"
    # The failure's own text, then SDL's reason.
    grep -qE "^Window Creation Error\. \(.+\)$" "$work/stderr" || fail "standard error: $(cat "$work/stderr")"
    ;;
failure_box_signals)
    # No GLX on this display, so no window: the failure's box (shown by a process of its own) waits for a
    # person, and a signal still ends the run, box and all. SIGINT starts at its default, as from a terminal.
    box_shown() { xwininfo -name ERROR 2>/dev/null | grep -q IsViewable; }
    for signal in TERM INT; do
        # SDL's box process now and then crashes before it shows (a few starts in a hundred here), and the
        # show ends by itself: such a start tests nothing and is made again.
        for attempt in 1 2 3 4 5; do
            SDL_AUDIODRIVER=dummy env --default-signal=INT "$tesselune" >"$work/stdout" 2>"$work/stderr" &
            show_pid=$!
            timeout 10 bash -c "until $(declare -f box_shown); box_shown; do :; done" && break
            await_exit
            [ "$attempt" = 5 ] && fail "no box captioned ERROR in five starts: $(cat "$work/stderr")"
        done
        kill -"$signal" "$show_pid"
        await_exit 20
        [ "$code" = 1 ] || fail "SIG$signal during the box gave exit code $code"
        grep -q "^Window Creation Error." "$work/stderr" || fail "standard error: $(cat "$work/stderr")"
        timeout 20 bash -c "while $(declare -f box_shown); box_shown; do :; done" || fail "the box outlived the show"
    done
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
