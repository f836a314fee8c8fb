#!/usr/bin/env bash
# Builds and runs every test: the Linux suite, then the Windows suite under
# Wine.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$here/scripts/install-deps.sh" --windows
jobs=$(nproc)

cmake -S "$here" -B "$here/build" -DQUILLBRANE_BUILD_TESTS=ON >/dev/null
cmake --build "$here/build" -j"$jobs"
ctest --test-dir "$here/build" --output-on-failure -j"$jobs"

if [[ -x "$here/scripts/test-windows.sh" || -f "$here/scripts/test-windows.sh" ]]; then
  bash "$here/scripts/test-windows.sh"
fi
