#!/usr/bin/env bash
# The survey only reads disks: every device it opens is opened read-only,
# and the images behind the attached loop disks are byte-identical before
# and after a survey. Needs root (loop devices) and strace.
#
# usage: read_only_test.sh /path/to/quillbrane
set -euo pipefail
binary=$(readlink -f "$1")
if [[ $(id -u) -ne 0 ]] || ! command -v losetup >/dev/null || ! command -v strace >/dev/null; then
  echo "SKIP: needs root, losetup and strace"
  exit 77
fi
work=$(mktemp -d /tmp/quillbrane-readonly.XXXXXX)
loops=()
cleanup() {
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A GPT disk, an MBR disk with logical partitions and a disk with no table.
truncate -s 32M "$work/gpt.img" "$work/mbr.img" "$work/blank.img"
sgdisk -o -n1:2048:+4M -c1:first -n2:0:+4M "$work/gpt.img" >/dev/null
printf 'label: dos\n,4M,83\n,,5\n,4M,7\n,4M,83\n' | sfdisk -q "$work/mbr.img"
for img in gpt mbr blank; do
  loops+=("$(losetup -f --show "$work/$img.img")")
done
before=$(sha256sum "$work"/*.img)

mkdir "$work/run"
# LeakSanitizer cannot work under ptrace; a sanitized build still checks
# everything else.
(cd "$work/run" && ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" strace -f -qq -e trace=open,openat,openat2,creat -o "$work/trace" "$binary")
after=$(sha256sum "$work"/*.img)

failures=0
if [[ "$before" != "$after" ]]; then
  echo "FAIL: an image changed during the survey" >&2
  failures=1
fi
# Every open of a device node must be read-only; only the report is written.
writes=$(grep -E 'O_WRONLY|O_RDWR|creat\(' "$work/trace" | grep -v '"Quillbrane.txt"' || true)
if [[ -n "$writes" ]]; then
  echo "FAIL: opened for writing:" >&2
  echo "$writes" >&2
  failures=1
fi
devices=$(grep -c -E '"/dev/(loop|vd|sd|nvme)[^"]*", O_RDONLY' "$work/trace" || true)
if ((devices < ${#loops[@]})); then
  echo "FAIL: expected the attached disks to be opened read-only, saw $devices opens" >&2
  failures=1
fi
for l in "${loops[@]}"; do
  if ! grep -q "\"$l\", O_RDONLY" "$work/trace"; then
    echo "FAIL: $l was not surveyed" >&2
    failures=1
  fi
done
((failures == 0)) && echo "read-only checks passed"
exit "$failures"
