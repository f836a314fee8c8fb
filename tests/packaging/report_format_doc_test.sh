#!/usr/bin/env bash
# docs/report-format.md and the section writers agree byte for byte: every
# label and name the code writes appears in the document, and every report
# line the document shows in a text block starts with a label the code
# writes.
# Usage: report_format_doc_test.sh <source dir>
set -euo pipefail
source_dir=$(cd "$1" && pwd)
doc="$source_dir/docs/report-format.md"
[[ -f "$doc" ]] || { echo "FAIL: no $doc" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# The string literals of the report code, unescaped; include paths left out.
cd "$source_dir"
grep -oh '"\([^"\\]\|\\.\)*"' sections/*.cpp survey/survey.cpp survey/survey_context.h format/name_tables.cpp |
  sed -e 's/^"//' -e 's/"$//' -e 's/\\\\/\\/g' | grep -v '\.h$' | sort -u >"$scratch/literals"
[[ -s "$scratch/literals" ]] || { echo "FAIL: no literals found in the code" >&2; exit 1; }

# Literals that begin a report line must begin a line of the document; the
# rest (values, names, pieces inside a line) must appear somewhere in it.
line_start='^(- |  \* |    - |> |>>> |IOCTL_|\\\\\.)'
grep -E "$line_start" "$scratch/literals" >"$scratch/starts" || true
while IFS= read -r label; do
  LABEL=$label awk 'index($0, ENVIRON["LABEL"]) == 1 { found = 1 } END { exit !found }' "$doc" ||
    fail "no line of the document starts with the label '$label'"
done <"$scratch/starts"
while IFS= read -r literal; do
  [[ "$literal" =~ [A-Za-z] ]] || continue
  grep -qF -- "$literal" "$doc" || fail "the document does not mention '$literal'"
done < <(grep -vE "$line_start" "$scratch/literals")

# Each line of a text block is a report line: a banner line, a blank line, or
# a line that starts with a label of the code.
awk '/^```text$/ { inside = 1; next } /^```$/ { inside = 0; next } inside' "$doc" >"$scratch/blocks"
[[ -s "$scratch/blocks" ]] || { echo "FAIL: the document shows no report lines" >&2; exit 1; }
while IFS= read -r line; do
  [[ -z "$line" || "$line" =~ ^-{19,20}$ ]] && continue
  [[ "$line" == '  \\?\Volume'* || "$line" == '\\.\PhysicalDrive'* ]] && continue
  known=0
  while IFS= read -r label; do
    if [[ "$line" == "$label"* ]]; then known=1; break; fi
  done <"$scratch/starts"
  ((known)) || fail "the document shows a line the code does not write: '$line'"
done <"$scratch/blocks"
exit $failed
