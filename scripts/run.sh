#!/usr/bin/env bash
# Builds the survey and runs it in the current directory; the report lands
# in ./Quillbrane.txt.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -DQUILLBRANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$here/build" --target quillbrane -j"$(nproc)" >/dev/null
"$here/build/quillbrane"
