#!/usr/bin/env bash
# make fleet: a real deployment engine installs Quillmark on eight "PCs".
# Ansible (fleet/site.yml) runs against eight Wine prefixes of this machine
# (connection local, all eight at once as the engine's forks), each reaching
# the demo medium as the share \\fileserver\quillmark and the recorded answers
# (fleet/answers.ini) on \\fileserver\deploy. The play installs with
# SETUP.EXE /S where the product is missing and reads the exit codes; each
# PC's tree is checked against the payload; the play is run a second time
# and must change nothing; every PC's log is collected. A third play
# (fleet/remove.yml) removes the product with its QuietUninstallString, and
# once each PC has restarted nothing of it may be left.
#   scripts/fleet.sh [BUILD_ROOT]   (default: build; everything under BUILD_ROOT/fleet)
# Exits non-zero when Ansible cannot be had, a PC's installation exits with
# anything but 0 or differs from the payload, the second run changes
# anything, or a removal fails or leaves something behind.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
fleet=$root/fleet
build=$root/win32
pcs=(pc01 pc02 pc03 pc04 pc05 pc06 pc07 pc08)
mkdir -p "$fleet"

echo "fleet: building SETUP.EXE and the demo medium in $build"
# The build runs its Windows tools under Wine on a virtual display of its own
# (scripts/wine-run.sh); one it started is stopped once it is done.
. "$here/wine-env.sh"
wine_root=$(qm_wine_root)
had_display=0
if [ -f "$wine_root/display" ] && qm_display_alive "$(cat "$wine_root/display")"; then had_display=1; fi
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
  >"$fleet/configure.log" 2>&1 || { tail -n 30 "$fleet/configure.log"; exit 1; }
cmake --build "$build" -j "${QM_JOBS:-2}" --target demo_medium >"$fleet/build.log" 2>&1 ||
  { grep -E 'error|Error' "$fleet/build.log" | head -n 30; echo "fleet: build failed (see $fleet/build.log)"
    [ "$had_display" = 1 ] || qm_wine_stop; exit 1; }
[ "$had_display" = 1 ] || qm_wine_stop
medium=$(sed -n 's/^QM_MEDIUM_DIR:PATH=//p' "$build/CMakeCache.txt")
product=$(sed -n 's/^QM_PRODUCT_DIR:INTERNAL=//p' "$build/CMakeCache.txt")
[ -f "$medium/SETUP.EXE" ] || { echo "fleet: no SETUP.EXE in the medium $medium"; exit 1; }

# Ansible: Debian's ansible-core package (this machine reaches no Python
# package index, so pip is not tried).
if ! command -v ansible-playbook >/dev/null 2>&1; then
  echo "fleet: installing Debian's ansible-core"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ansible-core >"$fleet/apt.log" 2>&1 ||
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ansible-core \
      >"$fleet/apt.log" 2>&1; } || { tail -n 5 "$fleet/apt.log"; echo "fleet: no Ansible to be had"; exit 1; }
fi
playbook=$(command -v ansible-playbook)
echo "fleet: $("$playbook" --version | sed -n 1p) ($playbook)"

# The PCs: one prefix booted without a display, then copied eight times, as
# PCs imaged from one master; each reaches the two shares.
QM_WINE_DIR=$fleet/master qm_wine_setup_headless
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
master=$WINEPREFIX
stop_pcs() {
  local pc
  for pc in "${pcs[@]}"; do
    [ -d "$fleet/pcs/$pc/prefix" ] && WINEPREFIX=$fleet/pcs/$pc/prefix wineserver -k 2>/dev/null || true
  done
}
trap stop_pcs EXIT
stop_pcs
rm -rf "$fleet/pcs" "$fleet/logs" "$fleet/deploy"
mkdir -p "$fleet/deploy"
cp "$repo/fleet/answers.ini" "$fleet/deploy/quillmark.ini"
for pc in "${pcs[@]}"; do
  mkdir -p "$fleet/pcs/$pc"
  cp -a "$master" "$fleet/pcs/$pc/prefix"
  mkdir -p "$fleet/pcs/$pc/prefix/dosdevices/unc/fileserver"
  ln -s "$medium" "$fleet/pcs/$pc/prefix/dosdevices/unc/fileserver/quillmark"
  ln -s "$fleet/deploy" "$fleet/pcs/$pc/prefix/dosdevices/unc/fileserver/deploy"
done
echo "fleet: ${#pcs[@]} PCs in $fleet/pcs; shares \\\\fileserver\\quillmark (the medium $medium)" \
  "and \\\\fileserver\\deploy (the answers)"

