#!/usr/bin/env bash
# Measures the survey against the Linux tools that report the same facts,
# on one rig of loop disks, and prints a table of instructions (callgrind),
# median wall time (hyperfine) and peak resident memory (GNU time), the
# target ratios, how the survey's cost grows with disks and partitions, and
# where its instructions go.
#
#   bash bench/run.sh [--keep DIR] [SURVEY]
#
# as root. SURVEY defaults to a Release build of this tree in build-bench/.
# --keep DIR copies the callgrind profiles of the survey and the survey's
# report on the rig into DIR, for callgrind_annotate.
#
# The rig is made of sparse image files under /var/tmp: loop disks with GPT
# and MBR layouts (logical partitions included), ext4, NTFS and FAT32 file
# systems inside partitions reached through offset loop devices, one ext4
# mounted at two places and the NTFS mounted through ntfs-3g. Everything the
# script attaches or mounts is undone on exit, on failure and on INT/TERM;
# it touches no loop device it did not attach itself.
#
# Other loop devices may come and go on the machine while this runs. The
# measurements therefore run in a private mount namespace whose /sys/block
# and /sys/class/block list only the rig's devices, so the survey and lsblk
# see the same disks on every run.
set -euo pipefail

readonly ROUNDS=5          # hyperfine rounds; the commands alternate within each
readonly RUNS_PER_ROUND=10 # timed runs of each command per round
readonly RSS_RUNS=5        # runs under GNU time; the median peak RSS is kept
readonly SCALE_PART_MIB=4  # partition size on the scaling disks

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
self="$here/bench/run.sh"

die() { echo "bench: $*" >&2; exit 1; }

# ---------------------------------------------------------------------------
# Measurement helpers (used inside the private mount namespace).

# Lists only the given block devices in /sys/block and /sys/class/block.
show_devices() {
  local dir dev
  for dir in /sys/block /sys/class/block; do
    # The overlay is a tmpfs in the private namespace; it vanishes with it.
    if ((overlaid)); then umount "$dir"; fi
    mount -t tmpfs -o size=256k,mode=0755 quillbrane-bench "$dir"
    for dev in "$@"; do
      ln -s "/sys/devices/virtual/block/${dev#/dev/}" "$dir/${dev#/dev/}"
    done
  done
  overlaid=1
}

# Total instructions (callgrind Ir) of one run of the command; the profile
# is kept as $work/callgrind.<name>.
instructions() { # name command...
  local out="$work/callgrind.$1"
  shift
  valgrind --tool=callgrind --callgrind-out-file="$out" "$@" >/dev/null 2>/dev/null || true
  awk '/^(summary|totals):/ { print $2; exit }' "$out"
}

