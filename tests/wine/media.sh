#!/usr/bin/env bash
# Prepares and removes the drives and files the in-process back-end tests use,
# in the build's own Wine prefix:
#   B: a floppy (removable) folder   K: a CD-ROM folder
#   L: a read-only mount that holds the folder "existing"
#   M: a 64 KiB mount, to fill up during a copy
#   N: a 4,110 MiB mount: its free space, taken in 32 bits, would be 14 MiB
# and, in DIR/files, plain files and their LZ-compressed (SZDD) forms.
#   media.sh setup DIR | media.sh cleanup DIR
# Mounting needs root, as everything here does.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"

action=${1:?setup or cleanup}
dir=${2:?media folder}

drive_links=(b:floppy k:cdrom l:readonly m:small n:large)

unmount() {
  local mnt=$1
  mountpoint -q "$mnt" || return 0
  umount "$mnt" 2>/dev/null || umount -l "$mnt"
}

cleanup() {
  local entry
  for entry in "${drive_links[@]}"; do
    rm -f "$WINEPREFIX/dosdevices/${entry%%:*}:"
  done
  unmount "$dir/readonly"
  unmount "$dir/small"
  unmount "$dir/large"
  rm -rf "$dir"
}

setup() {
  cleanup
  mkdir -p "$dir/floppy" "$dir/cdrom" "$dir/readonly" "$dir/small" "$dir/large" "$dir/files/packed" || return 1

  mount -t tmpfs -o size=1m tmpfs "$dir/readonly" || return 1
  mkdir "$dir/readonly/existing"
  mount -o remount,ro "$dir/readonly" || return 1
  mount -t tmpfs -o size=64k tmpfs "$dir/small" || return 1
  mount -t tmpfs -o size=4110m tmpfs "$dir/large" || return 1

  local entry
  for entry in "${drive_links[@]}"; do
    ln -sfn "$dir/${entry#*:}" "$WINEPREFIX/dosdevices/${entry%%:*}:"
  done

  # The mount manager reads the drive types when the server starts.
  wine reg add 'HKLM\Software\Wine\Drives' /v b: /t REG_SZ /d floppy /f >/dev/null || return 1
  wine reg add 'HKLM\Software\Wine\Drives' /v k: /t REG_SZ /d cdrom /f >/dev/null || return 1
  wineserver -k 2>/dev/null
  wineserver -w

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

case $action in
  setup)
    qm_wine_setup || exit 1
    setup || { echo "media.sh: setup failed" >&2; cleanup; exit 1; } ;;
  cleanup)
    # Unmounting must not depend on Wine starting.
    WINEPREFIX=$(qm_wine_root)/prefix
    cleanup ;;
  *) echo "media.sh: unknown action $action" >&2; exit 2 ;;
esac
