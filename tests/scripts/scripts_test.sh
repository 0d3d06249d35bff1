#!/usr/bin/env bash
# The scripts and the install as a user meets them:
#   scripts_test.sh CASE SOURCE_DIR BUILD_DIR
set -euo pipefail
case_name=$1 source_dir=$2 build_dir=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

case "$case_name" in
help_and_wrong_arguments)
    # Answered before anything is installed or built: a script that went further would reach these, which
    # fail loudly.
    mkdir "$work/bin"
    for tool in apt-get sudo dpkg-query cmake emcmake npm node; do
        printf '#!/bin/sh\necho "%s was run" >&2\nexit 99\n' "$tool" >"$work/bin/$tool"
        chmod +x "$work/bin/$tool"
    done
    for script in run test release gallery bench web windows.sh; do
        for help in -h --help; do
            PATH="$work/bin:$PATH" timeout 20 "$source_dir/scripts/$script" "$help" >"$work/out" 2>"$work/err" ||
                fail "$script $help: exit code $? ($(cat "$work/err"))"
            [ ! -s "$work/err" ] || fail "$script $help wrote on standard error: $(cat "$work/err")"
            grep -qi 'installs' "$work/out" || fail "$script $help does not say what it installs"
            grep -q 'build[a-z-]*/' "$work/out" || fail "$script $help does not name the folders it writes"
        done
        for wrong in --no-such-option extra; do
            code=0
            PATH="$work/bin:$PATH" timeout 20 "$source_dir/scripts/$script" "$wrong" >"$work/out" 2>"$work/err" ||
                code=$?
            [ "$code" = 2 ] || fail "$script $wrong: exit code $code, not 2 ($(cat "$work/err"))"
            [ ! -s "$work/out" ] || fail "$script $wrong wrote on standard output"
            [ "$(wc -l <"$work/err")" = 1 ] && grep -q -- "'$wrong'" "$work/err" ||
                fail "$script $wrong: not one line naming the argument: $(cat "$work/err")"
        done
    done
    # The commands that take one argument refuse a second.
    for command in "web build" "windows.sh test"; do
        code=0
        PATH="$work/bin:$PATH" timeout 20 "$source_dir/scripts/${command% *}" "${command#* }" more 2>"$work/err" ||
            code=$?
        [ "$code" = 2 ] || fail "scripts/$command more: exit code $code ($(cat "$work/err"))"
    done
    ;;
keeps_a_track_put_in_place)
    # A generator that writes a new text each time it runs.
    printf '#!/bin/sh\necho "composed $$" >"$1"\n' >"$work/generator"
    chmod +x "$work/generator"
    track=$work/Resource/Glacierhorn.mp3
    compose() { cmake -DGENERATOR="$work/generator" -DTRACK="$track" -P "$source_dir/cmake/compose_track.cmake"; }
    compose
    grep -q composed "$track" || fail "no track composed"
    first=$(cat "$track")
    compose
    [ "$(cat "$track")" != "$first" ] || fail "the composed track was not composed again"
    echo mine >"$track"
    compose | grep -q Keeping || fail "keeping the track is not said"
    [ "$(cat "$track")" = mine ] || fail "a track put in place was composed over"
    # A track that was there before any was composed is kept as well.
    rm -rf "$work/Resource"
    mkdir "$work/Resource"
    echo mine >"$track"
    compose >/dev/null
    [ "$(cat "$track")" = mine ] || fail "a track put in place before the first build was composed over"
    ;;
installed_capture_finds_track)
    cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
    mkdir "$work/elsewhere"
    cd "$work/elsewhere"
    "$work/prefix/bin/tesselune-capture" still --time 80 --size 64x36 --output still.png 2>"$work/err" ||
        fail "still: $(cat "$work/err")"
    [ ! -s "$work/err" ] || fail "still: $(cat "$work/err")"
    "$work/prefix/bin/tesselune-capture" still --time 80 --size 64x36 --levels 0,0,0 --output silent.png
    ! cmp -s still.png silent.png || fail "the still was drawn without the track's levels"
    "$work/prefix/bin/tesselune-capture" video --from 80 --to 80.1 --size 64x36 --output show.mp4 \
        2>"$work/err" || fail "video: $(cat "$work/err")"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
