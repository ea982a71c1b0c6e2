#!/usr/bin/env bash
# Builds everything and runs every test: native, sanitized, under Wine, and
# the fuzzer. Prints each suite's ctest summary and a total; exits non-zero
# when any build or test fails.
#   scripts/test-all.sh [BUILD_ROOT]   (default: build)
set -u
cd "$(dirname "$0")/.."
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
export QM_WINE_DIR=${QM_WINE_DIR:-$root/wine}
jobs=${QM_JOBS:-2}
failed=0
passed_total=0
failed_total=0
summary=()

suite() {
  local name=$1 dir=$2; shift 2
  echo "=== $name: configure and build ($dir)"
  if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "=== $name: configure FAILED"
    failed=1; summary+=("$name: configure failed"); return
  fi
  if ! cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1; then
    grep -E 'error|Error' "$dir.build.log" | head -n 40; echo "=== $name: build FAILED (see $dir.build.log)"
    failed=1; summary+=("$name: build failed"); return
  fi
  echo "=== $name: test"
  local log=$dir.ctest.log
  (cd "$dir" && ctest --output-on-failure -j "$jobs" ${QM_CTEST_ARGS:-}) 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local total fails
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed_total=$((passed_total + total - fails))
    failed_total=$((failed_total + fails))
  fi
  [ "$rc" -eq 0 ] || failed=1
  summary+=("$name: ${line:-no ctest summary (exit $rc)}")
}

suite host "$root/host"
suite sanitized "$root/host-asan" -DQM_SANITIZE=ON
suite win32 "$root/win32" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake"
if [ -f tests/fuzz/CMakeLists.txt ]; then
  suite fuzz "$root/fuzz" -DQM_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
fi

. scripts/wine-env.sh
qm_wine_stop

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "tests: $passed_total passed, $failed_total failed"
if [ -f "$root/win32.ctest.log" ]; then
  echo "slowest under Wine:"
  sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?[A-Za-z ]+ +([0-9.]+) sec$/  \3 s \1/p' \
    "$root/win32.ctest.log" | sort -rn | head -n 5
fi
# Every test runs once: a failure is a failure.
echo "retried: none"
exit $failed
