#!/usr/bin/env bash
# Prepares and removes the drives and files the in-process back-end tests use,
# in the build's own Wine prefix:
#   B: a floppy (removable) folder   K: a CD-ROM folder
#   L: a read-only mount that holds the folder "existing"
#   M: a 64 KiB mount, to fill up during a copy
#   DIR/floppylink: a symbolic link to the floppy folder, a second path to it
#   N: a 4,110 MiB mount: its free space, taken in 32 bits, would be 14 MiB
#   DIR/twin1, DIR/twin2: two fresh mounts without a drive letter, which
#     number their files alike
# and, in DIR/files, plain files and their LZ-compressed (SZDD) forms.
#   media.sh setup DIR | media.sh cleanup DIR
# Mounting needs root, as everything here does.
set -u
. "$(dirname "$0")/../support/drives.sh"

drive_links=(b:floppy k:cdrom l:readonly m:small n:large)

cleanup() {
  local entry
  for entry in "${drive_links[@]}"; do
    qm_unmap_drives "${entry%%:*}"
  done
  qm_unmount "$dir/readonly"
  qm_unmount "$dir/small"
  qm_unmount "$dir/large"
  qm_unmount "$dir/twin1"
  qm_unmount "$dir/twin2"
  rm -rf "$dir"
}

setup() {
  cleanup
  mkdir -p "$dir/floppy" "$dir/cdrom" "$dir/readonly" "$dir/small" "$dir/large" "$dir/twin1" "$dir/twin2" "$dir/files/packed" || return 1

  qm_mount_read_only "$dir/readonly" existing || return 1
  qm_mount_tmpfs "$dir/small" 64k || return 1
  qm_mount_tmpfs "$dir/large" 4110m || return 1
  qm_mount_tmpfs "$dir/twin1" 1m || return 1
  qm_mount_tmpfs "$dir/twin2" 1m || return 1

  local entry
  for entry in "${drive_links[@]}"; do
    qm_map_drive "${entry%%:*}" "$dir/${entry#*:}"
  done
  ln -sfn "$dir/floppy" "$dir/floppylink" || return 1
  qm_drive_type b floppy || return 1
  qm_drive_type k cdrom || return 1
  qm_restart_server

  # A text that compresses, and 1,000,000 zero bytes that shrink to about
  # 130 KB but do not fit on M: once expanded. The medium keeps compressed
  # files under their plain names.
  local line n
  for n in $(seq 1 200); do
    line="Quillmark readme, line $n: the quick brown fox jumps over the lazy dog."
    printf '%s\r\n' "$line"
  done >"$dir/files/readme.txt"
  head -c 1000000 /dev/zero >"$dir/files/zeros.bin"
  local name
  for name in readme.txt zeros.bin; do
    cp "$dir/files/$name" "$dir/files/packed/$name"
    mscompress "$dir/files/packed/$name" || return 1
    mv -f "$dir/files/packed/${name}_" "$dir/files/packed/$name"
  done
}

qm_media_main "$@"
