#!/usr/bin/env bash
# Prepares and removes the drives and media the installation scenarios use,
# in the build's own Wine prefix:
#   A: a floppy drive on DIR/floppy; the three disks of the test release,
#      unpacked with mtools from their floppy images, wait beside it as
#      DIR/disk1..3 and are "inserted" by renaming one to floppy
#   S: a 40 MiB drive (tmpfs), which the space scenarios fill with ballast
#   T: a 4,110 MiB drive (tmpfs): its free space, taken in 32 bits, would be
#      only 14 MiB, too little for the release
#   DIR/medium: a copy of the demo medium, for scenarios that remove files
#   DIR/signed: a copy of the demo medium whose SETUP.EXE tools/mksign signed
#      with a throwaway authority and certificate made here (DIR/identity)
#   install_media.sh setup DIR DEMO_MEDIUM DISK_IMAGES | install_media.sh cleanup DIR
# and, as a fixture of its own since it needs FUSE, the release images
# mounted as drives:
#   E: a CD-ROM drive showing QUILLMRK.ISO (fuseiso)
#   P: a floppy drive showing disk 1 of the test release write-protected
#      (fusefat, read-only)
#   install_media.sh mount DIR ISO DISK1.IMG | install_media.sh unmount DIR
# The disk set is unpacked rather than mounted read-write: fusefat's writing
# damages the image (a rewritten file loses its clusters, new files get
# names like ~1). Mounting needs root, as everything here does.
set -u
here=$(dirname "$0")
. "$here/../support/drives.sh"

cleanup() {
  qm_unmap_drives a s t
  qm_unmount "$dir/small"
  qm_unmount "$dir/large"
  rm -rf "$dir"
}

setup() {
  local medium=${1:?demo medium folder} images=${2:?disk images folder} image n
  [ -f "$medium/SETUP.EXE" ] || { echo "install_media.sh: no SETUP.EXE in $medium" >&2; return 1; }
  [ -f "$images/DISK1.IMG" ] || { echo "install_media.sh: no DISK1.IMG in $images" >&2; return 1; }
  cleanup
  mkdir -p "$dir/small" "$dir/large" || return 1
  for image in "$images"/DISK*.IMG; do
    n=$(basename "$image" .IMG)
    n=${n#DISK}
    mkdir "$dir/disk$n" || return 1
    mcopy -n -m -i "$image" '::/*' "$dir/disk$n/" || return 1
  done
  [ -f "$dir/disk1/SETUP.EXE" ] || { echo "install_media.sh: no SETUP.EXE on $images/DISK1.IMG" >&2; return 1; }
  # Hard links where the file system allows them: removing a link leaves the medium whole.
  cp -al "$medium" "$dir/medium" 2>/dev/null || cp -r "$medium" "$dir/medium" || return 1
  # mksign replaces the link of SETUP.EXE; the medium's own stays as it was.
  cp -al "$medium" "$dir/signed" 2>/dev/null || cp -r "$medium" "$dir/signed" || return 1
  python3 "$here/../support/qmtest.py" signing-identity "$dir/identity" || return 1
  python3 "$here/../../tools/mksign/mksign.py" --in "$medium/SETUP.EXE" --out "$dir/signed/SETUP.EXE" \
    --note "$dir/signature.txt" --time 1700000000 --cert "$dir/identity/cert.pem" \
    --key "$dir/identity/key.pem" --ca "$dir/identity/ca.pem" || return 1
  qm_mount_tmpfs "$dir/small" 40m || return 1
  qm_mount_tmpfs "$dir/large" 4110m || return 1

  qm_map_drive a "$dir/floppy"
  qm_map_drive s "$dir/small"
  qm_map_drive t "$dir/large"
  qm_drive_type a floppy || return 1
  qm_restart_server
}

# A FUSE mount; stops its file system when the mount does not come up.
fuse_mount() {
  local what=$1 mnt=$2; shift 2
  "$@" >"$mnt.log" 2>&1 || { cat "$mnt.log" >&2; echo "install_media.sh: cannot mount $what" >&2; return 1; }
  mountpoint -q "$mnt" || { echo "install_media.sh: $what is not mounted on $mnt" >&2; return 1; }
}

fuse_unmount() {
  local mnt=$1
  mountpoint -q "$mnt" || return 0
  # Lazily when something still holds a file open there.
  fusermount -u "$mnt" 2>/dev/null || fusermount -u -z "$mnt"
}

unmount_images() {
  qm_unmap_drives e p
  fuse_unmount "$dir/cdrom"
  fuse_unmount "$dir/protected"
  rm -rf "$dir"
}

mount_images() {
  local iso=${1:?ISO image} disk1=${2:?image of disk 1} tool
  [ -f "$iso" ] || { echo "install_media.sh: no $iso" >&2; return 1; }
  [ -f "$disk1" ] || { echo "install_media.sh: no $disk1" >&2; return 1; }
  # Without FUSE these scenarios cannot run: say so and fail, never skip.
  [ -c /dev/fuse ] || { echo "install_media.sh: FUSE is missing (no /dev/fuse): the installations from the mounted release images need it, and root" >&2; return 1; }
  for tool in fuseiso fusefat fusermount; do
    command -v "$tool" >/dev/null || { echo "install_media.sh: FUSE is missing ($tool not installed; scripts/install-deps.sh installs it)" >&2; return 1; }
  done
  unmount_images
  mkdir -p "$dir/cdrom" "$dir/protected" || return 1
  fuse_mount "$iso" "$dir/cdrom" fuseiso "$iso" "$dir/cdrom" || return 1
  # Files without write permission: Wine shows them read-only, as a
  # write-protected disk's files are to the program.
  fuse_mount "$disk1" "$dir/protected" fusefat -o ro,umask=0222 "$disk1" "$dir/protected" || return 1
  qm_map_drive e "$dir/cdrom"
  qm_map_drive p "$dir/protected"
  qm_drive_type e cdrom || return 1
  qm_drive_type p floppy || return 1
  qm_restart_server
}

# The images are a fixture of their own: mount and unmount beside the
# shared setup and cleanup.
case ${1:-} in
  mount)
    dir=${2:?media folder}
    qm_wine_setup || exit 1
    mount_images "${3:-}" "${4:-}" || { echo "install_media.sh: mounting the images failed" >&2; unmount_images; exit 1; } ;;
  unmount)
    dir=${2:?media folder}
    # Unmounting must not depend on Wine starting.
    WINEPREFIX=$(qm_wine_root)/prefix
    unmount_images ;;
  *) qm_media_main "$@" ;;
esac
