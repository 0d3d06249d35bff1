#!/usr/bin/env bash
# The Windows program, cross-compiled here with mingw-w64 and tested under Wine on Xvfb.
#   scripts/windows.sh [build]   installs (with sudo when not root) the mingw-w64 cross compiler and GoogleTest's
#                                sources, and builds build-win/tesselune.exe and the Windows tests
#   scripts/windows.sh test      also installs Wine, Xvfb and PulseAudio and runs the Windows tests (unit
#                                tests and the show) in a Wine prefix in /tmp (TESSELUNE_WINE_DIR)
# TESSELUNE_WINDOWS_BUILD_DIR is the build folder (default build-win).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
win_build_dir=${TESSELUNE_WINDOWS_BUILD_DIR:-$repo/build-win}
mode=${1:-build}
case "$mode" in
    -h | --help) script_help && exit 0 ;;
    build | test) [ $# -le 1 ] || refuse_argument "$2" ;;
    *) refuse_argument "$mode" ;;
esac

install_packages --no-recommends "${windows_build_packages[@]}"
cmake -S "$repo" -B "$win_build_dir" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release
cmake --build "$win_build_dir" -j"$(nproc)"
[ "$mode" = test ] || exit 0

install_packages --no-recommends "${windows_test_packages[@]}"
source "$repo/tests/windows/wine_env.sh"
work=$(mktemp -d)
xvfb_pid="" pulse_pid=""
cleanup() {
    stop_wine  # before the X server goes away
    [ -n "$pulse_pid" ] && kill "$pulse_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
# The unit tests share one X server (the show's own tests start theirs) and one Wine prefix.
start_xvfb "$work" 1280x720x24
# and one sound server, so that the wave-out device is there for them.
start_null_sink "$work/pulse"
use_wine_prefix tests
# The first frame is compared with the Linux capture tool's still when the Linux build has one.
[ -x "$build_dir/tesselune-capture" ] && export TESSELUNE_CAPTURE_TOOL="$build_dir/tesselune-capture"
cd "$win_build_dir"
timeout -k 10 900 ctest --output-on-failure -j"$(nproc)"
