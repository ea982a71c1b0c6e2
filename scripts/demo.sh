#!/usr/bin/env bash
# The demo, for now: builds the host ownerdata tool and shows the owner data
# store at work on a sample quillmrk.dat. The installer itself comes later.
#   scripts/demo.sh [BUILD_ROOT]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)

echo "demo: building the ownerdata tool in $root/host"
cmake -S . -B "$root/host" -DCMAKE_BUILD_TYPE=Debug >"$root/demo.configure.log" 2>&1 ||
  { cat "$root/demo.configure.log"; exit 1; }
cmake --build "$root/host" -j "${QM_JOBS:-2}" --target ownerdata_tool >"$root/demo.build.log" 2>&1 ||
  { tail -n 40 "$root/demo.build.log"; exit 1; }
tool=$root/host/tools/ownerdata/ownerdata

work=$root/demo
rm -rf "$work"
mkdir -p "$work"
file=$work/quillmrk.dat
run() {
  printf '$ ownerdata'; printf ' %q' "$@"; echo
  "$tool" "$@" 2>&1
}

echo
echo "demo: a sample owner data file, as the release puts it on the medium"
run create "$file" User= Dept= Company=
echo "The file, scrambled ($(wc -c <"$file") bytes, no line break):"
cat "$file"; echo
echo
echo "demo: what the setup program records after an installation"
run set "$file" User "Ann Example"
run set "$file" dept "Sales=East"
run set "$file" COMPANY "Example Ltd"
run dump "$file"
run get "$file" user
echo
echo "demo: the same lines in plain mode"
run create --plain "$work/plain.txt" "User=Ann Example" "Dept=Sales=East" "Company=Example Ltd"
cat "$work/plain.txt"
echo
echo "demo: what a damaged or foreign file gives (exit status = the store's code)"
printf 'Kind=Tessera Data3C' >"$work/foreign.dat"
run dump "$work/foreign.dat" || echo "(exit status $?)"
run get "$file" Fax || echo "(exit status $?)"
echo
echo "demo: the files are in $work"
echo "demo: the installer itself (SETUP.EXE under Wine) is not part of this demo yet; it comes later."
