#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a scratch
# root and checks that the installed binary writes the same report as the
# built one, that the manual page is in place, and that the run-time
# dependencies fit the way the program is linked.
# Usage: deb_test.sh <build dir> <built quillbrane> <version>
set -euo pipefail
build=$1 built=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

arch=$(dpkg --print-architecture)
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; exit 1; }
deb="$scratch/package/quillbrane_${version}_${arch}.deb"
[[ -f "$deb" ]] || { ls "$scratch/package" >&2; echo "FAIL: no $deb" >&2; exit 1; }

field() { dpkg-deb --field "$deb" "$1"; }
[[ "$(field Package)" == quillbrane ]] || fail "Package: $(field Package)"
[[ "$(field Version)" == "$version" ]] || fail "Version: $(field Version)"
[[ "$(field Section)" == admin ]] || fail "Section: $(field Section)"
[[ -n "$(field Maintainer)" ]] || fail "no Maintainer"
root="$scratch/root"
dpkg -x "$deb" "$root"
installed="$root/usr/bin/quillbrane"
[[ -x "$installed" ]] || fail "no executable /usr/bin/quillbrane"
# A statically linked program needs no library; a shared one needs libc6.
depends=$(field Depends)
echo "Depends: $depends"
if file -b "$installed" | grep -q 'statically linked'; then
  [[ -z "$depends" ]] || fail "a static program with Depends: $depends"
else
  [[ ", $depends," =~ ,\ libc6(\ \([^\)]*\))?, ]] || fail "Depends does not list libc6"
fi
page="$root/usr/share/man/man1/quillbrane.1.gz"
if [[ -f "$page" ]]; then
  zcat "$page" | grep -q "^\.TH QUILLBRANE 1 .*\"Quillbrane $version\"" || fail "the installed page does not carry version $version"
else
  fail "no manual page /usr/share/man/man1/quillbrane.1.gz"
fi
[[ -f "$root/usr/share/doc/quillbrane/report-format.md" ]] || fail "no report-format.md"
[[ -f "$root/usr/share/doc/quillbrane/linux-volumes.md" ]] || fail "no linux-volumes.md"
((failed == 0)) || exit 1

# Run the binary in a fresh directory; its report must be complete.
survey() {
  local binary=$1 dir=$2
  mkdir "$dir"
  (cd "$dir" && "$binary" >stdout 2>stderr) || { echo "FAIL: $binary exited with $?" >&2; cat "$dir/stderr" >&2; return 1; }
  [[ ! -s "$dir/stdout" && ! -s "$dir/stderr" ]] || { echo "FAIL: $binary wrote to the console" >&2; return 1; }
  [[ $(grep -ac '^\\\\\.\\PhysicalDrive[0-9]*:'$'\r''$' "$dir/Quillbrane.txt") -eq 15 ]] ||
    { echo "FAIL: $binary did not write 15 drive banners" >&2; return 1; }
}

# Other work on the machine may attach or detach disks between two runs, so
# the built binary runs before and after the installed one; only when those
# two agree is a difference the installed binary's fault.
for attempt in 1 2 3 4 5; do
  run="$scratch/run$attempt"
  mkdir "$run"
  survey "$built" "$run/before"
  survey "$installed" "$run/installed"
  survey "$built" "$run/after"
  if cmp -s "$run/before/Quillbrane.txt" "$run/after/Quillbrane.txt"; then
    if cmp "$run/before/Quillbrane.txt" "$run/installed/Quillbrane.txt"; then
      echo "the installed binary's report is identical ($(wc -c <"$run/installed/Quillbrane.txt") bytes)"
      exit 0
    fi
    diff <(tr -d '\r' <"$run/before/Quillbrane.txt") <(tr -d '\r' <"$run/installed/Quillbrane.txt") >&2 || true
    echo "FAIL: the installed binary's report differs from the built binary's" >&2
    exit 1
  fi
  echo "attempt $attempt: the machine's disks changed during the runs; again"
  sleep 2
done
echo "FAIL: the machine's disks kept changing; no comparison possible" >&2
exit 1
