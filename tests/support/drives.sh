# What the media fixtures (tests/*/*media.sh) share: their command line,
# tmpfs mounts and the drive letters of the build's own Wine prefix.
# Mounting needs root.
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"

# SCRIPT setup DIR [ARGS...] | SCRIPT cleanup DIR: runs the script's setup
# with ARGS once the build's Wine is up (and cleans up when it fails), or its
# cleanup without starting Wine, so that unmounting never depends on it.
# DIR is the media folder, $dir to both.
qm_media_main() {
  local name action=${1:-}
  name=$(basename "$0")
  dir=${2:?media folder}
  shift 2
  case $action in
    setup)
      qm_wine_setup || exit 1
      setup "$@" || { echo "$name: setup failed" >&2; cleanup; exit 1; } ;;
    cleanup)
      WINEPREFIX=$(qm_wine_root)/prefix
      cleanup ;;
    *) echo "$name: unknown action $action" >&2; exit 2 ;;
  esac
}

# Unmounts dir if something is mounted there; lazily when it is busy.
qm_unmount() {
  local mnt=$1
  mountpoint -q "$mnt" || return 0
  umount "$mnt" 2>/dev/null || umount -l "$mnt"
}

# A tmpfs of the given size (e.g. 64k, 40m) on dir.
qm_mount_tmpfs() {
  mount -t tmpfs -o "size=$2" tmpfs "$1"
}

# A small read-only tmpfs on dir that holds one empty folder.
qm_mount_read_only() {
  local dir=$1 folder=$2
  qm_mount_tmpfs "$dir" 1m || return 1
  mkdir "$dir/$folder" || return 1
  mount -o remount,ro "$dir"
}

# Maps drive letter (a, b, ...) to dir; qm_unmap_drives removes letters.
qm_map_drive() {
  ln -sfn "$2" "$WINEPREFIX/dosdevices/$1:"
}
qm_unmap_drives() {
  local letter
  for letter in "$@"; do rm -f "$WINEPREFIX/dosdevices/$letter:"; done
}

# The type (floppy, cdrom) of a drive letter. The mount manager reads the
# types when the server starts: call qm_restart_server (wine-env.sh) after
# the last one.
qm_drive_type() {
  wine reg add 'HKLM\Software\Wine\Drives' /v "$1:" /t REG_SZ /d "$2" /f >/dev/null
}
