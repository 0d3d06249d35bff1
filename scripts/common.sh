# Shared by the README's commands: the Debian packages the project needs, and its build.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${TESSELUNE_BUILD_DIR:-$repo/build}

build_packages=(cmake g++ make pkg-config libsdl2-dev libsndfile1-dev libopenmpt-dev libegl-dev libgl-dev
                libgl1-mesa-dri libegl-mesa0 libglx-mesa0 libgtest-dev libbenchmark-dev libx11-dev
                libxdamage-dev)
test_packages=(xvfb xdotool imagemagick ffmpeg)

# Installs whichever of the given packages are missing.
install_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# Configures and builds everything in $build_dir with the given build type.
build_all() {
    cmake -S "$repo" -B "$build_dir" -DCMAKE_BUILD_TYPE="$1"
    cmake --build "$build_dir" -j"$(nproc)"
}
