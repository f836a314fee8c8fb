#!/usr/bin/env bash
# The manual page renders without a single warning, carries the project
# version and the sections a reader looks for, and documents the fatal
# messages the program really prints.
# Usage: manpage_test.sh <quillbrane binary> <quillbrane.1.gz> <version>
set -euo pipefail
binary=$1 page=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export LC_ALL=C.UTF-8 MANWIDTH=80
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# man as a reader runs it, then groff with every warning enabled.
if ! man --warnings -E UTF-8 -l "$page" >"$scratch/page.txt" 2>"$scratch/man.err"; then
  fail "man could not render $page"
fi
if [[ -s "$scratch/man.err" ]]; then
  fail "man --warnings reports:"; cat "$scratch/man.err" >&2
fi
zcat "$page" >"$scratch/quillbrane.1"
if ! groff -ww -man -z "$scratch/quillbrane.1" 2>"$scratch/groff.err" || [[ -s "$scratch/groff.err" ]]; then
  fail "groff -ww reports:"; cat "$scratch/groff.err" >&2
fi

for heading in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" DIAGNOSTICS NOTES EXAMPLES; do
  grep -qx "$heading" "$scratch/page.txt" || fail "no section $heading"
done
grep -q "^Quillbrane $version  " "$scratch/page.txt" || fail "the footer does not carry version $version"

# The page in one line, so a message that the renderer wrapped still matches.
page_text=$(tr -s ' \n' '  ' <"$scratch/page.txt")
documented() {
  local message=$1
  local prefix="Cannot write the report Quillbrane.txt: "
  [[ "$message" == "$prefix"* ]] || { fail "unexpected fatal message: $message"; return; }
  [[ "$page_text" == *"$prefix"* ]] || fail "the page does not show the message prefix '$prefix'"
  local reason=${message#"$prefix"}
  if [[ "$reason" =~ ^I/O\ error\ ([0-9]+)$ ]]; then
    [[ "$page_text" == *"I/O error N"* && "$page_text" == *" ${BASH_REMATCH[1]} "* ]] ||
      fail "the page does not document '$reason'"
  else
    [[ "$page_text" == *"$reason"* ]] || fail "the page does not document '$reason'"
  fi
}

# Two refusals of the report file: a directory and a symbolic link in its place.
mkdir -p "$scratch/dir/Quillbrane.txt" "$scratch/link"
ln -s "$scratch/target" "$scratch/link/Quillbrane.txt"
for case in dir link; do
  status=0
  (cd "$scratch/$case" && "$binary" >"$scratch/$case.out" 2>"$scratch/$case.err") || status=$?
  [[ $status -eq 1 ]] || fail "$case: exit status $status, expected 1"
  [[ ! -s "$scratch/$case.out" ]] || fail "$case: output on stdout"
  message=$(tr -d '\r\n' <"$scratch/$case.err")
  echo "$case: $message"
  documented "$message"
done
exit $failed
