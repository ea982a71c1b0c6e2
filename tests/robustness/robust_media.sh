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
#   \\qmnet\qmshare: a network share on DIR/share
#   robust_media.sh setup DIR DISKSET | robust_media.sh cleanup DIR
# Mounting needs root, as everything here does.
set -u
. "$(dirname "$0")/../support/drives.sh"

cleanup() {
  qm_unmap_drives f r q v
  rm -rf "$WINEPREFIX/dosdevices/unc/qmnet"
  # The deep directory scenario's tree may pass what Windows calls can remove.
  rm -rf "$WINEPREFIX/drive_c/QMDEEP"
  qm_unmount "$dir/readonly"
  qm_unmount "$dir/small"
  rm -rf "$dir"
}

setup() {
  local diskset=${1:?disk set folder} d
  [ -f "$diskset/disk1/SETUP.EXE" ] || { echo "robust_media.sh: no SETUP.EXE in $diskset/disk1" >&2; return 1; }
  cleanup
  mkdir -p "$dir/tiny" "$dir/readonly" "$dir/small" "$dir/share" "$WINEPREFIX/dosdevices/unc/qmnet" || return 1
  for d in "$diskset"/disk*; do
    cp -r "$d" "$dir/$(basename "$d")" || return 1
    # README.TXT is on two disks, the same file on both.
    cp "$d"/* "$dir/tiny/" || return 1
  done

  qm_mount_read_only "$dir/readonly" EXISTING || return 1
  qm_mount_tmpfs "$dir/small" 2m || return 1

  qm_map_drive f "$dir/floppy"
  qm_map_drive r "$dir/readonly"
  qm_map_drive q "$dir/small"
  qm_map_drive v "$dir/Self Medium"
  ln -sfn "$dir/Self Medium" "$dir/selflink"
  ln -sfn "$dir/share" "$WINEPREFIX/dosdevices/unc/qmnet/qmshare"
  qm_drive_type f floppy || return 1
  # A program that crashes ends at once, with its fault as exit code, rather
  # than waiting behind Wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null || return 1
  qm_restart_server
}

qm_media_main "$@"
