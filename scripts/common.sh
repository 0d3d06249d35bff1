# Shared by the README's commands: the Debian packages the project needs, and its build.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${TESSELUNE_BUILD_DIR:-$repo/build}
source "$repo/scripts/servers.sh"

build_packages=(cmake g++ make pkg-config libsdl2-dev libsndfile1-dev libmpg123-dev libopenmpt-dev libmp3lame-dev libpng-dev
                libegl-dev libgl-dev libopengl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0 libgtest-dev
                libbenchmark-dev libx11-dev libxdamage-dev libstb-dev nlohmann-json3-dev)
test_packages=(xvfb xdotool imagemagick ffmpeg pulseaudio pulseaudio-utils glslang-tools)
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

# Configures and builds everything in $build_dir with the given build type.
build_all() {
    cmake -S "$repo" -B "$build_dir" -DCMAKE_BUILD_TYPE="$1"
    cmake --build "$build_dir" -j"$(nproc)"
}

# The scenes' class names, one a line, in the order of the scene list (the rows of shaders/scene_list.h).
scene_names() {
    sed -n 's/^ *X(\([A-Za-z0-9_]*\),.*/\1/p' "$repo/shaders/scene_list.h"
}
