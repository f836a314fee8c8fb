#!/usr/bin/env bash
# The program's own run under valgrind memcheck, with disks of each layout
# attached: no invalid access, no use of uninitialised memory, no leak.
# Given the hostile-disk writer too (and root), also every disk of the
# hostile catalogue, 15 at a time, each batch surveyed in a private mount
# namespace whose /sys/block lists only that batch.
#
# usage: memcheck_test.sh /path/to/quillbrane [/path/to/write_hostile_disks]
set -euo pipefail
binary=$(readlink -f "$1")
writer=${2:+$(readlink -f "$2")}
if ! command -v valgrind >/dev/null; then
  echo "SKIP: needs valgrind"
  exit 77
fi
work=$(mktemp -d /tmp/quillbrane-memcheck.XXXXXX)
loops=()
cleanup() {
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

if [[ $(id -u) -eq 0 ]] && command -v losetup >/dev/null; then
  truncate -s 32M "$work/gpt.img" "$work/mbr.img"
  sgdisk -o -n1:2048:+4M -c1:first -n2:0:+4M "$work/gpt.img" >/dev/null
  printf 'label: dos\n,4M,83\n,,5\n,4M,7\n,4M,83\n' | sfdisk -q "$work/mbr.img"
  loops+=("$(losetup -f --show "$work/gpt.img")")
  loops+=("$(losetup -f --show "$work/mbr.img")")
else
  echo "note: not root, surveying without attached disks"
fi

memcheck=(valgrind --tool=memcheck --error-exitcode=3 --leak-check=full --errors-for-leak-kinds=definite,indirect
          --track-origins=yes -q)
mkdir "$work/run"
(cd "$work/run" && "${memcheck[@]}" "$binary")
echo "memcheck clean"

if [[ -n "$writer" && $(id -u) -eq 0 ]] && command -v losetup >/dev/null && command -v unshare >/dev/null; then
  mkdir "$work/hostile"
  "$writer" "$work/hostile"
  mapfile -t disks < <(awk -F'\t' '$1 == "disk" { print $2 "\t" $3 }' "$work/hostile/manifest")
  for ((first = 0; first < ${#disks[@]}; first += 15)); do
    for l in "${loops[@]}"; do losetup -d "$l"; done
    loops=()
    rm -rf "$work/view" && mkdir "$work/view"
    for disk in "${disks[@]:first:15}"; do
      IFS=$'\t' read -r file sector <<<"$disk"
      loops+=("$(losetup -f --show -r -b "$sector" "$work/hostile/$file")")
      ln -s "$(readlink -f "/sys/block/${loops[-1]#/dev/}")" "$work/view/"
    done
    unshare --mount --propagation private sh -c 'mount --bind "$1" /sys/block && cd "$2" && shift 2 && exec "$@"' \
      sh "$work/view" "$work/run" "${memcheck[@]}" "$binary"
  done
  echo "memcheck clean on ${#disks[@]} hostile disks"
fi
