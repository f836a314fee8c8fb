#!/usr/bin/env bash
# The survey of hostile disks, end to end: every disk of the hostile-disk
# catalogue (tests/hostile_disks.cpp) is attached as a loop disk, with its
# own sector size, and surveyed under a time limit. The report must be well
# formed (check_report.awk), each disk's block must show what the catalogue
# says, and no image may change. Then a disk whose file system has a label
# with line ends and control bytes, mounted at paths that hold them and
# bytes that are not UTF-8: no line of the report may be forged by them.
#
# Other developers attach loop disks on this machine at the same time, and
# the survey shows 15 drives at most; so each survey runs in a private
# mount namespace whose /sys/block lists only the loop disks this test
# attached (the devices themselves are the real ones), and the images are
# attached 15 at a time.
#
# usage: hostile_disks_test.sh /path/to/quillbrane /path/to/write_hostile_disks
set -euo pipefail
binary=$(readlink -f "$1")
writer=$(readlink -f "$2")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [[ $(id -u) -ne 0 ]] || ! command -v losetup >/dev/null || ! command -v unshare >/dev/null; then
  echo "SKIP: attaching loop disks needs root, losetup and unshare"
  exit 77
fi
work=$(mktemp -d /tmp/quillbrane-hostile.XXXXXX)
loops=()
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || true; done
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# One survey in $work/run of the loop disks in ${loops[@]}, at most 30
# seconds; its report is well formed.
survey() {
  rm -rf "$work/run" "$work/view" && mkdir "$work/run" "$work/view"
  local l status=0
  for l in "${loops[@]}"; do ln -s "$(readlink -f "/sys/block/${l#/dev/}")" "$work/view/${l#/dev/}"; done
  unshare --mount --propagation private sh -c \
    'mount --bind "$1" /sys/block && cd "$2" && exec timeout 30 "$3"' sh "$work/view" "$work/run" "$binary" \
    >"$work/stdout" 2>"$work/stderr" || status=$?
  report="$work/run/Quillbrane.txt"
  [[ $status -eq 0 ]] || fail "the survey exited with status $status (124: it ran past 30 s)"
  [[ ! -s "$work/stdout" && ! -s "$work/stderr" ]] || fail "the survey wrote to the console"
  awk -f "$here/check_report.awk" "$report" || fail "the report is not well formed (kept as $work/bad-report.txt)"
  [[ $failures -eq 0 ]] || cp "$report" "$work/bad-report.txt"
}

# A number grouped as the report groups it: 4096 -> 4'096.
grouped() { sed -e ':a' -e "s/\B[0-9]\{3\}\>/'&/" -e 'ta' <<<"$1"; }

# The block of the drive whose geometry shows DiskSize $1 and
# BytesPerSector $2 (plain numbers), without its CR.
block_of() {
  awk -v size="- DiskSize: $(grouped "$1")" -v sector="- BytesPerSector: $(grouped "$2")" '
    { sub(/\r$/, "") }
    /^-+$/ && (getline device) > 0 && (getline dash) > 0 {
      if (hit == 2) exit
      text = ""; hit = 0; next
    }
    { text = text $0 "\n"; if ($0 == size || $0 == sector) hit++ }
    END { if (hit == 2) printf "%s", text }' "$report"
}

"$writer" "$work"

room=15

mapfile -t disks < <(awk -F'\t' '$1 == "disk" { print $2 "\t" $3 "\t" $4 }' "$work/manifest")
echo "== ${#disks[@]} hostile disks, $room at a time"
for ((first = 0; first < ${#disks[@]}; first += room)); do
  batch=("${disks[@]:first:room}")
  for disk in "${batch[@]}"; do
    IFS=$'\t' read -r file sector _ <<<"$disk"
    loops+=("$(losetup -f --show -b "$sector" "$work/$file")")
  done
  before=$(cd "$work" && sha256sum *.img)
  survey
  after=$(cd "$work" && sha256sum *.img)
  [[ "$before" == "$after" ]] || fail "an image changed during the survey"

  for disk in "${batch[@]}"; do
    IFS=$'\t' read -r file sector bytes <<<"$disk"
    text=$(block_of "$bytes" "$sector")
    if [[ -z "$text" ]]; then
      fail "$file: no drive block with DiskSize $bytes and BytesPerSector $sector"
      continue
    fi
    # The catalogue's lines, in order, and exactly its entry headings.
    expected=$(awk -F'\t' -v f="$file" '$1 == "disk" { on = ($2 == f) } on && $1 == "expect" { print $2 }' "$work/manifest")
    missing=$(awk 'NR == FNR { want[++w] = $0; next } k < w && $0 == want[k + 1] { k++ }
                   END { if (k < w) print want[k + 1] }' <(printf '%s\n' "$expected") <(printf '%s\n' "$text"))
    [[ -z "$missing" ]] || fail "$file: expected, in order, the line [$missing]"
    want=$(awk -F'\t' -v f="$file" '$1 == "disk" { on = ($2 == f) } on && $1 == "entries" { print $2 }' "$work/manifest")
    got=$(grep -o '^> PartitionEntry\[[0-9]*\]' <<<"$text" | tr -dc '0-9\n' | paste -sd' ' || true)
    [[ "${got:--}" == "$want" ]] || fail "$file: entry headings [${got:--}], expected [$want]"
  done
  for l in "${loops[@]}"; do losetup -d "$l"; done
  loops=()
done

echo "== a label and mount paths with line ends, control bytes and bytes that are not UTF-8"
if command -v mkfs.ext4 >/dev/null && command -v sgdisk >/dev/null; then
  image="$work/labels.img"
  truncate -s 24M "$image"
  sgdisk -o -n1:2048:+16M -t1:8300 -c1:"name" "$image" >/dev/null
  part=$(losetup -f --show --offset $((2048 * 512)) --sizelimit $((16 * 1024 * 1024)) "$image")
  loops+=("$part")
  # ext4 labels hold at most 16 bytes.
  mkfs.ext4 -q -L $'L\r\n- Forged: 1\x01' "$part"
  dirs=("$work/m1"$'\r\n'"    - Path(9): forged" "$work/m2"$'\x1b[2J\xff\xfe')
  for dir in "${dirs[@]}"; do
    mkdir -p "$dir"
    mount "$part" "$dir"
    mounts+=("$dir")
  done
  whole=$(losetup -f --show "$image")
  loops+=("$whole")
  before=$(sha256sum "$image")
  survey
  [[ "$before" == "$(sha256sum "$image")" ]] || fail "the mounted disk's image changed"
  for forged in "    - Path(9): forged" "- Forged: 1"; do
    if grep -q -a -x -F -- "$forged"$'\r' "$report"; then fail "a forged line: [$forged]"; fi
  done
  text=$(block_of "$(stat -c %s "$image")" 512)
  [[ -n "$text" ]] || fail "labels.img: no drive block"
  grep -q -a -x -F -- "    - Volume name: L??- Forged: 1?" <<<"$text" || fail "the label's control bytes are not '?'"
  grep -q -a -x -F -- "    - Path(1): $work/m1??    - Path(9): forged/" <<<"$text" || fail "the first mount path"
  grep -q -a -x -F -- "    - Path(2): $work/m2?[2J"$'\xff\xfe'"/" <<<"$text" || fail "the second mount path, bytes as they are"
  grep -q -a -x -F -- "    - File system: ext4" <<<"$text" || fail "the volume's file system"
  # Only the mounted partition's volume has paths, and each once.
  [[ $(grep -a -c -F -- "    - Path(" <<<"$text") -eq 2 ]] || fail "the volume's mount paths, once each"
else
  echo "SKIP (part): needs mkfs.ext4 and sgdisk"
fi

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all hostile-disk checks passed"
