#!/usr/bin/env bash
# Builds the release images from the release description (release/, or
# QM_RELEASE_DIR) and the product's files (the demo's generated stand-ins, or
# the folder QM_PRODUCT: make release PRODUCT=DIR, with its disk table
# computed from the files where the release leaves it to the build):
# SETUP.EXE with its tables, the medium, then in
# BUILD_ROOT/release the ISO, the floppy images of a set of more than one
# disk, SHA256SUMS and release.txt. Checks the images against their sums.
#   scripts/release.sh [BUILD_ROOT]   (default: build)
# Every time stamp is the release time: SOURCE_DATE_EPOCH when set, else the
# time of the commit built. SETUP.EXE is signed when the environment names an
# identity: SIGN_CERT and SIGN_KEY (PEM), or SIGN_PKCS12; SIGN_PASS_FILE, a
# file holding the password; SIGN_CA, the authorities to verify against.
set -u
# Identity files named relative to where make was called.
for var in SIGN_CERT SIGN_KEY SIGN_PKCS12 SIGN_PASS_FILE SIGN_CA QM_RELEASE_DIR QM_PRODUCT; do
  value=${!var:-}
  [ -n "$value" ] && [ "${value#/}" = "$value" ] && value=$PWD/$value
  printf -v "$var" '%s' "$value"
done
cd "$(dirname "$0")/.."
root=${1:-build}
mkdir -p "$root"
root=$(cd "$root" && pwd)
export QM_WINE_DIR=${QM_WINE_DIR:-$root/wine}
# Its own optimised build, medium and media, apart from the tests' debug build.
work=$root/release-build
dir=$work/win32
release=${QM_RELEASE_DIR:-$PWD/release}
out=$root/release
mkdir -p "$work"

echo "=== release: configure and build ($dir)"
if ! cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DQM_RELEASE_DIR="$release" \
     -DQM_RELEASE_IMAGES_DIR="$out" -DQM_MEDIUM_DIR="$work/medium" -DQM_MEDIA_DIR="$work/media" \
     -DQM_SIGN_CERT="$SIGN_CERT" -DQM_SIGN_KEY="$SIGN_KEY" -DQM_SIGN_PKCS12="$SIGN_PKCS12" \
     -DQM_SIGN_PASS_FILE="$SIGN_PASS_FILE" -DQM_SIGN_CA="$SIGN_CA" -DQM_PRODUCT_SOURCE="$QM_PRODUCT" \
     -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
     >"$dir.configure.log" 2>&1; then
  cat "$dir.configure.log"; echo "=== release: configure FAILED"; exit 1
fi
if ! cmake --build "$dir" -j "${QM_JOBS:-2}" --target release_images >"$dir.release.log" 2>&1; then
  # The release tools name each thing they refuse on a line of its own.
  grep -E '^(fromfolder|mkimages|mkmedium|mkrelease|mksign): ' "$dir.release.log" ||
    grep -E 'error|Error' "$dir.release.log" | head -n 40
  echo "=== release: build FAILED (see $dir.release.log); $out is as it was"; exit 1
fi
# What the build left out of the product's folder, and took anyway.
grep -E '^fromfolder: warning: ' "$dir.release.log"
cat "$out/release.txt"
echo "=== release: checking the images against SHA256SUMS"
(cd "$out" && sha256sum -c SHA256SUMS) || exit 1

# What the images hold, read back out of them: SETUP.EXE /VERIFY reads every
# file against its tables (and its own file first), with no window.
. scripts/wine-env.sh
qm_wine_setup_headless || { echo "=== release: Wine does not start; the images are not verified"; exit 1; }
check=$work/verify
rm -rf "$check" && mkdir -p "$check/iso" "$check/disks" || exit 1
verify() {
  local folder=$1 name=$2 code
  wine "$folder/SETUP.EXE" /S /VERIFY "/LOG=Z:${check//\//\\}\\$name.log" </dev/null
  code=$?
  grep -E "damaged|missing|Result" "$check/$name.log" | cut -c21-
  [ "$code" = 0 ] || { echo "=== release: $name: SETUP.EXE /VERIFY ended with $code"; exit 1; }
}
xorriso -osirrox on -indev "$out/QUILLMRK.ISO" -extract / "$check/iso" >/dev/null 2>&1 ||
  { echo "=== release: QUILLMRK.ISO cannot be read back"; exit 1; }
verify "$check/iso" QUILLMRK.ISO
# A disk set, its disks' files in one folder, as an unattended installation reads it.
disks=$(ls "$out"/DISK*.IMG 2>/dev/null)
if [ -n "$disks" ]; then
  for image in $disks; do mcopy -n -o -i "$image" '::/*' "$check/disks/" || exit 1; done
  verify "$check/disks" DISK.IMG
fi
echo "=== release: the images are in $out"
qm_wine_stop
