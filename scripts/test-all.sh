#!/usr/bin/env bash
# Builds everything and runs every test: natively under the sanitizers, under
# Wine, and a short fuzzing run. Prints each suite's ctest summary, the time
# of each phase and a total; exits non-zero when any build or test fails.
#   scripts/test-all.sh [BUILD_ROOT]   (default: build)
# The critical path is the Windows tree and its Wine suite, whose tests
# mostly wait for windows: what does not need Wine (booting the prefix, the
# native tree and its tests, the fuzzer) runs beside it, at a lower priority.
set -u
cd "$(dirname "$0")/.."
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
export QM_WINE_DIR=${QM_WINE_DIR:-$root/wine}
jobs=${QM_JOBS:-2}
fuzz_seconds=${QM_FUZZ_SECONDS:-20}
passed_total=0
failed_total=0
start_all=$(date +%s.%N)
# What the parts running beside each other report, a line each, in the
# order they finish: the phases' times, the suites' results, and a line in
# failed for each build or suite that failed.
rm -f "$root/phases.txt" "$root/summary.txt" "$root/failed.txt" "$root"/{host,fuzz,win32}.ctest.rc
touch "$root/phases.txt" "$root/summary.txt" "$root/failed.txt"

seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", b - a }'; }
phase_line() { printf '%-34s %4s s\n' "$1" "$2" >>"$root/phases.txt"; }
phase_done() { phase_line "$1" "$(seconds_since "$2")"; }
fail() { echo "$1" >>"$root/summary.txt"; echo "$1" >>"$root/failed.txt"; }

# build NAME DIR [CMAKE_ARGS...]: configures and builds one tree; fails
# (and says so in the summary) when either step does.
build() {
  local name=$1 dir=$2 t; shift 2
  echo "=== $name: configure and build ($dir)"
  t=$(date +%s.%N)
  if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"; echo "=== $name: configure FAILED"
    fail "$name: configure failed"; return 1
  fi
  phase_done "$name: configure" "$t"
  t=$(date +%s.%N)
  if ! cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1; then
    grep -E 'error|Error' "$dir.build.log" | head -n 40; echo "=== $name: build FAILED (see $dir.build.log)"
    fail "$name: build failed"; return 1
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
  if [ "$rc" -eq 0 ]; then echo "$name: ${line:-no ctest summary}" >>"$root/summary.txt"
  else fail "$name: ${line:-no ctest summary (exit $rc)}"; fi
}

# The virtual display and the prefix boot while the trees build (the
# Windows build runs its owner data tool under Wine and would wait for them).
t_boot=$(date +%s.%N)
export QM_WINE_PERSIST=1
(. scripts/wine-env.sh && qm_wine_setup && qm_restart_server && seconds_since "$t_boot" >"$root/wine-boot.seconds") >"$root/wine-boot.log" 2>&1 &
boot_pid=$!

win32_built=0
build win32 "$root/win32" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" && win32_built=1

if wait "$boot_pid"; then
  phase_line "Wine prefix and display (beside)" "$(cat "$root/wine-boot.seconds")"
else
  cat "$root/wine-boot.log"; echo "=== the Wine prefix or the virtual display did not start"
  fail "the Wine prefix or the virtual display did not start"
fi

# Beside the Wine suite, niced so that its waits for windows stay short: the
# portable logic, the build tools and the bench's report, natively, built
# once, with AddressSanitizer and UBSan; then the fuzzer, for a short run.
beside() {
  local t
  if build host "$root/host" -DQM_SANITIZE=ON; then
    t=$(date +%s.%N)
    run_tests "$root/host" "$jobs"
    phase_done "host: test (beside)" "$t"
  fi
  if [ -f tests/fuzz/CMakeLists.txt ] &&
    build fuzz "$root/fuzz" -DQM_FUZZ=ON -DQM_FUZZ_SECONDS="$fuzz_seconds" \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++; then
    t=$(date +%s.%N)
    run_tests "$root/fuzz" 1
    phase_done "fuzz: test, ${fuzz_seconds} s (beside)" "$t"
  fi
}
echo "=== host and fuzz: configure, build and test (beside the Wine suite; $root/beside.log)"
(renice -n 10 -p "$BASHPID" >/dev/null; beside) >"$root/beside.log" 2>&1 &
beside_pid=$!

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

wait "$beside_pid"
cat "$root/beside.log"
for tree in host fuzz; do
  if [ -f "$root/$tree.ctest.rc" ]; then
    echo "=== $tree: test"
    cat "$root/$tree.ctest.log"
    tally "$tree" "$root/$tree"
  fi
done

. scripts/wine-env.sh
qm_wine_stop

echo
echo "=== summary"
cat "$root/summary.txt"
echo "tests: $passed_total passed, $failed_total failed"
echo "time of each phase:"
sed 's/^/  /' "$root/phases.txt"
printf '  %-34s %4s s\n' "total" "$(seconds_since "$start_all")"
if [ -f "$root/win32.ctest.log" ]; then
  echo "slowest under Wine:"
  sed -nE 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: ([^ ]+) \.+ *(\*\*\*)?[A-Za-z ]+ +([0-9.]+) sec$/  \3 s \1/p' \
    "$root/win32.ctest.log" | sort -rn | head -n 5
fi
# Every test runs once: a failure is a failure.
echo "retried: none"
[ ! -s "$root/failed.txt" ]
