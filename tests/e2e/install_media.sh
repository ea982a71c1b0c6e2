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
. "$(dirname "$0")/../support/drives.sh"

cleanup() {
  qm_unmap_drives a s t
  qm_unmount "$dir/small"
  qm_unmount "$dir/large"
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
  qm_mount_tmpfs "$dir/small" 40m || return 1
  qm_mount_tmpfs "$dir/large" 4110m || return 1

  qm_map_drive a "$dir/floppy"
  qm_map_drive s "$dir/small"
  qm_map_drive t "$dir/large"
  qm_drive_type a floppy || return 1
  qm_restart_server
}

qm_media_main "$@"
