#!/usr/bin/env bash
# The release of a product's own files (tests/release_own), as the build laid
# it out on disks: its two floppy images, their files in one folder as an
# unattended installation reads them, pass SETUP.EXE /VERIFY and install a
# tree equal to the product's folder byte for byte; its folder medium opens
# the library and the picture the build put beside SETUP.EXE. In a prefix of
# its own, without a display, so that it runs beside the Wine suite.
#   own_release_test.sh IMAGES_DIR PRODUCT_FOLDER WORK_DIR MEDIUM_DIR
set -u
images=${1:?images folder} source=${2:?product folder} work=${3:?work folder} medium=${4:?medium folder}
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work/set" "$work/medium" && mkdir -p "$work/set" || exit 1
cp -r "$medium" "$work/medium" || fail "cannot copy $medium"
export QM_WINE_DIR=$work/wine
. "$(dirname "$0")/../../scripts/wine-env.sh"
qm_wine_setup_headless || fail "Wine does not start"
trap 'wineserver -k 2>/dev/null' EXIT

count=$(ls "$images"/DISK*.IMG 2>/dev/null | wc -l)
[ "$count" = 2 ] || fail "the build laid the product out on $count floppy images, not 2"
for image in "$images"/DISK*.IMG; do mcopy -n -o -i "$image" '::/*' "$work/set/" || fail "mcopy $image"; done

run() {
  local folder=$1 log=$2; shift 2
  rm -f "$work/$log"
  wine "$work/$folder/SETUP.EXE" "$@" "/LOG=Z:${work//\//\\}\\$log" </dev/null >/dev/null 2>&1
  echo $?
}
code=$(run set verify.log /S /VERIFY)
[ "$code" = 0 ] || { cat "$work/verify.log"; fail "SETUP.EXE /VERIFY ended with $code"; }
grep -q "Result" "$work/verify.log" || fail "no result line in the /VERIFY log"

rm -rf "$WINEPREFIX/drive_c/OWN"
code=$(run set install.log /S /NAME=Own /DIR=C:\\OWN /SAMPLES=1)
[ "$code" = 0 ] || { cat "$work/install.log"; fail "the installation ended with $code"; }
# Byte for byte the folder, beside what every installation writes.
diff -r -x quillmrk.dat -x QMREMOVE.EXE -x QMREMOVE.DAT "$source" "$WINEPREFIX/drive_c/OWN" ||
  fail "the installed tree differs from $source"

# The library and the picture the build put beside SETUP.EXE, unlisted in the
# manifest, are the release's: the start-up opens both before it finds no
# display (14); one byte changed in the picture keeps it closed.
code=$(run medium start.log)
[ "$code" = 14 ] || { cat "$work/start.log"; fail "the start-up without a display ended with $code, not 14"; }
! grep "is not the release's" "$work/start.log" || fail "the release's own library or picture not opened"
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(200); b = f.read(1)[0]; f.seek(200); f.write(bytes([b ^ 1]))' \
  "$work/medium/newscr1.bmp" || fail "cannot change newscr1.bmp"
code=$(run medium start.log)
grep -q "newscr1.bmp is not the release's: not opened" "$work/start.log" ||
  { cat "$work/start.log"; fail "a changed picture was opened (exit $code)"; }
# Its owner data file, unlisted too, is taken by its form: garbage is not
# installed as the user's values.
printf 'not owner data\r\n' >"$work/medium/quillmrk.dat"
rm -rf "$WINEPREFIX/drive_c/OWN2"
code=$(run medium bad.log /S /NAME=Own /DIR=C:\\OWN2)
[ "$code" = 5 ] || { cat "$work/bad.log"; fail "garbage owner data on the medium ended with $code, not 5"; }
echo "PASS: two images, /VERIFY 0, the installed tree is the product's folder, the files beside SETUP.EXE checked, its owner data by its form"
