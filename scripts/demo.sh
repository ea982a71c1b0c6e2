#!/usr/bin/env bash
# The demo: builds SETUP.EXE and the demo installation medium, then runs the
# installer on it.
#   scripts/demo.sh [BUILD_ROOT]   (default: build)
# With a reachable display ($DISPLAY) the installer shows there and the user
# answers it. Without one it runs on a virtual display, is answered with
# sample values by the end-to-end driver, and the screenshots of each step
# land in BUILD_ROOT/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
build=$root/win32

# The build's tools and the installer without a display run Wine on the
# virtual display of $root/wine. What the demo starts there it stops when it
# ends: the display (with the prefix's server and the window manager), or
# the window manager alone. A display that was already up, as a test run's,
# stays.
export QM_WINE_DIR=$root/wine
. scripts/wine-env.sh
wine_root=$(qm_wine_root)
if [ -f "$wine_root/display" ] && qm_display_alive "$(cat "$wine_root/display")"; then
  if ! { [ -f "$wine_root/wm.pid" ] && kill -0 "$(cat "$wine_root/wm.pid")" 2>/dev/null; }; then
    trap 'kill "$(cat "$wine_root/wm.pid")" 2>/dev/null || true; rm -f "$wine_root/wm.pid"' EXIT
  fi
else
  trap 'QM_WINE_DIR=$wine_root qm_wine_stop' EXIT
fi

echo "demo: building SETUP.EXE and the demo medium in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
  >"$root/demo-configure.log" 2>&1 || { cat "$root/demo-configure.log"; exit 1; }
cmake --build "$build" -j "${QM_JOBS:-2}" --target demo_medium e2e_demo >"$root/demo-build.log" 2>&1 ||
  { tail -n 40 "$root/demo-build.log"; exit 1; }
medium=$(sed -n 's/^QM_MEDIUM_DIR:PATH=//p' "$build/CMakeCache.txt")
echo "demo: medium in $medium"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  # A prefix of its own: the tests' prefix is tied to their virtual display.
  export QM_WINE_DIR=$root/wine-demo QM_USE_DISPLAY=1
  . scripts/wine-env.sh
  qm_wine_setup
  echo "demo: starting SETUP.EXE on $DISPLAY"
  cd "$medium"
  wine SETUP.EXE
  exit 0
fi

unset QM_USE_DISPLAY
qm_wine_setup
echo "demo: no display: installing with sample answers on the virtual display $DISPLAY"
out=$root/demo
rm -rf "$out"
mkdir -p "$out"
status=0
(cd "$out" && wine "$build/tests/e2e/e2e_demo.exe") || status=$?
for shot in "$out"/screenshots/*.bmp; do
  [ -e "$shot" ] || continue
  convert "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
ls "$out"/screenshots 2>/dev/null | sed 's/^/demo: saved /'
echo "demo: screenshots in $out/screenshots"
exit $status
