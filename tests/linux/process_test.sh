#!/usr/bin/env bash
# The program as a process on this machine: a normal run, a report that
# cannot be created (a directory, a symbolic link or a FIFO in its place, a
# read-only file system), and a report on a file system that fills up (root
# only: a small tmpfs).
#
# usage: process_test.sh /path/to/quillbrane
set -euo pipefail
binary=$(readlink -f "$1")
work=$(mktemp -d /tmp/quillbrane-process.XXXXXX)
mounted=()
loops=()
cleanup() {
  for m in "${mounted[@]}"; do umount "$m" 2>/dev/null || true; done
  for l in "${loops[@]}"; do losetup -d "$l" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; if ! "$@"; then fail "$what"; fi; }

# Runs the binary in directory $1; leaves status, stdout and stderr in files.
# As root, in a private mount namespace whose /sys/block lists only the loop
# disks of this test: other developers' loop disks on the machine would
# otherwise push ours past drive 14.
run_in() {
  local dir=$1 status=0 l
  if ((is_root)); then
    rm -rf "$work/view" && mkdir "$work/view"
    for l in "${loops[@]}"; do ln -s "$(readlink -f "/sys/block/${l#/dev/}")" "$work/view/${l#/dev/}"; done
    unshare --mount --propagation private sh -c 'mount --bind "$1" /sys/block && cd "$2" && exec "$3"' \
      sh "$work/view" "$dir" "$binary" >"$work/stdout" 2>"$work/stderr" || status=$?
  else
    (cd "$dir" && "$binary" >"$work/stdout" 2>"$work/stderr") || status=$?
  fi
  echo "$status" >"$work/status"
}

is_root=0
if [[ $(id -u) -eq 0 ]] && command -v losetup >/dev/null && command -v sgdisk >/dev/null &&
   command -v unshare >/dev/null; then
  is_root=1
  # Disks with partitions, attached for the whole test: the normal run shows
  # their geometry, and they make the report larger than one flush.
  for i in 1 2 3 4; do
    img="$work/disk$i.img"
    truncate -s $((60 + i))M "$img"
    sgdisk -o -n1:2048:+8M -n2:0:+8M -n3:0:+8M -n4:0:+8M "$img" >/dev/null
    loops+=("$(losetup -f --show "$img")")
  done
else
  echo "SKIP: loop disks and full file systems need root, losetup, sgdisk and unshare"
fi

echo "== a normal run"
mkdir "$work/normal"
echo "stale text from an earlier run that is longer than nothing" >"$work/normal/Quillbrane.txt"
run_in "$work/normal"
report="$work/normal/Quillbrane.txt"
check "exit status 0" test "$(cat "$work/status")" = 0
check "stdout empty" test ! -s "$work/stdout"
check "stderr empty" test ! -s "$work/stderr"
check "earlier report replaced" bash -c "! grep -q 'stale text' '$report'"
check "15 banners" test "$(grep -c $'^\\\\\\\\\\.\\\\PhysicalDrive[0-9]*:\r$' "$report")" = 15
check "every line ends in CR LF" bash -c "! grep -q -v $'\r$' '$report'"
check "no bare CR" test "$(tr -cd '\r' <"$report" | wc -c)" = "$(wc -l <"$report")"
for n in 0 9; do
  check "19-dash banner for drive $n" grep -q -x -B1 -F "\\\\.\\PhysicalDrive$n:"$'\r' "$report"
done
check "19 dashes" test "$(grep -c -x -- $'-------------------\r' "$report")" = 20
check "20 dashes" test "$(grep -c -x -- $'--------------------\r' "$report")" = 10
check "mode 0644" test "$(stat -c %a "$report")" = 644
check "drive 14 is last" bash -c "grep -a 'PhysicalDrive' '$report' | tail -1 | grep -q 'PhysicalDrive14:'"
# Fewer block devices than drive numbers: the last numbers name no drive.
# As root the run sees only this test's four loop disks.
if ((is_root)) || (($(ls /sys/block | wc -l) < 15)); then
  check "past the machine's disks: not found" \
    grep -q -F ">>> Drive open error #2: The system cannot find the file specified."$'\r' "$report"
fi

if ((is_root)); then
  for i in 1 2 3 4; do
    bytes=$(( (60 + i) * 1024 * 1024 ))
    grouped=$(printf "%'d" "$bytes" 2>/dev/null | tr ',' "'")
    [[ "$grouped" == *"'"* ]] || grouped=$(echo "$bytes" | sed -e ':a' -e "s/\B[0-9]\{3\}\>/'&/" -e 'ta')
    guid=$(sgdisk -p "$work/disk$i.img" | sed -n 's/^Disk identifier (GUID): //p')
    block=$(grep -a -A 11 -F -- "- DiskSize: $grouped"$'\r' "$report" || true)
    check "disk $i: geometry block present" test -n "$block"
    check "disk $i: BytesPerSector" grep -q -F -- "- BytesPerSector: 512"$'\r' <<<"$(grep -a -B 11 -F -- "- DiskSize: $grouped"$'\r' "$report")"
    check "disk $i: cylinders" grep -q -F -- "- Cylinders: $(( bytes / 512 / 16065 ))"$'\r' <<<"$(grep -a -B 5 -F -- "- DiskSize: $grouped"$'\r' "$report")"
    check "disk $i: GPT disk GUID" grep -q -F -- "- GUID: {$guid}"$'\r' <<<"$block"
    check "disk $i: detection line" grep -q -F -- "- DetectionType: None, (Int13.MaxCylinders: 0, ExInt13.ExCylinders: 0)"$'\r' <<<"$block"
  done
fi

echo "== a directory in the report's place"
mkdir -p "$work/dir/Quillbrane.txt"
run_in "$work/dir"
check "exit status 1" test "$(cat "$work/status")" = 1
check "stdout empty" test ! -s "$work/stdout"
check "message names the I/O error" grep -q "File access denied" "$work/stderr"
check "message ends in CR LF" bash -c "tail -c 2 '$work/stderr' | od -An -c | grep -q '\\\\r  \\\\n'"

echo "== a symbolic link in the report's place"
mkdir "$work/link"
echo "precious" >"$work/target"
ln -s "$work/target" "$work/link/Quillbrane.txt"
run_in "$work/link"
check "exit status 1" test "$(cat "$work/status")" = 1
check "target untouched" test "$(cat "$work/target")" = precious
check "stdout empty" test ! -s "$work/stdout"
check "message on stderr" grep -q "Quillbrane.txt" "$work/stderr"

echo "== a dangling symbolic link in the report's place"
mkdir "$work/dangling"
ln -s "$work/nowhere" "$work/dangling/Quillbrane.txt"
run_in "$work/dangling"
check "exit status 1" test "$(cat "$work/status")" = 1
check "nothing created through the link" test ! -e "$work/nowhere"

echo "== a FIFO in the report's place"
mkdir "$work/fifo"
mkfifo "$work/fifo/Quillbrane.txt"
run_in "$work/fifo"
check "exit status 1, no hang" test "$(cat "$work/status")" = 1

if ((is_root)); then
  echo "== a full file system at the first write"
  mkdir "$work/full"
  mount -t tmpfs -o size=4k tmpfs "$work/full" && mounted+=("$work/full")
  head -c 4096 /dev/zero >"$work/full/filler" || true
  run_in "$work/full"
  check "exit status 1" test "$(cat "$work/status")" = 1
  check "stdout empty" test ! -s "$work/stdout"
  check "message names the error" grep -q "I/O error 112" "$work/stderr"
  check "report empty" test ! -s "$work/full/Quillbrane.txt"

  echo "== a file system that fills up after the first flush"
  mkdir "$work/half"
  mount -t tmpfs -o size=4k tmpfs "$work/half" && mounted+=("$work/half")
  run_in "$work/half"
  size=$(stat -c %s "$work/half/Quillbrane.txt")
  check "exit status 1" test "$(cat "$work/status")" = 1
  check "stdout empty" test ! -s "$work/stdout"
  check "message names the error" grep -q "I/O error 112" "$work/stderr"
  check "what was flushed stays (got $size bytes)" test "$size" -eq 4096
  check "flushed text is the report's start" bash -c "head -c 19 '$work/half/Quillbrane.txt' | grep -q -x -- '-------------------'"
fi

if ((is_root)); then
  echo "== a read-only file system: a tmpfs mounted read-only"
  mkdir "$work/ro"
  mount -t tmpfs -o size=64k,ro tmpfs "$work/ro" && mounted+=("$work/ro")
  run_in "$work/ro"
  check "exit status 1" test "$(cat "$work/status")" = 1
  check "stdout empty" test ! -s "$work/stdout"
  check "message names the I/O error (write-protected: 19)" grep -q "I/O error 19" "$work/stderr"
  check "no report" test ! -e "$work/ro/Quillbrane.txt"

  echo "== a read-only bind mount over an earlier report"
  mkdir "$work/rw" "$work/robind"
  echo "an earlier report" >"$work/rw/Quillbrane.txt"
  mount --bind "$work/rw" "$work/robind" && mounted+=("$work/robind")
  mount -o remount,bind,ro "$work/robind"
  run_in "$work/robind"
  check "exit status 1" test "$(cat "$work/status")" = 1
  check "stdout empty" test ! -s "$work/stdout"
  check "message names the I/O error (write-protected: 19)" grep -q "I/O error 19" "$work/stderr"
  check "the earlier report is left as it was" test "$(cat "$work/rw/Quillbrane.txt")" = "an earlier report"
fi

if ((is_root)) && command -v strace >/dev/null; then
  echo "== a loop disk detached between the listing and its open"
  # The survey's first open of the first disk is held for 1 s by strace;
  # the disk is detached once the open has begun and before it runs. The
  # node stays, so the open succeeds on a device of size 0.
  truncate -s 16M "$work/gone.img" "$work/next.img"
  sgdisk -o -n1:2048:+4M "$work/gone.img" >/dev/null
  sgdisk -o -n1:2048:+4M "$work/next.img" >/dev/null
  gone=$(losetup -f --show "$work/gone.img")
  loops+=("$gone")
  next=$(losetup -f --show "$work/next.img")
  loops+=("$next")
  rm -rf "$work/view" "$work/detach" && mkdir "$work/view" "$work/detach"
  for l in "$gone" "$next"; do ln -s "$(readlink -f "/sys/block/${l#/dev/}")" "$work/view/${l#/dev/}"; done
  # Drive numbers follow loop numbers: the disk to detach must be drive 0.
  if [[ ${gone#/dev/loop} -lt ${next#/dev/loop} ]]; then
    # LeakSanitizer cannot work under ptrace; a sanitized build still
    # checks everything else.
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" unshare --mount --propagation private sh -c \
      'mount --bind "$1" /sys/block && cd "$2" && exec strace -f -qq -o "$3" -e trace=openat -P "$4" \
         -e inject=openat:delay_enter=1000000:when=1 "$5"' \
      sh "$work/view" "$work/detach" "$work/detach.trace" "$gone" "$binary" >"$work/stdout" 2>"$work/stderr" &
    survey=$!
    for _ in $(seq 200); do grep -q -F "\"$gone\"" "$work/detach.trace" 2>/dev/null && break; sleep 0.01; done
    losetup -d "$gone"
    # Detached: its number may be someone else's disk by the time we clean up.
    remaining=()
    for l in "${loops[@]}"; do [[ "$l" == "$gone" ]] || remaining+=("$l"); done
    loops=("${remaining[@]}")
    status=0
    wait "$survey" || status=$?
    report="$work/detach/Quillbrane.txt"
    # Someone else's losetup may take the freed number before the held
    # open runs; the survey then opens their disk, and this run proves
    # nothing about ours.
    reused=$(cat "/sys/block/${gone#/dev/}/loop/backing_file" 2>/dev/null || true)
    check "exit status 0" test "$status" = 0
    check "stdout empty" test ! -s "$work/stdout"
    if [[ -n "$reused" ]]; then
      echo "note: $gone was attached again ($reused) before the held open ran; the detach case is left out"
    # On a loaded machine the detach can still come after the open and its
    # queries; the disk is then surveyed whole and there is nothing to check.
    elif grep -q -F -- "- DiskSize: 16'777'216"$'\r' <<<"$(sed -n '1,/PhysicalDrive1:/p' "$report")"; then
      echo "note: the disk was detached only after it was surveyed; the detach case is left out"
    else
      check "the detached disk's geometry: not connected" grep -q -F -- \
        ">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX) error #1167: The device is not connected."$'\r' "$report"
      check "the detached disk's layout: not connected" grep -q -F -- \
        ">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_LAYOUT_EX) error #1167: The device is not connected."$'\r' "$report"
    fi
    check "the next disk is surveyed" grep -q -F -- "- DiskSize: 16'777'216"$'\r' "$report"
    check "the next disk's layout" grep -q -F -- "- PartitionCount: 1"$'\r' "$report"
  else
    echo "note: the loop numbers came in reverse order; the detach case is left out"
  fi
fi

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all process checks passed"
