#!/usr/bin/env bash
# The cost of surveying hostile disks against healthy ones: every disk of
# the hostile-disk catalogue (tests/hostile_disks.cpp) attached as a loop
# disk, 15 at a time (the survey shows 15 drives), and for each batch a
# healthy set of as many disks made by sgdisk and sfdisk (GPT with three
# partitions, MBR with three logical partitions). For each set it prints
# the instructions of one survey (valgrind --tool=callgrind) and its wall
# time (hyperfine, when installed). A figure, not a test: the hostile sets
# should stay in the same order as the healthy ones.
#
#   bash bench/hostile.sh [SURVEY WRITER]
#
# as root. SURVEY and WRITER (the program and write_hostile_disks) default
# to a Release build of this tree in build-bench/. Each survey runs in a
# private mount namespace whose /sys/block lists only the set's disks, so
# loop disks that others attach meanwhile are not surveyed. Everything the
# script attaches is detached on exit, on failure and on INT/TERM.
set -euo pipefail

readonly BATCH=15
readonly RUNS=30   # hyperfine runs per set, after 3 warm-up runs

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
die() { echo "bench: $*" >&2; exit 1; }

# Inside the namespace: list only the given devices, then measure.
if [[ "${1:-}" == "--measure" ]]; then
  shift
  survey=$1 run=$2 name=$3
  shift 3
  mount -t tmpfs -o size=64k,mode=0755 quillbrane-bench /sys/block
  for dev in "$@"; do ln -s "/sys/devices/virtual/block/${dev#/dev/}" "/sys/block/${dev#/dev/}"; done
  cd "$run"
  valgrind --tool=callgrind --callgrind-out-file="$run/callgrind.$name" "$survey" >/dev/null 2>&1 || true
  ir=$(awk '/^(summary|totals):/ { print $2; exit }' "$run/callgrind.$name")
  wall="-"
  if command -v hyperfine >/dev/null; then
    hyperfine -N --warmup 3 --runs "$RUNS" --export-json "$run/hyperfine.$name.json" "$survey" >/dev/null 2>&1
    wall=$(awk -F': ' '/"mean"/ { m = $2 } /"stddev"/ { s = $2 } END { gsub(/,/, "", m); gsub(/,/, "", s);
                 printf "%.2f ± %.2f", m * 1000, s * 1000 }' "$run/hyperfine.$name.json")
  fi
  blocks=$(grep -c -a -F -- "- DiskSize: " "$run/Quillbrane.txt" || true)
  printf '%-12s %6d %14s %18s\n' "$name" "$blocks" "$ir" "$wall"
  exit 0
fi

[[ $(id -u) -eq 0 ]] || die "needs root (loop devices, a private mount namespace)"
for tool in losetup unshare valgrind sgdisk sfdisk; do command -v "$tool" >/dev/null || die "needs $tool"; done
command -v hyperfine >/dev/null || echo "note: hyperfine is not installed; wall times are left out"

if (($# >= 2)); then
  survey=$(readlink -f "$1")
  writer=$(readlink -f "$2")
else
  cmake -S "$here" -B "$here/build-bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$here/build-bench" -j2 --target quillbrane write_hostile_disks >/dev/null
  survey="$here/build-bench/quillbrane"
  writer="$here/build-bench/tests/write_hostile_disks"
fi

work=$(mktemp -d /var/tmp/quillbrane-hostile-bench.XXXXXX)
loops=()
detach_all() {
  local l
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
  loops=()
}
trap 'detach_all; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

"$writer" "$work"
mapfile -t hostile < <(awk -F'\t' '$1 == "disk" { print $2 "\t" $3 }' "$work/manifest")

# Healthy disks: GPT with three partitions and MBR with three logicals.
healthy() { # index -> an image path
  local img="$work/healthy-$1.img"
  truncate -s 64M "$img"
  if (($1 % 2)); then
    printf 'label: dos\n,8M,83\n,,5\n,8M,83\n,8M,7\n,8M,83\n' | sfdisk -q "$img"
  else
    sgdisk -o -n1:2048:+8M -c1:one -n2:0:+8M -c2:two -n3:0:+8M -c3:three "$img" >/dev/null
  fi
  echo "$img"
}

measure() { # name device...
  mkdir -p "$work/run"
  unshare --mount --propagation private bash "$here/bench/hostile.sh" --measure "$survey" "$work/run" "$@"
}

echo "survey: $survey"
echo "runs per wall time: $RUNS (hyperfine -N, 3 warm-up runs)"
printf '%-12s %6s %14s %18s\n' "set" "disks" "instructions" "wall ms (mean±sd)"
set_number=0
for ((first = 0; first < ${#hostile[@]}; first += BATCH)); do
  set_number=$((set_number + 1))
  batch=("${hostile[@]:first:BATCH}")
  for disk in "${batch[@]}"; do
    IFS=$'\t' read -r file sector <<<"$disk"
    loops+=("$(losetup -f --show -r -b "$sector" "$work/$file")")
  done
  measure "hostile-$set_number" "${loops[@]}"
  detach_all
  for ((k = 0; k < ${#batch[@]}; k++)); do
    loops+=("$(losetup -f --show -r "$(healthy "$k")")")
  done
  measure "healthy-$set_number" "${loops[@]}"
  detach_all
done
