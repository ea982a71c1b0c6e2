#!/usr/bin/env bash
# make fleet: a real deployment engine installs Quillmark on eight "PCs".
# Ansible (fleet/site.yml) runs against eight Wine prefixes of this machine
# (connection local, all eight at once as the engine's forks), each reaching
# the demo medium as the share \\fileserver\quillmark, an earlier release's
# medium as \\fileserver\quillmark-older and the recorded answers
# (fleet/answers.ini) on \\fileserver\deploy. Four plays, one function each:
#  - install: SETUP.EXE /S where the release is missing, the exit codes read,
#    each PC's tree checked against the payload; the play run a second time
#    must change nothing; every PC's log is collected;
#  - removal (fleet/remove.yml) with the product in use on one PC: its
#    QuietUninstallString, 3010 there and a restart, 0 elsewhere; then
#    nothing of the product may be left;
#  - the earlier release on every PC;
#  - the upgrade to the new release with a product file held open on two
#    PCs: 3010 and a restart there, 0 elsewhere; then each tree is the new
#    release's and the key names it.
#   scripts/fleet.sh [BUILD_ROOT]   (default: build; everything under BUILD_ROOT/fleet)
# Exits non-zero when Ansible cannot be had or any play or check fails: an
# exit code other than the one expected, a tree that differs from the
# payload, a second run that changes anything, a restart that is missing or
# one too many, or a removal that leaves something behind.
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

echo "fleet: building SETUP.EXE, the demo medium and the earlier release's medium in $build"
# The build runs its Windows tools under Wine on a virtual display of its own
# (scripts/wine-run.sh); one it started is stopped once it is done.
. "$here/wine-env.sh"
wine_root=$(qm_wine_root)
had_display=0
if [ -f "$wine_root/display" ] && qm_display_alive "$(cat "$wine_root/display")"; then had_display=1; fi
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
  >"$fleet/configure.log" 2>&1 || { tail -n 30 "$fleet/configure.log"; exit 1; }
cmake --build "$build" -j "${QM_JOBS:-2}" --target demo_medium older_media hold_file >"$fleet/build.log" 2>&1 ||
  { grep -E 'error|Error' "$fleet/build.log" | head -n 30; echo "fleet: build failed (see $fleet/build.log)"
    [ "$had_display" = 1 ] || qm_wine_stop; exit 1; }
[ "$had_display" = 1 ] || qm_wine_stop
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
medium=$(cached QM_MEDIUM_DIR)
product=$(cached QM_PRODUCT_DIR)
older_medium=$(cached QM_OLDER_MEDIUM_DIR)
older_release=$repo/tests/release_older
older_product=$build/product-files-older
holder=$build/tests/support/hold_file.exe
for file in "$medium/SETUP.EXE" "$older_medium/SETUP.EXE" "$holder"; do
  [ -f "$file" ] || { echo "fleet: $file was not built"; exit 1; }
done
version_of() { grep -v '^#' "$1/version.txt" | grep -m 1 .; }
new_version=$(version_of "$repo/release")
older_version=$(version_of "$older_release")

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
# PCs imaged from one master; each reaches the three shares.
QM_WINE_DIR=$fleet/master qm_wine_setup_headless
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
master=$WINEPREFIX
prefix_of() { echo "$fleet/pcs/$1/prefix"; }
on_pc() {  # pc command...: runs a command with the PC's Wine, no display
  local pc=$1
  shift
  env -u DISPLAY WINEPREFIX="$(prefix_of "$pc")" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" "$@"
}
stop_pcs() {
  local pc
  for pc in "${pcs[@]}"; do
    [ -d "$(prefix_of "$pc")" ] && on_pc "$pc" wineserver -k 2>/dev/null || true
  done
}
trap stop_pcs EXIT
stop_pcs
rm -rf "$fleet/pcs" "$fleet/logs" "$fleet/deploy"
mkdir -p "$fleet/deploy"
cp "$repo/fleet/answers.ini" "$fleet/deploy/quillmark.ini"
for pc in "${pcs[@]}"; do
  mkdir -p "$fleet/pcs/$pc"
  cp -a "$master" "$(prefix_of "$pc")"
  shares=$(prefix_of "$pc")/dosdevices/unc/fileserver
  mkdir -p "$shares"
  ln -s "$medium" "$shares/quillmark"
  ln -s "$older_medium" "$shares/quillmark-older"
  ln -s "$fleet/deploy" "$shares/deploy"
done
echo "fleet: ${#pcs[@]} PCs in $fleet/pcs; shares \\\\fileserver\\quillmark (release $new_version, $medium)," \
  "\\\\fileserver\\quillmark-older (release $older_version, $older_medium) and \\\\fileserver\\deploy (the answers)"

export ANSIBLE_CONFIG=$repo/fleet/ansible.cfg
export ANSIBLE_LOCAL_TEMP=$fleet/ansible-tmp ANSIBLE_REMOTE_TEMP=$fleet/ansible-tmp
export ANSIBLE_FORCE_COLOR=0 ANSIBLE_NOCOLOR=1

