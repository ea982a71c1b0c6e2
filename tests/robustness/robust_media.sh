#!/usr/bin/env bash
# Prepares and removes the drives and media of the robustness scenarios, in
# the build's own Wine prefix:
#   DIR/tiny   the three-disk test release as one folder beside its SETUP.EXE:
#              a directory-source medium of 19 files
#   DIR/disk1..3 and F: a floppy drive on DIR/floppy; a disk is put in by
#              renaming its folder to floppy
#   R: a read-only mount that holds the folder EXISTING
#   Q: a 2 MiB mount, a little too small for the test release once expanded
#   V: and DIR/selflink: a drive letter and a symbolic link on DIR/Self Medium,
#              the folder the scenarios fill with a copy of the tiny medium
#   robust_media.sh setup DIR DISKSET | robust_media.sh cleanup DIR
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
  rm -f "$WINEPREFIX/dosdevices/f:" "$WINEPREFIX/dosdevices/r:" "$WINEPREFIX/dosdevices/q:" \
    "$WINEPREFIX/dosdevices/v:"
  # The deep directory scenario's tree may pass what Windows calls can remove.
  rm -rf "$WINEPREFIX/drive_c/QMDEEP"
  unmount "$dir/readonly"
  unmount "$dir/small"
  rm -rf "$dir"
}

setup() {
  local diskset=${1:?disk set folder} d
  [ -f "$diskset/disk1/SETUP.EXE" ] || { echo "robust_media.sh: no SETUP.EXE in $diskset/disk1" >&2; return 1; }
  cleanup
  mkdir -p "$dir/tiny" "$dir/readonly" "$dir/small" || return 1
  for d in "$diskset"/disk*; do
    cp -r "$d" "$dir/$(basename "$d")" || return 1
    # README.TXT is on two disks, the same file on both.
    cp "$d"/* "$dir/tiny/" || return 1
  done

  mount -t tmpfs -o size=1m tmpfs "$dir/readonly" || return 1
  mkdir "$dir/readonly/EXISTING"
  mount -o remount,ro "$dir/readonly" || return 1
  mount -t tmpfs -o size=2m tmpfs "$dir/small" || return 1

  ln -sfn "$dir/floppy" "$WINEPREFIX/dosdevices/f:"
  ln -sfn "$dir/readonly" "$WINEPREFIX/dosdevices/r:"
  ln -sfn "$dir/small" "$WINEPREFIX/dosdevices/q:"
  ln -sfn "$dir/Self Medium" "$WINEPREFIX/dosdevices/v:"
  ln -sfn "$dir/Self Medium" "$dir/selflink"
  # The mount manager reads the drive types when the server starts.
  wine reg add 'HKLM\Software\Wine\Drives' /v f: /t REG_SZ /d floppy /f >/dev/null || return 1
  # A program that crashes ends at once, with its fault as exit code, rather
  # than waiting behind Wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null || return 1
  wineserver -k 2>/dev/null
  wineserver -w
}

case $action in
  setup)
    qm_wine_setup || exit 1
    setup "${3:-}" || { echo "robust_media.sh: setup failed" >&2; cleanup; exit 1; } ;;
  cleanup)
    # Unmounting must not depend on Wine starting.
    WINEPREFIX=$(qm_wine_root)/prefix
    cleanup ;;
  *) echo "robust_media.sh: unknown action $action" >&2; exit 2 ;;
esac
