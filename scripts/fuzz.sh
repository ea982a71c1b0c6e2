#!/usr/bin/env bash
# make fuzz: a long fuzzing run of the owner data store (make test runs a
# short one). Builds the fuzz tree if needed and runs the fuzzer for
# FUZZ_SECONDS (default 600) from the seeds and what earlier runs found.
#   scripts/fuzz.sh [BUILD_ROOT]   (default: build)
set -u
cd "$(dirname "$0")/.."
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
seconds=${FUZZ_SECONDS:-600}
cmake -S . -B "$root/fuzz" -DCMAKE_BUILD_TYPE=Debug -DQM_FUZZ=ON -DQM_FUZZ_SECONDS="$seconds" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >"$root/fuzz.configure.log" 2>&1 ||
  { cat "$root/fuzz.configure.log"; exit 1; }
cmake --build "$root/fuzz" -j "${QM_JOBS:-2}" || exit 1
cd "$root/fuzz" && ctest --output-on-failure
