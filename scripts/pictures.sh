#!/usr/bin/env bash
# Takes the README's pictures of the real SETUP.EXE under Xvfb and writes
# them to docs/pictures/*.png: the program runs in a Wine virtual desktop
# (which draws the window captions) in a prefix of its own, driven by
# tests/robustness/pictures.cpp. The pictures are made here, never by hand.
#   scripts/pictures.sh [BUILD_ROOT]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
names=(dialog-prefilled copy-middle copy-later-theme completion)

bash scripts/install-deps.sh
echo "pictures: building SETUP.EXE, the demo medium and the picture driver in $root/win32"
cmake -S . -B "$root/win32" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
  >"$root/pictures.configure.log" 2>&1 || { cat "$root/pictures.configure.log"; exit 1; }
cmake --build "$root/win32" -j "${QM_JOBS:-2}" --target qm_pictures >"$root/pictures.build.log" 2>&1 ||
  { tail -n 40 "$root/pictures.build.log"; exit 1; }

export QM_WINE_DIR=$root/pictures-wine
. scripts/wine-env.sh
qm_wine_setup
trap qm_wine_stop EXIT
work=$root/pictures
rm -rf "$work"
mkdir -p "$work"
(cd "$work" && wine explorer /desktop=Quillmark,800x600 "$root/win32/tests/robustness/qm_pictures.exe")

mkdir -p docs/pictures
for name in "${names[@]}"; do
  shot=$work/screenshots/$name.bmp
  [ -f "$shot" ] || { echo "pictures: $name was not taken" >&2; exit 1; }
  convert "$shot" -strip "docs/pictures/$name.png"
done
echo "pictures: ${names[*]} in docs/pictures"
