#!/usr/bin/env bash
# The program's own run under valgrind memcheck, with disks of each layout
# attached: no invalid access, no use of uninitialised memory, no leak.
#
# usage: memcheck_test.sh /path/to/quillbrane
set -euo pipefail
binary=$(readlink -f "$1")
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

mkdir "$work/run"
cd "$work/run"
valgrind --tool=memcheck --error-exitcode=3 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  --track-origins=yes -q "$binary"
echo "memcheck clean"