# Median peak resident set (KiB) over RSS_RUNS runs.
peak_rss() {
  local i
  for ((i = 0; i < RSS_RUNS; i++)); do
    /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>&1 || true
    # GNU time puts "Command exited with non-zero status" before the figure.
    tail -n 1 "$work/rss"
  done | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# Wall-time samples (seconds), one per line, appended to $work/wall.<label>.
# Called once per round; each call times every command RUNS_PER_ROUND times,
# with the order of the commands reversed on every other round.
time_round() {
  local round=$1; shift
  local -a labels=() commands=() order=()
  while (($#)); do labels+=("$1"); commands+=("$2"); shift 2; done
  local i n=${#labels[@]}
  for ((i = 0; i < n; i++)); do order+=($((round % 2 ? n - 1 - i : i))); done
  local -a args=()
  for i in "${order[@]}"; do args+=("${commands[$i]}"); done
  hyperfine -N -i --style none --warmup 2 --runs "$RUNS_PER_ROUND" \
    --export-json "$work/hyperfine.json" "${args[@]}" >/dev/null 2>&1
  local k=0
  for i in "${order[@]}"; do
    jq -r ".results[$k].times[]" "$work/hyperfine.json" >>"$work/wall.${labels[$i]}"
    k=$((k + 1))
  done
}

# Median of the wall-time samples of a label, in milliseconds.
median_ms() {
  sort -g "$work/wall.$1" | awk '{ v[NR] = $1 } END { printf "%.2f", 1000 * v[int((NR + 1) / 2)] }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
grouped() { sed ":a; s/\B[0-9]\{3\}\>/'&/; ta" <<<"$1"; }

measure() {
  work=$1
  # shellcheck source=/dev/null
  source "$work/rig.env"
  overlaid=0
  export LC_ALL=C.UTF-8
  local out="$work/out"
  cd "$out"

  # The comparison rig: its disks and the offset loops of its partitions.
  show_devices "${rig_disks[@]}" "${rig_parts[@]}"
  local fdisk_cmd="fdisk -l ${rig_disks[*]}"
  local lsblk_cmd="lsblk -O -J"
  local blkid_cmd="blkid -p ${rig_parts[*]}"
  local -a labels=(survey fdisk lsblk blkid true)
  local -A cmd=([survey]="$survey" [fdisk]="$fdisk_cmd" [lsblk]="$lsblk_cmd" [blkid]="$blkid_cmd"
    [true]="$(command -v true)")
  local -A ir rss wall
  local l
  for l in "${labels[@]}"; do
    # shellcheck disable=SC2086
    ir[$l]=$(instructions "$l" ${cmd[$l]})
    if [[ $l == survey ]]; then cp "$out/Quillbrane.txt" "$work/rig-report.txt"; fi
    # shellcheck disable=SC2086
    rss[$l]=$(peak_rss ${cmd[$l]})
  done
  local r
  for ((r = 0; r < ROUNDS; r++)); do
    time_round "$r" survey "${cmd[survey]}" fdisk "$fdisk_cmd" lsblk "$lsblk_cmd" blkid "$blkid_cmd" \
      true "${cmd[true]}"
  done
  for l in "${labels[@]}"; do wall[$l]=$(median_ms "$l"); done
  local peers_ir=$((ir[fdisk] + ir[lsblk] + ir[blkid]))
  local peers_wall peers_rss
  peers_wall=$(awk -v a="${wall[fdisk]}" -v b="${wall[lsblk]}" -v c="${wall[blkid]}" 'BEGIN { printf "%.2f", a + b + c }')
  peers_rss=$((rss[fdisk] + rss[lsblk] + rss[blkid]))

  echo
  echo "Rig: ${#rig_disks[@]} loop disks (GPT; MBR with 3 logical partitions; MBR; blank),"
  echo "${#rig_parts[@]} partitions on offset loop devices (ext4 x4, NTFS x2, FAT32 x3, none x1),"
  echo "one ext4 mounted at two places, one NTFS mounted through ntfs-3g."
  echo "Survey: $survey (tree $survey_version)"
  # What the survey found, so that a run that did less work shows.
  local report="$work/rig-report.txt"
  count() { grep -c -- "$1" "$report" || true; }
  echo "Its report on the rig: $(count '^IOCTL_DISK_GET_DRIVE_GEOMETRY_EX:') drives opened," \
    "$(count '^> PartitionEntry\[') partition entries, $(count '^    - File system: ') volumes with a" \
    "file system, $(count '^    - Path(') mount paths, $(count '^>>> ') error lines."
  echo
  printf '| %-32s | %15s | %15s | %15s |\n' "Command" "Instructions" "Median wall ms" "Peak RSS KiB"
  printf '|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..34})" "$(printf -- '-%.0s' {1..16}):" \
    "$(printf -- '-%.0s' {1..16}):" "$(printf -- '-%.0s' {1..16}):"
  row() { printf '| %-32s | %15s | %15s | %15s |\n' "$1" "$(grouped "$2")" "$3" "$(grouped "$4")"; }
  row "quillbrane" "${ir[survey]}" "${wall[survey]}" "${rss[survey]}"
  row "fdisk -l (${#rig_disks[@]} disks)" "${ir[fdisk]}" "${wall[fdisk]}" "${rss[fdisk]}"
  row "lsblk -O -J" "${ir[lsblk]}" "${wall[lsblk]}" "${rss[lsblk]}"
  row "blkid -p (${#rig_parts[@]} partitions)" "${ir[blkid]}" "${wall[blkid]}" "${rss[blkid]}"
  row "peers' sum" "$peers_ir" "$peers_wall" "$peers_rss"
  row "true (start-up floor; reference)" "${ir[true]}" "${wall[true]}" "${rss[true]}"
  echo
  echo "Targets (ratios from this run):"
  check() { # name value limit
    local verdict
    verdict=$(awk -v v="$2" -v l="$3" 'BEGIN { print (v <= l) ? "met" : "MISSED" }')
    printf '  %-44s %10s  (target <= %s) %s\n' "$1" "$2" "$3" "$verdict"
  }
  check "instructions / peers' sum" "$(ratio "${ir[survey]}" "$peers_ir")" 0.25
  check "instructions / lsblk -O -J" "$(ratio "${ir[survey]}" "${ir[lsblk]}")" 0.5
  check "median wall / peers' sum" "$(ratio "${wall[survey]}" "$peers_wall")" 0.5
  check "peak RSS MiB" "$(awk -v k="${rss[survey]}" 'BEGIN { printf "%.2f", k / 1024 }')" 4

  # Growth: the survey alone, on GPT disks whose partitions all hold ext4.
  local -a configs=()
  local n p
  for n in 1 5 15; do configs+=("d${n}p4"); done
  for p in 1 16; do configs+=("d5p$p"); done
  local -A cir cwall
  local c
  local disks
  for c in "${configs[@]}"; do
    disks="scale_${c}[@]"
    show_devices "${!disks}"
    cir[$c]=$(instructions "$c" "$survey")
  done
  for ((r = 0; r < ROUNDS; r++)); do
    for c in "${configs[@]}"; do
      disks="scale_${c}[@]"
      show_devices "${!disks}"
      time_round "$r" "$c" "$survey"
    done
  done
  for c in "${configs[@]}"; do cwall[$c]=$(median_ms "$c"); done

  echo
  echo "Growth of the survey (GPT disks, ${SCALE_PART_MIB} MiB ext4 partitions):"
  echo
  printf '| %-24s | %15s | %15s |\n' "Disks x partitions" "Instructions" "Median wall ms"
  printf '|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..26})" "$(printf -- '-%.0s' {1..16}):" "$(printf -- '-%.0s' {1..16}):"
  for c in d1p4 d5p4 d15p4 d5p1 d5p16; do
    n=${c#d}; n=${n%p*}; p=${c#*p}
    printf '| %-24s | %15s | %15s |\n' "$n x $p" "$(grouped "${cir[$c]}")" "${cwall[$c]}"
  done
  echo
  local d1=$(((cir[d5p4] - cir[d1p4]) / 4)) d2=$(((cir[d15p4] - cir[d5p4]) / 10))
  local p1=$(((cir[d5p4] - cir[d5p1]) / 15)) p2=$(((cir[d5p16] - cir[d5p4]) / 60))
  printf '  instructions per added disk (4 partitions): 1->5: %s, 5->15: %s, ratio %s\n' \
    "$(grouped "$d1")" "$(grouped "$d2")" "$(ratio "$d2" "$d1")"
  printf '  instructions per added partition (5 disks): 1->4: %s, 4->16: %s, ratio %s\n' \
    "$(grouped "$p1")" "$(grouped "$p2")" "$(ratio "$p2" "$p1")"

  echo
  echo "Where the survey's instructions go on the rig (callgrind, self cost, top 15):"
  callgrind_annotate --inclusive=no "$work/callgrind.survey" 2>/dev/null |
    awk '/file:function/ { on = 1; getline; next } on && !NF { exit } on { print; if (++n == 15) exit }' |
    sed -e 's/std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >/std::string/g' \
      -e 's/std::basic_string_view<char, std::char_traits<char> >/std::string_view/g' \
      -e 's/\[[^]]*\/\([^/]*\)\]$/[\1]/' -e 's/^/  /' ||
    true # awk leaves early: callgrind_annotate may end on SIGPIPE
}

if [[ "${1:-}" == "--measure" ]]; then
  survey=$3
  survey_version=$4
  measure "$2"
  exit 0
fi

# ---------------------------------------------------------------------------
# Rig set-up and tear-down (in the machine's own mount namespace).

[[ $(id -u) -eq 0 ]] || die "needs root (loop devices, mounts, a private mount namespace)"
bash "$here/scripts/install-deps.sh" --bench

keep=""
if [[ "${1:-}" == "--keep" ]]; then
  (($# >= 2)) || die "--keep needs a directory"
  mkdir -p "$2"
  keep=$(realpath "$2")
  shift 2
fi
if (($#)); then
  survey=$(realpath "$1")
  [[ -x "$survey" ]] || die "not an executable: $1"
else
  cmake -S "$here" -B "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DQUILLBRANE_BUILD_TESTS=OFF >/dev/null
  cmake --build "$here/build-bench" --target quillbrane -j"$(nproc)" >/dev/null
  survey="$here/build-bench/quillbrane"
fi
survey_version=$(git -C "$here" describe --always --dirty 2>/dev/null || echo unknown)

work=$(mktemp -d /var/tmp/quillbrane-bench.XXXXXX)
loops=()      # every loop device this script attached, in order
mounts=()     # every mount point this script mounted, in order
inner=""      # the measuring process, while it runs
attached=""

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  if [[ -n "$inner" ]] && kill -0 "$inner" 2>/dev/null; then
    # The measuring shell and the tool it is running at the moment.
    pkill -TERM -P "$inner" 2>/dev/null || true
    kill -TERM "$inner" 2>/dev/null || true
    wait "$inner" 2>/dev/null || true
  fi
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[$i]}" 2>/dev/null || umount -l "${mounts[$i]}" 2>/dev/null || true
  done
  for ((i = ${#loops[@]} - 1; i >= 0; i--)); do
    losetup -d "${loops[$i]}" 2>/dev/null || true
  done
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Attaches a loop device, remembers it and leaves its name in $attached;
# retries when another process takes the free device first. (Not to be
# called in a subshell: the name must reach the cleanup's list.)
attach() { # image [losetup options...]
  local image=$1 dev _
  shift
  for _ in 1 2 3 4 5; do
    if dev=$(losetup --show -f "$@" "$image" 2>/dev/null); then
      loops+=("$dev")
      attached=$dev
      return 0
    fi
    sleep 0.2
  done
  die "losetup failed for $image"
}

# Partitions of an image as "start size type" lines, in sectors, without
# extended-partition containers.
partitions_of() {
  sfdisk --json "$1" | jq -r '.partitiontable.partitions[]
    | select(.type != "5" and .type != "f" and .type != "85")
    | "\(.start) \(.size) \(.type)"'
}

guid() { printf '%08X-B3A7-4E5C-9A1F-%012X' "$((0x51420000 + $1))" "$2"; }

echo "Building the rig in $work ..."
mkdir -p "$work/out" "$work/mnt"

# Disk 1: GPT with an EFI system partition (FAT32), ext4, NTFS and an empty one.
truncate -s 256M "$work/gpt.img"
sfdisk -q "$work/gpt.img" <<EOF
label: gpt
label-id: $(guid 1 0)
size=40MiB, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B, uuid=$(guid 1 1), name="EFI system partition"
size=64MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4, uuid=$(guid 1 2), name="data"
size=64MiB, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, uuid=$(guid 1 3), name="shared"
size=32MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4, uuid=$(guid 1 4), name="scratch"
EOF
# Disk 2: MBR with a primary ext4 and an extended partition holding three
# logical partitions (NTFS, FAT32, ext4): 16 layout entries, the most a
# layout record holds.
truncate -s 256M "$work/mbr-logical.img"
sfdisk -q "$work/mbr-logical.img" <<EOF
label: dos
label-id: 0x5142a002
size=48MiB, type=83, bootable
type=5
size=64MiB, type=7
size=40MiB, type=c
size=32MiB, type=83
EOF
# Disk 3: MBR with two primaries (FAT32, ext4).
truncate -s 128M "$work/mbr.img"
sfdisk -q "$work/mbr.img" <<EOF
label: dos
label-id: 0x5142a003
size=48MiB, type=c
type=83
EOF
# Disk 4: blank.
truncate -s 64M "$work/blank.img"

rig_images=("$work/gpt.img" "$work/mbr-logical.img" "$work/mbr.img" "$work/blank.img")
rig_parts=()
declare -A fs_plan=(
  [gpt.img:1]="vfat ESP" [gpt.img:2]="ext4 data" [gpt.img:3]="ntfs shared" [gpt.img:4]="none"
  [mbr-logical.img:1]="ext4 boot" [mbr-logical.img:2]="ntfs windows" [mbr-logical.img:3]="vfat USB"
  [mbr-logical.img:4]="ext4 home" [mbr.img:1]="vfat CAMERA" [mbr.img:2]="ext4 media"
)
declare -A part_dev=()
for image in "${rig_images[@]}"; do
  [[ $(basename "$image") == blank.img ]] && continue
  k=0
  while read -r start size _; do
    k=$((k + 1))
    attach "$image" --offset $((start * 512)) --sizelimit $((size * 512))
    dev=$attached
    rig_parts+=("$dev")
    key="$(basename "$image"):$k"
    part_dev[$key]=$dev
    read -r fs label <<<"${fs_plan[$key]}"
    case $fs in
      ext4) mkfs.ext4 -q -F -E nodiscard -L "$label" -U "$(guid 9 "${#rig_parts[@]}")" "$dev" ;;
      vfat) mkfs.vfat -F 32 -s 1 -n "$label" -i "5142$(printf '%04X' "${#rig_parts[@]}")" "$dev" >/dev/null ;;
      ntfs)
        mkfs.ntfs -q -Q -F -L "$label" -p "$start" -H 255 -S 63 "$dev" >/dev/null
        # mkfs.ntfs draws the serial at random; the rig's is fixed.
        ntfslabel --new-serial="5142A000000000$(printf '%02X' "${#rig_parts[@]}")" "$dev" >/dev/null 2>&1
        ;;
    esac
  done < <(partitions_of "$image")
done

# ext4 "data" at two places, NTFS "shared" through ntfs-3g.
mkdir -p "$work/mnt/data" "$work/mnt/data-again" "$work/mnt/shared"
mount "${part_dev[gpt.img:2]}" "$work/mnt/data" && mounts+=("$work/mnt/data")
mount "${part_dev[gpt.img:2]}" "$work/mnt/data-again" && mounts+=("$work/mnt/data-again")
mount -t ntfs-3g "${part_dev[gpt.img:3]}" "$work/mnt/shared" && mounts+=("$work/mnt/shared")
sync

# The whole disks last, so that their block caches see the file systems.
rig_disks=()
for image in "${rig_images[@]}"; do
  attach "$image"
  rig_disks+=("$attached")
done

# Scaling disks: GPT, 1, 4 or 16 partitions of SCALE_PART_MIB each, every
# one holding the same small ext4; every disk and partition has its own GUID.
mkfs.ext4 -q -F -E nodiscard -L part -U "$(guid 8 0)" "$work/part.ext4" "${SCALE_PART_MIB}M"
make_scale_disk() { # image disk-index partitions
  local image=$1 d=$2 p=$3 i
  truncate -s $(((p * SCALE_PART_MIB) + 2))M "$image"
  {
    echo "label: gpt"
    echo "label-id: $(guid $((100 + d)) 0)"
    for ((i = 1; i <= p; i++)); do
      echo "size=${SCALE_PART_MIB}MiB, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4, uuid=$(guid $((100 + d)) "$i")"
    done
  } | sfdisk -q "$image"
  while read -r start _ _; do
    dd if="$work/part.ext4" of="$image" bs=1M seek=$((start * 512)) oflag=seek_bytes \
      conv=notrunc,sparse status=none
  done < <(partitions_of "$image")
}
declare -a scale_d1p4 scale_d5p4 scale_d15p4 scale_d5p1 scale_d5p16
for ((d = 1; d <= 15; d++)); do
  make_scale_disk "$work/scale-p4-$d.img" "$d" 4
  attach "$work/scale-p4-$d.img"
  scale_d15p4+=("$attached")
  if ((d <= 5)); then scale_d5p4+=("$attached"); fi
  if ((d == 1)); then scale_d1p4+=("$attached"); fi
done
for ((d = 1; d <= 5; d++)); do
  make_scale_disk "$work/scale-p1-$d.img" $((20 + d)) 1
  attach "$work/scale-p1-$d.img"
  scale_d5p1+=("$attached")
  make_scale_disk "$work/scale-p16-$d.img" $((40 + d)) 16
  attach "$work/scale-p16-$d.img"
  scale_d5p16+=("$attached")
done

declare -p rig_disks rig_parts scale_d1p4 scale_d5p4 scale_d15p4 scale_d5p1 scale_d5p16 >"$work/rig.env"
echo "Rig: ${#loops[@]} loop devices attached; measuring ..."

unshare -m --propagation private -- bash "$self" --measure "$work" "$survey" "$survey_version" &
inner=$!
wait "$inner"
inner=""
if [[ -n "$keep" ]]; then
  cp "$work"/callgrind.survey "$work"/callgrind.d*p* "$work/rig-report.txt" "$keep/"
  echo
  echo "Profiles and the rig's report kept in $keep"
fi
