#!/usr/bin/env bash
# make bench: whole installations of the demo medium under Wine, SETUP.EXE
# side by side with the platform's floor (LZ32 alone, and with the
# installer's per-file look-ups), SETUP.EXE unattended (/S), NSIS peers
# (showing its window; silent with zlib and with solid LZMA) and Wine's start-up, in one hyperfine run,
# after one checked and counted installation of each kind (the wineserver
# requests each program makes, from the server's own trace). Writes
# bench/results.md and the README's Benchmark section.
#   scripts/bench.sh [BUILD_ROOT]   (default: build; the bench uses BUILD_ROOT/bench)
#   QM_BENCH_ROUNDS=N               measured rounds, at least 5 (default 10)
#   QM_BENCH_OUT=DIR                where bench/results.md and README.md are written (default: this
#                                   repository); its folders are made before anything runs
# Internal: scripts/bench.sh --prepare   hyperfine's preparation of every run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)

# Before every run, timed or not: no target trees, no earlier installation
# in WIN.INI (the installer would prefill from it), so each run is a first one.
prepare() {
  local targets=${QM_BENCH_TARGETS:?the bench sets it}
  rm -rf "${targets:?}"/*
  local ini=$WINEPREFIX/drive_c/windows/win.ini
  [ -f "$ini" ] && sed -i '/^\[Quillmark\]/,/^\[/{/^\[Quillmark\]/d;/^\[/!d}' "$ini"
  return 0
}
if [ "${1:-}" = --prepare ]; then
  prepare
  exit 0
fi

root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
bench=$root/bench
build=$bench/win32
rounds=${QM_BENCH_ROUNDS:-10}
out=${QM_BENCH_OUT:-$repo}
jobs=${QM_JOBS:-2}
[ "$rounds" -ge 5 ] || { echo "bench: QM_BENCH_ROUNDS must be at least 5" >&2; exit 2; }
mkdir -p "$bench"
# Where the report goes must take it, before anything runs.
mkdir -p "$out/bench" && [ -w "$out/bench" ] && { [ ! -e "$out/README.md" ] || [ -w "$out/README.md" ]; } ||
  { echo "bench: cannot write the report into $out/bench and $out/README.md" >&2; exit 2; }

# What is measured: the commit, and whether the program's sources differ from it.
built_from="commit $(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)"
changed=$(git -C "$repo" status --porcelain -- copy install shell product resources release ownerdata 2>/dev/null | wc -l)
[ "$changed" -eq 0 ] || built_from="$built_from with $changed uncommitted changes to the program's files"
# Its own optimised build and medium, apart from the tests' debug build.
echo "bench: building SETUP.EXE, the medium, the floor, the runner and the NSIS peers in $build"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
  -DQM_MEDIUM_DIR="$bench/medium" -DQM_MEDIA_DIR="$bench/media" >"$bench/configure.log" 2>&1 ||
  { tail -n 30 "$bench/configure.log"; exit 1; }
cmake --build "$build" -j "$jobs" --target bench_programs >"$bench/build.log" 2>&1 ||
  { grep -E 'error|Error' "$bench/build.log" | head -n 30; echo "bench: build failed (see $bench/build.log)"; exit 1; }

export QM_WINE_DIR=$bench/wine
. "$here/wine-env.sh"
qm_wine_setup
finish() {
  wineserver -k 2>/dev/null || true
  qm_wine_stop
}
trap finish EXIT
# The checked installations run under a server that traces every request;
# the timed rounds under an ordinary one. Each is one server for its whole
# pass, as on a desktop where Wine is already up. The display has a window
# manager (wine-env.sh), as a desktop has.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
trace=$bench/server-trace.log
wineserver -f -d1 -p 2>"$trace" &

win() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); printf 'Z:%s' "${p//\//\\}"; }
b=$build/bench
runner=$(win "$b/bench_runner.exe")
expected=$(win "$b/expected.txt")
medium=$(win "$bench/medium")
log=$bench/runs.log
export QM_BENCH_TARGETS=$WINEPREFIX/drive_c/BENCH
mkdir -p "$QM_BENCH_TARGETS"

# label, target (C:\BENCH\...), and what to run: the runner's mode and arguments.
# The order of report.py's rows: each compared pair one after the other.
labels=(setup floor-length floor setup-silent start-up nsis-zlib nsis-lzma nsis-window wine)
declare -A target=([setup]=SETUP [floor]=FLOOR [floor-length]=FLOORLEN [nsis-window]=NSISWIN [nsis-zlib]=NSISZLIB
  [setup-silent]=SETUPS [nsis-lzma]=NSISLZMA)
command_for() {  # label round -> the command line, Windows paths in single quotes
  local label=$1 round=$2 t=
  [ -n "${target[$label]:-}" ] && t="C:\\BENCH\\${target[$label]}"
  local run="wine '$runner' '$(win "$3")' $label:$round"
  case $label in
    setup) echo "$run setup '$t' '$expected'" ;;
    floor) echo "$run run '$t' '$expected' '$(win "$b/bench_floor.exe")' '$medium' '$t'" ;;
    floor-length) echo "$run run '$t' '$expected' '$(win "$b/bench_floor.exe")' '$medium' '$t' length" ;;
    nsis-window) echo "$run run '$t' '$expected' '$(win "$b/peer-window.exe")' '/D=$t'" ;;
    nsis-zlib) echo "$run run '$t' '$expected' '$(win "$b/peer-zlib.exe")' /S '/D=$t'" ;;
    # The answers the interactive run types, as switches.
    setup-silent) echo "$run run '$t' '$expected' '$medium\SETUP.EXE' /S '/NAME=Bench Runner' /DEPT=Speed" \
      "'/ORG=Quillmark Bench' '/DIR=$t' /SAMPLES=1" ;;
    nsis-lzma) echo "$run run '$t' '$expected' '$(win "$b/peer-lzma.exe")' /S '/D=$t'" ;;
    start-up) echo "$run run - - '$(win "$b/bench_bare.exe")'" ;;
    wine) echo "wine '$(win "$b/bench_bare.exe")' $label:$round" ;;
  esac
}

# Once per command, untimed: the tree it leaves is byte for byte the payload,
# and the part of the server's trace from its start to the next command's
# holds the requests of the program it ran.
echo "bench: one checked and counted installation of each kind"
payload=(python3 "$repo/bench/payload.py" --release "$repo/release" --product "$build/product-files")
rm -f "$bench/check.log"
# The server's own start (services, the desktop) before anything is counted.
eval "set -- $(command_for start-up 0 "$bench/check.log")"
"$@" || { echo "bench: Wine does not start:"; tail -n 1 "$bench/check.log"; exit 1; }
declare -A trace_from
for label in "${labels[@]}"; do
  prepare
  trace_from[$label]=$(stat -c %s "$trace")
  eval "set -- $(command_for "$label" 0 "$bench/check.log")"
  "$@" || { echo "bench: $label failed:"; tail -n 1 "$bench/check.log"; exit 1; }
  [ -n "${target[$label]:-}" ] || continue
  extra=()
  case $label in setup | setup-silent) extra=(--owner-data-written) ;; esac
  "${payload[@]}" verify "$QM_BENCH_TARGETS/${target[$label]}" "${extra[@]}" ||
    { echo "bench: the tree of $label differs from the payload"; exit 1; }
  echo "bench: $label: tree identical to the payload"
done
wineserver -k
wineserver -w
trace_end=$(stat -c %s "$trace")
rm -f "$bench/requests.tsv"
for i in "${!labels[@]}"; do
  label=${labels[$i]}
  next=${labels[$((i + 1))]:-}
  to=$trace_end
  [ -n "$next" ] && to=${trace_from[$next]}
  python3 "$repo/bench/requests.py" "$trace" --from "${trace_from[$label]}" --to "$to" --top 60 \
    >"$bench/requests-$label.txt"
  # One line per program; the label's count is that of all its programs.
  awk -F'\t' -v label="$label" '$1 != "" { n += $2; seen = 1 } END { if (seen) print label "\t" n }' \
    "$bench/requests-$label.txt" >>"$bench/requests.tsv"
done
rm -f "$trace"
files=$(grep -c . "$b/expected.txt")
echo "bench: wineserver requests per command (of $files files):"
cat "$bench/requests.tsv"
wineserver -p

echo "bench: $rounds rounds of ${#labels[@]} commands, each after a warm-up run of it"
commands=()
for label in "${labels[@]}"; do commands+=("$(command_for "$label" '{round}' "$log")"); done
rm -f "$log"
hyperfine -N --warmup 1 --runs 1 -L round "$(seq -s, 1 "$rounds")" \
  --prepare "bash $here/bench.sh --prepare" --style basic \
  --export-json "$bench/hyperfine.json" "${commands[@]}" >"$bench/hyperfine.log" 2>&1 ||
  { tail -n 20 "$bench/hyperfine.log"; tail -n 3 "$log"; echo "bench: hyperfine failed"; exit 1; }

machine="$(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1), $(wine --version), hyperfine $(hyperfine --version | cut -d' ' -f2)"
python3 "$repo/bench/report.py" --hyperfine "$bench/hyperfine.json" --runs "$log" --machine "$machine" --source "$built_from" \
  --requests "$bench/requests.tsv" --files "$files" --results "$out/bench/results.md" --readme "$out/README.md"