# ---- shared steps ------------------------------------------------------------

failed() { echo "fleet: FAILED: $*"; exit 1; }
recap() { sed -n '/^PLAY RECAP/,$p' "$fleet/run-$1.log" | grep -E '^pc[0-9]+ ' | sed 's/^/  /'; }
said() { grep -oE '"msg": "pc[0-9]+: [^"]*"' "$fleet/run-$1.log" | sed 's/"msg": "\(.*\)"/  \1/' | sort; }
play() {  # number what play-file [ansible-playbook arguments]: runs it; fails unless every PC succeeded
  local n=$1 what=$2 file=$3 start status=0
  shift 3
  echo "fleet: run $n: $what"
  start=$(date +%s)
  "$playbook" "$repo/fleet/$file" -e "fleet_root=$fleet" "$@" >"$fleet/run-$n.log" 2>&1 || status=$?
  echo "fleet: run $n took $(($(date +%s) - start)) s (ansible-playbook exit status $status)"
  if [ "$status" -ne 0 ]; then
    grep -E '^(fatal|failed):' -A 3 "$fleet/run-$n.log" | head -n 40
    recap "$n"
    failed "run $n did not succeed on every PC (see $fleet/run-$n.log, logs in $fleet/logs)"
  fi
  said "$n"
  recap "$n"
}

# expect_codes number program code held-pc...: the held PCs ended with code
# and were restarted; every other PC ended with 0 and was not.
expect_codes() {
  local n=$1 program=$2 code=$3 pc wanted wrong=0 lines
  shift 3
  lines=$(said "$n")
  for pc in "${pcs[@]}"; do
    wanted="$pc: $program exit code 0"
    [[ " $* " == *" $pc "* ]] && wanted="$pc: $program exit code $code; restarted"
    grep -qxF "  $wanted" <<<"$lines" || { echo "  $pc: expected \"$wanted\""; wrong=$((wrong + 1)); }
  done
  [ "$wrong" -eq 0 ] || failed "run $n: $wrong PCs did not end as expected"
}

# hold pc [/IMAGE]: the PC's user has a program that holds C:\QUILLMRK\QUILLMRK.EXE
# open until the PC restarts; returns once it holds it.
hold() {
  local pc=$1 out=$fleet/hold-$1.out pid deadline=$((SECONDS + 60))
  on_pc "$pc" wine "$holder" 'C:\QUILLMRK\QUILLMRK.EXE' "${@:2}" >"$out" 2>&1 &
  pid=$!
  until grep -q '^holding ' "$out"; do
    kill -0 "$pid" 2>/dev/null || failed "$pc: the holder ended: $(tr '\n' ' ' <"$out")"
    [ "$SECONDS" -lt "$deadline" ] || failed "$pc: the holder did not hold QUILLMRK.EXE within 60 s"
    sleep 0.2
  done
  echo "  $pc: $(tr -d '\r' <"$out")"
}

# check_trees what release product [payload.py arguments]: each PC's
# C:\QUILLMRK against the release's payload, byte for byte.
check_trees() {
  local what=$1 release=$2 product=$3 pc differing=0
  shift 3
  echo "fleet: each PC's tree against $what"
  for pc in "${pcs[@]}"; do
    if ! python3 "$repo/bench/payload.py" verify "$(prefix_of "$pc")/drive_c/QUILLMRK" --release "$release" \
      --product "$product" --owner-data-written "$@" >"$fleet/verify-$pc.log" 2>&1; then
      echo "  $pc: differs: $(head -n 3 "$fleet/verify-$pc.log" | tr '\n' ' ')"
      differing=$((differing + 1))
    fi
  done
  [ "$differing" -eq 0 ] || failed "$differing PCs differ from $what (see $fleet/verify-*.log)"
  echo "  every PC's C:\\QUILLMRK holds $what byte for byte"
}

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark'
# The key as a prefix's saved registry (system.reg) names it.
uninstall_key_saved='[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillmark]'
check_versions() {  # version: every PC's Uninstall key names it
  local version=$1 pc found wrong=0
  for pc in "${pcs[@]}"; do
    found=$(on_pc "$pc" wine reg query "$uninstall_key" /v DisplayVersion 2>/dev/null |
      sed -n 's/^ *DisplayVersion *REG_SZ *\([^ ]*\).*/\1/p' | tr -d '\r')
    [ "$found" = "$version" ] || { echo "  $pc: the Uninstall key names ${found:-no version}"; wrong=$((wrong + 1)); }
  done
  [ "$wrong" -eq 0 ] || failed "$wrong PCs' Uninstall key does not name release $version"
  echo "  every PC's Uninstall key names release $version"
}

# ---- the plays ---------------------------------------------------------------

