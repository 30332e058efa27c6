# Shared by the scripts: installing what is missing, building, and giving a
# command a display. Source it; it sets ROOT to the repository root.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(cmake g++ make freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0 libfreeimage-dev libboost-dev libx11-dev
    libgtest-dev clang-format xvfb xauth xdotool x11-utils imagemagick time)

# Installs the Debian packages that are missing (needs root; otherwise says
# which are missing and goes on).
install_packages() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages (install them as root): ${missing[*]}" >&2
        return 0
    fi
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# configure_and_build DIR BUILD_TYPE [extra cmake arguments...]
configure_and_build() {
    local dir="$1" type="$2"
    shift 2
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

# Runs a command with a display: the user's own, or a private Xvfb. The
# server must not reset when its last client leaves: a test starting at that
# moment cannot open the display (seen with ctest -j2).
with_display() {
    if [ -n "${DISPLAY:-}" ]; then
        "$@"
    else
        xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
    fi
}

# Makes the default raster when the program's input is missing.
ensure_default_raster() {
    local build_dir="$1"
    if [ ! -f "$ROOT/data/face_binary_edges.raw" ]; then
        mkdir -p "$ROOT/data"
        "$build_dir/voronoi_raster" --face "$ROOT/data/face_binary_edges.raw"
    fi
}
