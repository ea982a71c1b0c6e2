#!/usr/bin/env bash
# Runs an installation scenario with Wine's heap checking (warn+heap) and
# fails on any heap fault Wine reports, from the driver or from SETUP.EXE,
# which inherits the setting. A canary that frees a block twice must be
# reported first, and the log must show SETUP.EXE loading its imaging
# library, so that a silent log means a clean heap.
#   heap_check.sh LOG_DIR CANARY.EXE SCENARIO.EXE GTEST_FILTER
set -u
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../../scripts/wine-run.sh
logs=${1:?log folder}
canary=${2:?canary program}
scenario=${3:?scenario program}
filter=${4:?gtest filter}
mkdir -p "$logs"

WINEDEBUG=warn+heap "$run" "$canary" >/dev/null 2>"$logs/canary.log"
if ! grep -q ':heap:' "$logs/canary.log"; then
  echo "heap_check: Wine reported nothing for a block freed twice; the check cannot see heap faults" >&2
  exit 1
fi

WINEDEBUG=warn+heap,trace+loaddll "$run" "$scenario" --gtest_filter="$filter" 2>"$logs/scenario.log"
status=$?
[ "$status" -eq 0 ] || { echo "heap_check: the scenario failed (exit $status)" >&2; exit 1; }
if ! grep -qi 'Loaded .*SNBD7W95.DLL' "$logs/scenario.log"; then
  echo "heap_check: no sign of SETUP.EXE in the log; the setting did not reach it" >&2
  exit 1
fi
if grep ':heap:' "$logs/scenario.log" >&2; then
  echo "heap_check: Wine reported the heap faults above (log: $logs/scenario.log)" >&2
  exit 1
fi
echo "heap_check: no heap fault in $(grep -c 'Loaded .*SNBD7W95.DLL' "$logs/scenario.log") runs of SETUP.EXE"