install_play() {
  play 1 "installing release $new_version on every PC at once (forks 8)" site.yml
  expect_codes 1 SETUP.EXE 0
  check_trees "the payload" "$repo/release" "$product"

  play 2 "the same play again" site.yml
  local changed hosts
  changed=$(recap 2 | grep -cvE 'changed=0 ' || true)
  hosts=$(recap 2 | grep -c . || true)
  [ "$changed" -eq 0 ] && [ "$hosts" -eq ${#pcs[@]} ] ||
    failed "the second run changed $changed of $hosts PCs (expected none of ${#pcs[@]})"

  echo "fleet: logs collected in $fleet/logs:"
  local pc log missing=0
  for pc in "${pcs[@]}"; do
    log=$fleet/logs/$pc.log
    if [ -f "$log" ]; then
      echo "  $pc: $(grep -c . "$log") lines; last: $(tail -n 1 "$log" | tr -d '\r')"
    else
      echo "  $pc: no log"
      missing=$((missing + 1))
    fi
  done
  [ "$missing" -eq 0 ] || failed "$missing PCs left no log"
}

# The product's program runs on pc03 while the removal comes: as Windows
# holds a running program's image, QUILLMRK.EXE may be renamed, not deleted.
removal_play() {
  echo "fleet: the product in use on pc03"
  hold pc03 /IMAGE
  play 3 "removing Quillmark from every PC with its QuietUninstallString" remove.yml
  expect_codes 3 "the uninstaller" 3010 pc03

  check_nothing_left "as the play left it" waiting
  # The other PCs restart some time too, as win_reboot would restart them.
  echo "fleet: every PC restarted"
  "${playbook%-playbook}" pcs -m wine_reboot -a 'prefix={{ wine_prefix }}' \
    -e "fleet_root=$fleet" >"$fleet/restart-3.log" 2>&1 || failed "a PC did not restart (see $fleet/restart-3.log)"
  check_nothing_left "after its restart"
}

# check_nothing_left when [waiting]: nothing of the product on any PC; with
# waiting, files of the data folder, and the folder, that its next start
# removes may wait.
# Only the disk and the saved registry are read: the first program of a
# new Wine session would carry out what waits for the next start.
check_nothing_left() {
  local when=$1 waiting=${2:-} pc prefix left=0 found file name pending renames
  echo "fleet: each PC $when checked for what is left"
  for pc in "${pcs[@]}"; do
    prefix=$(prefix_of "$pc")
    on_pc "$pc" wineserver -w 2>/dev/null || true
    found=() pending=()
    [ -e "$prefix/drive_c/QUILLMRK" ] && found+=("C:\\QUILLMRK ($(find "$prefix/drive_c/QUILLMRK" | wc -l) entries)")
    grep -qi '^\[Quillmark\]' "$prefix/drive_c/windows/win.ini" 2>/dev/null && found+=("WIN.INI's [Quillmark]")
    grep -qiF "$uninstall_key_saved" "$prefix/system.reg" && found+=("the Uninstall key")
    renames=$(python3 "$repo/tests/support/qmtest.py" pending-renames "$prefix")
    while IFS= read -r -d '' file; do
      name=C:\\ProgramData\\Quillmark\\$(basename "$file")
      if [ -n "$waiting" ] && grep -qixF "\\??\\$name"$'\t' <<<"$renames"; then
        pending+=("$(basename "$file")")
      else
        found+=("$name")
      fi
    done < <(find "$prefix/drive_c/ProgramData/Quillmark" -type f -print0 2>/dev/null)
    [ -z "$waiting" ] && [ -e "$prefix/drive_c/ProgramData/Quillmark" ] && [ ${#found[@]} -eq 0 ] &&
      found+=("the folder C:\\ProgramData\\Quillmark")
    if [ ${#found[@]} -ne 0 ]; then
      echo "  $pc: left: ${found[*]}"
      left=$((left + 1))
    elif [ ${#pending[@]} -ne 0 ]; then
      echo "  $pc: nothing left but ${pending[*]}, removed at the next start"
    else
      echo "  $pc: nothing left"
    fi
  done
  [ "$left" -eq 0 ] || failed "the removal left something on $left PCs ($when)"
}

earlier_release_play() {
  play 4 "installing the earlier release $older_version on every PC" site.yml \
    -e share=quillmark-older -e "release_version=$older_version"
  expect_codes 4 SETUP.EXE 0
  check_trees "the earlier release's payload" "$older_release" "$older_product"
  check_versions "$older_version"
}

# Users on pc02 and pc06 have QUILLMRK.EXE open, no one may write, rename
# or delete it, while the new release comes.
upgrade_play() {
  echo "fleet: the product in use on pc02 and pc06"
  hold pc02
  hold pc06
  play 5 "upgrading every PC to release $new_version" site.yml
  expect_codes 5 SETUP.EXE 3010 pc02 pc06
  # An upgrade leaves the files only the earlier release had to the removal.
  check_trees "the new release's payload over the earlier one's" "$repo/release" "$product" \
    --over-release "$older_release" --over-product "$older_product"
  check_versions "$new_version"
}

install_play
removal_play
earlier_release_play
upgrade_play
echo "fleet: every PC installed with exit code 0 and the payload; the second run changed nothing;" \
  "the removal with the product in use (3010, restarted) left nothing; the upgrade with QUILLMRK.EXE held" \
  "open ended 3010 and restarted exactly there, and every tree is the new release's"
