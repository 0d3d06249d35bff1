# Shared by the README's commands: the Debian packages the project needs, its build, and the scripts' command
# lines.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${TESSELUNE_BUILD_DIR:-$repo/build}
source "$repo/scripts/servers.sh"

# The show, its track and its tools (scripts/run); the tests and benchmarks need the rest.
show_packages=(cmake g++ make pkg-config libsdl2-dev libsndfile1-dev libmpg123-dev libopenmpt-dev libmp3lame-dev
               libpng-dev libegl-dev libgl-dev libopengl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0 libstb-dev)
build_packages=("${show_packages[@]}" libgtest-dev libbenchmark-dev libx11-dev libxdamage-dev nlohmann-json3-dev)
test_packages=(xvfb xdotool imagemagick ffmpeg pulseaudio pulseaudio-utils glslang-tools openbox x11-utils)
# The browser's show (scripts/web): Debian's emscripten, and chromium for its tests and benchmarks.
web_packages=(emscripten)
web_test_packages=(chromium nodejs)
# The Windows program (scripts/windows.sh): the mingw-w64 cross compiler with POSIX threads, GoogleTest's
# sources, stb's easy font for the studio's overlay, and Wine with what its OpenGL, Media Foundation
# (GStreamer) and PulseAudio parts load.
windows_build_packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64 mingw-w64-x86-64-dev googletest libstb-dev)
windows_test_packages=(wine wine64 libwine fonts-wine libgl1 libgl1-mesa-dri libglx-mesa0 libxcomposite1
                       libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1
                       gstreamer1.0-plugins-base gstreamer1.0-plugins-good pulseaudio xvfb
                       xdotool imagemagick gcc libx11-dev libgnutls30 libdbus-1-3)

# Installs whichever of the given packages are missing, with what they recommend unless the first argument
# is --no-recommends.
install_packages() {
    local recommends=()
    [ "${1:-}" = --no-recommends ] && recommends=(--no-install-recommends) && shift
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${recommends[@]}" "${missing[@]}"
}

# Configures $build_dir and builds the given targets, or everything. The folder has one build type
# (RelWithDebInfo) whichever script builds in it, so that no script recompiles what another built.
build_targets() {
    cmake -S "$repo" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build_dir" -j"$(nproc)" ${1:+--target "$@"}
}

# The calling script's help: its opening comment, without the '#'.
script_help() {
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
}
# Refuses an argument the calling script does not take: one line, exit code 2.
refuse_argument() {
    echo "scripts/$(basename "$0"): unknown argument '$1' (scripts/$(basename "$0") --help says what it takes)" >&2
    exit 2
}
# For a script that takes no arguments: -h or --help prints its help and ends it; anything else is refused.
no_arguments() {
    [ $# -eq 0 ] && return 0
    case "$1" in
        -h | --help) script_help && exit 0 ;;
        *) refuse_argument "$1" ;;
    esac
}

# The scenes' class names, one a line, in the order of the scene list (the rows of shaders/scene_list.h).
scene_names() {
    sed -n 's/^ *X(\([A-Za-z0-9_]*\),.*/\1/p' "$repo/shaders/scene_list.h"
}
