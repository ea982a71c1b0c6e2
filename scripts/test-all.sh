#!/usr/bin/env bash
# Builds everything and runs every test: natively under the sanitizers, under
# Wine, and a short fuzzing run. Prints each suite's ctest summary, the time
# of each phase and a total; exits non-zero when any build or test fails.
#   scripts/test-all.sh [BUILD_ROOT]   (default: build)
# The critical path is the Windows tree and its Wine suite; what does not
# need the two cores (booting the Wine prefix, the fuzzer) runs beside it.
set -u
cd "$(dirname "$0")/.."
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
export QM_WINE_DIR=${QM_WINE_DIR:-$root/wine}
jobs=${QM_JOBS:-2}
fuzz_seconds=${QM_FUZZ_SECONDS:-20}
failed=0
passed_total=0
failed_total=0
summary=()
phases=()
start_all=$(date +%s.%N)

seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }'; }
phase_done() { phases+=("$(printf '%-34s %4s s' "$1" "$(seconds_since "$2")")"); }

# build NAME DIR [CMAKE_ARGS...]: configures and builds one tree; fails
# (and says so in the summary) when either step does.
build() {
  local name=$1 dir=$2 t; shift 2
  echo "=== $name: configure and build ($dir)"
  t=$(date +%s.%N)
  if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "=== $name: configure FAILED"
    failed=1; summary+=("$name: configure failed"); return 1
  fi
  phase_done "$name: configure" "$t"
  t=$(date +%s.%N)
  if ! cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1; then
    grep -E 'error|Error' "$dir.build.log" | head -n 40; echo "=== $name: build FAILED (see $dir.build.log)"
    failed=1; summary+=("$name: build failed"); return 1
  fi
  phase_done "$name: build" "$t"
}

# run_tests DIR JOBS: ctest of one tree into DIR.ctest.log, exit code in DIR.ctest.rc.
run_tests() {
  local dir=$1 j=$2
  (cd "$dir" && ctest --output-on-failure -j "$j" ${QM_CTEST_ARGS:-}) >"$dir.ctest.log" 2>&1
  echo $? >"$dir.ctest.rc"
}

# tally NAME DIR: adds a finished ctest run to the totals and the summary.
tally() {
  local name=$1 dir=$2 rc line total fails
  rc=$(cat "$dir.ctest.rc" 2>/dev/null || echo 1)
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$dir.ctest.log" | tail -n 1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed_total=$((passed_total + total - fails))
    failed_total=$((failed_total + fails))
  fi
  [ "$rc" -eq 0 ] || failed=1
  summary+=("$name: ${line:-no ctest summary (exit $rc)}")
}

# The virtual display and the prefix boot while the trees build (the
# Windows build runs its owner data tool under Wine and would wait for them).
t_boot=$(date +%s.%N)
(. scripts/wine-env.sh && qm_wine_setup && seconds_since "$t_boot" >"$root/wine-boot.seconds") >"$root/wine-boot.log" 2>&1 &
boot_pid=$!

# The portable logic, the build tools and the bench's report, natively, built
# once, with AddressSanitizer and UBSan.
if build host "$root/host" -DQM_SANITIZE=ON; then
  echo "=== host: test"
  t=$(date +%s.%N)
  run_tests "$root/host" "$jobs"
  cat "$root/host.ctest.log"
  tally host "$root/host"
  phase_done "host: test" "$t"
fi

fuzz_built=0
if [ -f tests/fuzz/CMakeLists.txt ] &&
   build fuzz "$root/fuzz" -DQM_FUZZ=ON -DQM_FUZZ_SECONDS="$fuzz_seconds" \
     -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++; then
  fuzz_built=1
fi

win32_built=0
build win32 "$root/win32" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" && win32_built=1

if wait "$boot_pid"; then
  phases+=("$(printf '%-34s %4s s' "Wine prefix and display (beside)" "$(cat "$root/wine-boot.seconds")")")
else
  cat "$root/wine-boot.log"; echo "=== the Wine prefix or the virtual display did not start"
  failed=1
fi

# The fuzzer runs on one core beside the Wine suite, which runs its tests
# one at a time.
if [ "$fuzz_built" = 1 ]; then
  echo "=== fuzz: test (${fuzz_seconds} s, beside the Wine suite)"
  t_fuzz=$(date +%s.%N)
  (run_tests "$root/fuzz" 1; seconds_since "$t_fuzz" >"$root/fuzz.ctest.seconds") &
  fuzz_pid=$!
fi
if [ "$win32_built" = 1 ]; then
  echo "=== win32: test"
  t=$(date +%s.%N)
  : >"$root/win32.ctest.log"
  run_tests "$root/win32" "$jobs" &
  wine_pid=$!
  tail --pid="$wine_pid" -n +1 -f "$root/win32.ctest.log"
  wait "$wine_pid"
  tally win32 "$root/win32"
  phase_done "win32: test (Wine)" "$t"
fi
if [ "$fuzz_built" = 1 ]; then
  wait "$fuzz_pid"
  echo "=== fuzz: test"
  cat "$root/fuzz.ctest.log"
  tally fuzz "$root/fuzz"
  phases+=("$(printf '%-34s %4s s' "fuzz: test (beside)" "$(cat "$root/fuzz.ctest.seconds")")")
fi

. scripts/wine-env.sh
qm_wine_stop

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "tests: $passed_total passed, $failed_total failed"
echo "time of each phase:"
printf '  %s\n' "${phases[@]}"
printf '  %-34s %4s s\n' "total" "$(seconds_since "$start_all")"
if [ -f "$root/win32.ctest.log" ]; then
  echo "slowest under Wine:"
  sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?[A-Za-z ]+ +([0-9.]+) sec$/  \3 s \1/p' \
    "$root/win32.ctest.log" | sort -rn | head -n 5
fi
# Every test runs once: a failure is a failure.
echo "retried: none"
exit $failed
