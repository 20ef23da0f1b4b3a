# Sourced by the picture scripts of this folder; they then run from the project's root.
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

# shots_program TARGET OUT: builds TARGET and runs it under a virtual display, its pictures
# going into the folder OUT.
shots_program() {
  mkdir -p "$2"
  cmake -S . -B build >/dev/null
  cmake --build build -j4 --target "$1" >/dev/null
  LC_ALL=C.UTF-8 TZ=Europe/Paris xvfb-run -a -s "-screen 0 1280x1024x24" \
    "build/bin/$1" "$2" -platform xcb
}

# need_tools PACKAGES TOOL...: stops, naming the packages to install, when a tool is missing.
need_tools() {
  local packages="$1" tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool missing: apt-get install $packages" >&2; exit 1; }
  done
}

# program_copy: the program and its libraries in a fresh folder (printed), built first if need be.
program_copy() {
  [ -x build/bin/zelm ] || scripts/build.sh >&2
  local app
  app="$(mktemp -d)"
  cp build/bin/zelm build/bin/lib*.so "$app/" 2>/dev/null || cp build/bin/zelm "$app/"
  echo "$app"
}