export ANSIBLE_CONFIG=$repo/fleet/ansible.cfg
export ANSIBLE_LOCAL_TEMP=$fleet/ansible-tmp ANSIBLE_REMOTE_TEMP=$fleet/ansible-tmp
export ANSIBLE_FORCE_COLOR=0 ANSIBLE_NOCOLOR=1
play() {  # run number [play file] -> the play's output in run-N.log; its status
  local n=$1 file=${2:-site.yml} start status=0
  start=$(date +%s)
  "$playbook" "$repo/fleet/$file" -e "fleet_root=$fleet" >"$fleet/run-$n.log" 2>&1 || status=$?
  echo "fleet: run $n took $(($(date +%s) - start)) s (ansible-playbook exit status $status)"
  return $status
}
recap() { sed -n '/^PLAY RECAP/,$p' "$fleet/run-$1.log" | grep -E '^pc[0-9]+ ' | sed 's/^/  /'; }
said() { grep -oE '"msg": "pc[0-9]+: [^"]*"' "$fleet/run-$1.log" | sed 's/"msg": "\(.*\)"/  \1/' | sort; }

echo "fleet: run 1: installing on every PC at once (forks 8)"
if ! play 1; then
  grep -E '^(fatal|failed):' -A 3 "$fleet/run-1.log" | head -n 40
  recap 1
  echo "fleet: FAILED: the installation did not succeed on every PC (see $fleet/run-1.log, logs in $fleet/logs)"
  exit 1
fi
said 1
recap 1

echo "fleet: each PC's tree against the payload"
differing=0
for pc in "${pcs[@]}"; do
  if ! python3 "$repo/bench/payload.py" verify "$fleet/pcs/$pc/prefix/drive_c/QUILLMRK" --release "$repo/release" \
    --product "$product" --owner-data-written >"$fleet/verify-$pc.log" 2>&1; then
    echo "  $pc: differs: $(head -n 3 "$fleet/verify-$pc.log" | tr '\n' ' ')"
    differing=$((differing + 1))
  fi
done
[ "$differing" -eq 0 ] || { echo "fleet: FAILED: $differing PCs differ from the payload (see $fleet/verify-*.log)"; exit 1; }
echo "  every PC's C:\\QUILLMRK holds the payload byte for byte"

echo "fleet: run 2: the same play again"
if ! play 2; then
  grep -E '^(fatal|failed):' -A 3 "$fleet/run-2.log" | head -n 40
  echo "fleet: FAILED: the second run failed (see $fleet/run-2.log)"
  exit 1
fi
said 2
recap 2
changed=$(recap 2 | grep -cvE 'changed=0 ' || true)
hosts=$(recap 2 | grep -c . || true)
if [ "$changed" -ne 0 ] || [ "$hosts" -ne ${#pcs[@]} ]; then
  echo "fleet: FAILED: the second run changed $changed of $hosts PCs (expected none of ${#pcs[@]})"
  exit 1
fi

echo "fleet: logs collected in $fleet/logs:"
missing=0
for pc in "${pcs[@]}"; do
  log=$fleet/logs/$pc.log
  if [ -f "$log" ]; then
    echo "  $pc: $(grep -c . "$log") lines; last: $(tail -n 1 "$log" | tr -d '\r')"
  else
    echo "  $pc: no log"
    missing=$((missing + 1))
  fi
done
[ "$missing" -eq 0 ] || { echo "fleet: FAILED: $missing PCs left no log"; exit 1; }

echo "fleet: run 3: removing Quillmark from every PC with its QuietUninstallString"
if ! play 3 remove.yml; then
  grep -E '^(fatal|failed):' -A 3 "$fleet/run-3.log" | head -n 40
  echo "fleet: FAILED: the removal did not succeed on every PC (see $fleet/run-3.log)"
  exit 1
fi
said 3
recap 3
removed=$(recap 3 | grep -c 'changed=1 ' || true)
[ "$removed" -eq ${#pcs[@]} ] || { echo "fleet: FAILED: the removal ran on $removed of ${#pcs[@]} PCs"; exit 1; }

# What a removal leaves to the next start of Windows goes when the PC's
# server restarts; then nothing of the product may be left.
echo "fleet: each PC restarted, then checked for what is left"
left=0
for pc in "${pcs[@]}"; do
  prefix=$fleet/pcs/$pc/prefix
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -w 2>/dev/null || true
  WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY= wine cmd /c exit >/dev/null 2>&1 || true
  found=()
  [ -e "$prefix/drive_c/QUILLMRK" ] && found+=("C:\QUILLMRK ($(find "$prefix/drive_c/QUILLMRK" | wc -l) entries)")
  WINEPREFIX=$prefix WINEDEBUG=-all DISPLAY= wine reg query \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark' >/dev/null 2>&1 && found+=("the Uninstall key")
  grep -qi '^\[Quillmark\]' "$prefix/drive_c/windows/win.ini" 2>/dev/null && found+=("WIN.INI's [Quillmark]")
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  if [ ${#found[@]} -eq 0 ]; then
    echo "  $pc: nothing left"
  else
    echo "  $pc: left: ${found[*]}"
    left=$((left + 1))
  fi
done
[ "$left" -eq 0 ] || { echo "fleet: FAILED: the removal left something on $left PCs"; exit 1; }
echo "fleet: every PC installed with exit code 0 and the payload; the second run changed nothing;" \
  "the removal left nothing"
