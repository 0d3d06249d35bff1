#!/usr/bin/env bash
# Every program's command line: -h and --help print the usage on standard output, --version the version, and a
# wrong option is one line on standard error with exit code 2; none of them opens a window or writes a file.
#   command_lines.sh VERSION TESSELUNE CAPTURE_TOOL SOUNDTRACK
set -euo pipefail
version=$1 tesselune=$2 capture_tool=$3 soundtrack=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# run PROGRAM ARGS...: leaves the exit code in $code and the outputs in $out and $err. No display: a program
# that tried to open its window would fail.
run() {
    code=0
    env -u DISPLAY -u WAYLAND_DISPLAY "$@" >"$work/out" 2>"$work/err" </dev/null || code=$?
    out=$(cat "$work/out") err=$(cat "$work/err")
}
# expect_usage NAME ARGS...: the usage, ending on the photosensitivity warning, on standard output and nothing
# else.
expect_usage() {
    run "${@:2}"
    [ "$code" = 0 ] && [[ $out == usage:* ]] && [[ $(tail -n 1 <<<"$out") == "Photosensitivity warning: "* ]] &&
        [ -z "$err" ] ||
        fail "$1 ${*:3}: exit $code, standard output '${out:0:60}', standard error '$err'"
}
# expect_wrong NAME ARGS...: one line on standard error, exit code 2.
expect_wrong() {
    run "${@:2}"
    [ "$code" = 2 ] && [ -z "$out" ] && [ "$(wc -l <"$work/err")" = 1 ] && [[ $err == "$1: "* ]] ||
        fail "$1 ${*:3}: exit $code, standard output '$out', standard error '$err'"
}

for help in -h --help; do
    expect_usage tesselune "$tesselune" $help
    expect_usage tesselune "$tesselune" --window 640x360 $help
    expect_usage tesselune-capture "$capture_tool" $help
    expect_usage tesselune-capture "$capture_tool" still $help
    expect_usage tesselune-capture "$capture_tool" video --fps 30 $help
    expect_usage tesselune-soundtrack "$soundtrack" $help
done
run "$capture_tool" still --help
[[ $out == *"still --time"* && $out != *video* ]] || fail "still --help: '$out'"
run "$capture_tool" video --help
[[ $out == *"video [--size"* && $out != *still* ]] || fail "video --help: '$out'"

for program in "$tesselune" "$capture_tool" "$soundtrack"; do
    name=$(basename "$program")
    run "$program" --version
    [ "$code" = 0 ] && [ "$out" = "$name $version" ] && [ -z "$err" ] ||
        fail "$name --version: exit $code, '$out', '$err'"
done

expect_wrong tesselune "$tesselune" --dance
expect_wrong tesselune "$tesselune" --window
expect_wrong tesselune "$tesselune" --window 0x360
expect_wrong tesselune "$tesselune" --scale 0.1
expect_wrong tesselune "$tesselune" --scale big
expect_wrong tesselune "$tesselune" --fullscreen yes
expect_wrong tesselune-capture "$capture_tool" --dance
expect_wrong tesselune-capture "$capture_tool" still --time 1 --dance 2
expect_wrong tesselune-soundtrack "$soundtrack" --dance
[ -z "$(ls -A "$work" | grep -v -e '^out$' -e '^err$')" ] || fail "files were left: $(ls -A "$work")"

[ "$failures" = 0 ] || exit 1
echo "PASS"
