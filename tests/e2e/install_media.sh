#!/usr/bin/env bash
# Prepares and removes the drives and media the installation scenarios use,
# in the build's own Wine prefix:
#   A: a floppy drive on DIR/floppy; the three disks of the test release wait
#      beside it as DIR/disk1..3 and are "inserted" by renaming one to floppy
#   S: a 40 MiB drive (tmpfs), which the space scenarios fill with ballast
#   T: a 4,110 MiB drive (tmpfs): its free space, taken in 32 bits, would be
#      only 14 MiB, too little for the release
#   DIR/medium: a copy of the demo medium, for scenarios that remove files
#   install_media.sh setup DIR DEMO_MEDIUM DISKSET | install_media.sh cleanup DIR
# Mounting needs root, as everything here does.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"

action=${1:?setup or cleanup}
dir=${2:?media folder}

unmount() {
  local mnt=$1
  mountpoint -q "$mnt" || return 0
  umount "$mnt" 2>/dev/null || umount -l "$mnt"
}

cleanup() {
  rm -f "$WINEPREFIX/dosdevices/a:" "$WINEPREFIX/dosdevices/s:" "$WINEPREFIX/dosdevices/t:"
  unmount "$dir/small"
  unmount "$dir/large"
  rm -rf "$dir"
}

setup() {
  local medium=${1:?demo medium folder} diskset=${2:?disk set folder} d
  [ -f "$medium/SETUP.EXE" ] || { echo "install_media.sh: no SETUP.EXE in $medium" >&2; return 1; }
  [ -f "$diskset/disk1/SETUP.EXE" ] || { echo "install_media.sh: no SETUP.EXE in $diskset/disk1" >&2; return 1; }
  cleanup
  mkdir -p "$dir/small" "$dir/large" || return 1
  for d in "$diskset"/disk*; do
    cp -r "$d" "$dir/$(basename "$d")" || return 1
  done
  # Hard links where the file system allows them: removing a link leaves the medium whole.
  cp -al "$medium" "$dir/medium" 2>/dev/null || cp -r "$medium" "$dir/medium" || return 1
  mount -t tmpfs -o size=40m tmpfs "$dir/small" || return 1
  mount -t tmpfs -o size=4110m tmpfs "$dir/large" || return 1

  ln -sfn "$dir/floppy" "$WINEPREFIX/dosdevices/a:"
  ln -sfn "$dir/small" "$WINEPREFIX/dosdevices/s:"
  ln -sfn "$dir/large" "$WINEPREFIX/dosdevices/t:"
  # The mount manager reads the drive types when the server starts.
  wine reg add 'HKLM\Software\Wine\Drives' /v a: /t REG_SZ /d floppy /f >/dev/null || return 1
  wineserver -k 2>/dev/null
  wineserver -w
}

qm_wine_setup || exit 1
case $action in
  setup) setup "${3:-}" "${4:-}" || { echo "install_media.sh: setup failed" >&2; cleanup; exit 1; } ;;
  cleanup) cleanup ;;
  *) echo "install_media.sh: unknown action $action" >&2; exit 2 ;;
esac
