#!/usr/bin/env bash
# The release of a product's own files (tests/release_own), as the build laid
# it out on disks: its two floppy images, their files in one folder as an
# unattended installation reads them, pass SETUP.EXE /VERIFY and install a
# tree equal to the product's folder byte for byte. In a prefix of its own,
# without a display, so that it runs beside the Wine suite.
#   own_release_test.sh IMAGES_DIR PRODUCT_FOLDER WORK_DIR
set -u
images=${1:?images folder} source=${2:?product folder} work=${3:?work folder}
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work/set" && mkdir -p "$work/set" || exit 1
export QM_WINE_DIR=$work/wine
. "$(dirname "$0")/../../scripts/wine-env.sh"
qm_wine_setup_headless || fail "Wine does not start"
trap 'wineserver -k 2>/dev/null' EXIT

count=$(ls "$images"/DISK*.IMG 2>/dev/null | wc -l)
[ "$count" = 2 ] || fail "the build laid the product out on $count floppy images, not 2"
for image in "$images"/DISK*.IMG; do mcopy -n -o -i "$image" '::/*' "$work/set/" || fail "mcopy $image"; done

run() {
  local log=$1; shift
  rm -f "$work/$log"
  wine "$work/set/SETUP.EXE" /S "$@" "/LOG=Z:${work//\//\\}\\$log" </dev/null >/dev/null 2>&1
  echo $?
}
code=$(run verify.log /VERIFY)
[ "$code" = 0 ] || { cat "$work/verify.log"; fail "SETUP.EXE /VERIFY ended with $code"; }
grep -q "Result" "$work/verify.log" || fail "no result line in the /VERIFY log"

rm -rf "$WINEPREFIX/drive_c/OWN"
code=$(run install.log /NAME=Own /DIR=C:\\OWN /SAMPLES=1)
[ "$code" = 0 ] || { cat "$work/install.log"; fail "the installation ended with $code"; }
# Byte for byte the folder, beside what every installation writes.
diff -r -x quillmrk.dat -x QMREMOVE.EXE -x QMREMOVE.DAT "$source" "$WINEPREFIX/drive_c/OWN" ||
  fail "the installed tree differs from $source"
echo "PASS: two images, /VERIFY 0, the installed tree is the product's folder"
