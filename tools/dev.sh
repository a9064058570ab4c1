#!/usr/bin/env bash
# The two ways into the project on a fresh Debian 12 machine:
#   tools/dev.sh run    install what is missing, build, and run the viewer (a window when there
#                       is a display; otherwise a headless flight that writes screenshots)
#   tools/dev.sh test   install what is missing, build, and run every test (formatting, the
#                       Release suite, and the unit tests again under ASan and UBSan)
#   tools/dev.sh package  build the Debian package build/meridia_<version>_<arch>.deb
# (tools/dev.sh fuzz-deps installs what tools/fuzz.sh needs besides: clang and libFuzzer.)
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  cmake ninja-build g++ pkg-config git
  libsdl2-dev libsdl2-image-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0
  libfreetype-dev libfontconfig-dev fonts-liberation
  libjpeg-dev libpng-dev zlib1g-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-format
  dpkg-dev desktop-file-utils
)
# Only tools/fuzz.sh needs these: clang and its libFuzzer.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

install_missing() {
  local missing=()
  for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if ((${#missing[@]} > 0)); then
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
      "${missing[@]}"
  fi
}

build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}

check_format() {
  local report
  report=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror 2>&1) || true
  if [ -n "$report" ]; then
    echo "$report"
    echo "clang-format: the files above need formatting (clang-format -i FILE)"
    return 1
  fi
  echo "clang-format: clean"
}

case "${1:-}" in
run)
  install_missing
  build build -DCMAKE_BUILD_TYPE=Release
  cd build/run
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec ./meridia
  fi
  echo "No display: flying headless instead."
  SDL_VIDEODRIVER=offscreen ./meridia-flight --frames 120 --shot 1 --shot 120 --stats flight.csv
  echo "Screenshots: $(pwd)/screens/frame_00001.tga, frame_00120.tga; statistics: $(pwd)/flight.csv"
  ;;
test)
  install_missing
  check_format
  build build -DCMAKE_BUILD_TYPE=Release
  ctest --test-dir build --output-on-failure -j 2
  # The sanitizer build runs the unit tests; the OpenGL driver is not built for it.
  build build-asan -DCMAKE_BUILD_TYPE=Debug -DMERIDIA_SANITIZE=ON -DMERIDIA_BUILD_BENCH=OFF
  ctest --test-dir build-asan --output-on-failure -j 2 -L unit
  ;;
package)
  install_missing
  build build -DCMAKE_BUILD_TYPE=Release
  # dpkg-shlibdeps reads the libraries the programs link and names their Debian packages.
  (cd build && cpack -G DEB)
  ls build/meridia_*.deb
  ;;
fuzz-deps)
  PACKAGES+=("${FUZZ_PACKAGES[@]}")
  install_missing
  ;;
*)
  echo "usage: tools/dev.sh run|test|package|fuzz-deps" >&2
  exit 2
  ;;
esac
