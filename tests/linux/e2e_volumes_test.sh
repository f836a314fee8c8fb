#!/usr/bin/env bash
# The volumes of real loop disks in the report: a GPT disk with an ext4
# partition mounted at two places (and a bind mount of one of its folders,
# which is no mount point of the volume) and an unmounted NTFS partition; an
# MBR disk with an empty primary partition and an NTFS logical partition
# mounted read-only through ntfs-3g. Partitions are reached through loop
# devices at their offsets, over the image file or over the disk's own loop
# device, as the kernel here reads no partition tables. Other loop disks may
# be attached by others meanwhile: our disks are found in the report by
# their random disk GUID and signature. Everything attached or mounted is
# undone on exit, failure included.
#
# usage: e2e_volumes_test.sh /path/to/quillbrane
set -euo pipefail
binary=$(readlink -f "$1")

if [[ $(id -u) -ne 0 ]]; then
  echo "SKIP: attaching loop devices and mounting need root"
  exit 77
fi
for tool in losetup sgdisk sfdisk mkfs.ext4 mkfs.ntfs ntfs-3g blkid mount umount; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing"
    exit 77
  fi
done

work=$(mktemp -d /tmp/quillbrane-e2e.XXXXXX)
loops=()
mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
  done
  # Partition views over a disk's loop device go before that disk.
  for ((i = ${#loops[@]} - 1; i >= 0; i--)); do losetup -d "${loops[i]}" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# attach FILE [OFFSET SIZE]: sets $attached to the new loop device. Not run
# in a subshell, so the cleanup learns of every device.
attached=
attach() {
  if (($# == 3)); then
    attached=$(losetup -f --show --offset "$2" --sizelimit "$3" "$1")
  else
    attached=$(losetup -f --show "$1")
  fi
  loops+=("$attached")
}
mount_at() {  # mount_at DIR COMMAND...: runs COMMAND with DIR last
  local dir=$1
  shift
  mkdir -p "$dir"
  "$@" "$dir"
  mounted+=("$dir")
}
upper() { tr '[:lower:]' '[:upper:]'; }
new_guid() { upper </proc/sys/kernel/random/uuid; }

MiB=$((1024 * 1024))

# --- the GPT disk: ext4 at 1 MiB, NTFS after it, 16 MiB each.
gpt_disk_guid=$(new_guid)
ext4_guid=$(new_guid)
ntfs_guid=$(new_guid)
truncate -s 64M "$work/gpt.img"
sgdisk -o -U "$gpt_disk_guid" \
  -n1:2048:+16M -t1:8300 -c1:quill-ext4 -u1:"$ext4_guid" \
  -n2:0:+16M -t2:0700 -c2:quill-ntfs -u2:"$ntfs_guid" "$work/gpt.img" >/dev/null
attach "$work/gpt.img"
gpt_loop=$attached
attach "$work/gpt.img" $((2048 * 512)) $((16 * MiB))
ext4_loop=$attached
# The second partition through the disk's own loop device.
attach "$gpt_loop" $((34816 * 512)) $((16 * MiB))
ntfs_loop=$attached
mkfs.ext4 -q -F -L quill-ext4 "$ext4_loop"
mkfs.ntfs -q -F -Q -L quill-ntfs "$ntfs_loop" >"$work/mkfs.log" 2>&1 || { cat "$work/mkfs.log" >&2; exit 1; }
mount_at "$work/mnt/a" mount "$ext4_loop"
mount_at "$work/mnt/b" mount "$ext4_loop"
mkdir "$work/mnt/a/sub"
mount_at "$work/mnt/bind" mount --bind "$work/mnt/a/sub"

# --- the MBR disk: a primary partition without a file system, an extended
# one, and in it a logical NTFS partition.
signature=$(od -An -tx4 -N4 /dev/urandom | tr -d ' ' | upper)
truncate -s 64M "$work/mbr.img"
printf 'label: dos\nlabel-id: 0x%s\n,16M,83\n,,5\n,16M,7\n' "$signature" | sfdisk -q "$work/mbr.img"
read -r logical_start logical_size < <(sfdisk -d "$work/mbr.img" |
  sed -n 's/^.*mbr\.img5 : start= *\([0-9]*\), size= *\([0-9]*\),.*$/\1 \2/p')
attach "$work/mbr.img"
mbr_loop=$attached
attach "$work/mbr.img" $((logical_start * 512)) $((logical_size * 512))
logical_loop=$attached
mkfs.ntfs -q -F -Q -L quill-logical "$logical_loop" >"$work/mkfs.log" 2>&1 || { cat "$work/mkfs.log" >&2; exit 1; }
mount_at "$work/mnt/n" ntfs-3g -o ro "$logical_loop"

# --- the survey.
mkdir "$work/run"
(cd "$work/run" && "$binary")
report=$(tr -d '\r' <"$work/run/Quillbrane.txt")

# The drive block (banner to banner) that contains the text $1.
block_with() {
  # Through the environment: awk -v would take backslashes as escapes.
  MARKER=$1 awk '
    function flush() { if (index(block, ENVIRON["MARKER"])) { printf "%s", block; found = 1 } block = "" }
    /^\\\\\.\\PhysicalDrive[0-9]+:$/ { flush(); if (found) exit }
    { block = block $0 "\n" }
    END { if (!found) flush() }' <<<"$report"
}
# The lines of a volume, from its volume line to the blank line after it.
volume_lines() {
  LINE="  \\\\?\\Volume{$2}\\" awk '$0 == ENVIRON["LINE"] { on = 1 } on && $0 == "" { exit } on { print }' <<<"$1"
}
# The lines of partition entry $2, from its heading to its volume line.
entry_lines() {
  HEAD="> PartitionEntry[$2]:" awk '
    $0 == ENVIRON["HEAD"] { on = 1 } on && index($0, "  \\\\?\\Volume") == 1 { exit } on { print }' <<<"$1"
}
expect_entry() {  # expect_entry WHAT BLOCK INDEX EXPECTED-LINES
  local got
  got=$(entry_lines "$2" "$3")
  if [[ "$got" != "$4" ]]; then
    fail "$1: entry lines differ"
    diff <(echo "$4") <(echo "$got") >&2 || true
  fi
}
# A number grouped in threes with apostrophes, as the report writes sizes.
grouped() { sed -e ':a' -e "s/\B[0-9]\{3\}\>/'&/" -e 'ta' <<<"$1"; }
# The 8-byte little-endian offset of an MBR identifier, as the GUID text's
# last two groups show it.
offset_group() {
  local hex
  hex=$(printf '%016X' "$1")
  echo "${hex:14:2}${hex:12:2}-${hex:10:2}${hex:8:2}${hex:6:2}${hex:4:2}${hex:2:2}${hex:0:2}"
}
expect_volume() {  # expect_volume WHAT BLOCK GUID EXPECTED-LINES
  local got
  got=$(volume_lines "$2" "$3")
  if [[ "$got" != "$4" ]]; then
    fail "$1: volume lines differ"
    diff <(echo "$4") <(echo "$got") >&2 || true
  fi
}

gpt_block=$(block_with "- DiskId: {$gpt_disk_guid}")
mbr_block=$(block_with "- Signature: $signature (hex)")
if [[ -z "$gpt_block" || -z "$mbr_block" ]]; then
  # The survey covers drives 0 to 14 only: with that many disks attached by
  # others before ours, ours are not in the report.
  if ! grep -q -F ">>> Drive open error #2:" <<<"$report"; then
    echo "SKIP: drives 0 to 14 are all taken by other disks; ours are $gpt_loop and $mbr_loop"
    exit 77
  fi
  fail "our disks are not in the report (GPT ${gpt_disk_guid}, MBR signature $signature)"
  echo "$report" | grep -E 'PhysicalDrive|DiskSize|DiskId|Signature|error' >&2 || true
  exit 1
fi
echo "GPT disk $gpt_loop is $(grep -o 'PhysicalDrive[0-9]*' <<<"$gpt_block" | head -1)," \
  "MBR disk $mbr_loop is $(grep -o 'PhysicalDrive[0-9]*' <<<"$mbr_block" | head -1)"

for block in "$gpt_block" "$mbr_block"; do
  grep -q -x -F -- "- DiskSize: 67'108'864" <<<"$block" || fail "DiskSize of a 64 MiB disk"
done

# GPT entries: the partition lines our volumes hang on.
expect_entry "GPT ext4 partition" "$gpt_block" 0 "$(cat <<EOF
> PartitionEntry[0]:
  * PartitionStyle: GPT
  * StartingOffset: 1'048'576
  * PartitionLength: 16'777'216
  * PartitionNumber: 1
  * RewritePartition: No
  * IsServicePartition: No
  * PartitionType: {0FC63DAF-8483-4772-8E79-3D69D8477DE4}
  * PartitionId: {$ext4_guid}
  * Attributes: 0000000000000000 (hex)
  * Name: quill-ext4
EOF
)"
grep -q -x -F "  * PartitionId: {$ntfs_guid}" <<<"$gpt_block" || fail "NTFS partition's PartitionId"

ext4_uuid=$(blkid -p -o value -s UUID "$ext4_loop" | upper)
expect_volume "mounted ext4" "$gpt_block" "$ext4_guid" "$(cat <<EOF
  \\\\?\\Volume{$ext4_guid}\\
    - Path(1): $work/mnt/a/
    - Path(2): $work/mnt/b/
    - Drive type: Fixed
    - Volume name: quill-ext4
    - File system: ext4
    - Serial number: ${ext4_uuid:0:8} (hex)
    - Maximum component length: 255
    - File system flags: 01C004EF (hex)
EOF
)"

ntfs_uuid=$(blkid -p -o value -s UUID "$ntfs_loop" | upper)
expect_volume "unmounted NTFS" "$gpt_block" "$ntfs_guid" "$(cat <<EOF
  \\\\?\\Volume{$ntfs_guid}\\
    - Drive type: Fixed
    - Volume name: quill-ntfs
    - File system: NTFS
    - Serial number: ${ntfs_uuid:8:8} (hex)
    - Maximum component length: 255
    - File system flags: 03E706FF (hex)
EOF
)"

# MBR entries: slot 0 the empty primary, slot 1 the extended container
# (not written), the logical in the first EBR's slot 0, entry 4.
primary_id="$signature-0000-0000-$(offset_group $((2048 * 512)))"
logical_id="$signature-0000-0000-$(offset_group $((logical_start * 512)))"
grep -q -x -F "> PartitionEntry[1]:" <<<"$mbr_block" && fail "the extended container is written"
expect_entry "MBR logical partition" "$mbr_block" 4 "$(cat <<EOF
> PartitionEntry[4]:
  * PartitionStyle: MBR
  * StartingOffset: $(grouped $((logical_start * 512)))
  * PartitionLength: $(grouped $((logical_size * 512)))
  * PartitionNumber: 2
  * RewritePartition: No
  * IsServicePartition: No
  * PartitionType: 07 (hex)
  * BootIndicator: No
  * RecognizedPartition: Yes
  * HiddenSectors: 2'048
  * PartitionId: {$logical_id}
EOF
)"

expect_volume "primary without a file system" "$mbr_block" "$primary_id" "$(cat <<EOF
  \\\\?\\Volume{$primary_id}\\
    - Drive type: Fixed
EOF
)"

logical_uuid=$(blkid -p -o value -s UUID "$logical_loop" | upper)
expect_volume "read-only NTFS through FUSE" "$mbr_block" "$logical_id" "$(cat <<EOF
  \\\\?\\Volume{$logical_id}\\
    - Path(1): $work/mnt/n/
    - Drive type: Fixed
    - Volume name: quill-logical
    - File system: NTFS
    - Serial number: ${logical_uuid:8:8} (hex)
    - Maximum component length: 255
    - File system flags: 03EF06FF (hex)
EOF
)"

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all volume checks passed"
