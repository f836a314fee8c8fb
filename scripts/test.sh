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

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S "$here" -B "$here/build-asan" -DQUILLBRANE_SANITIZE=ON >/dev/null
cmake --build "$here/build-asan" -j"$jobs"
ctest --test-dir "$here/build-asan" --output-on-failure -j"$jobs"

# The fuzz targets, each for a bounded time.
cmake -S "$here" -B "$here/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DQUILLBRANE_FUZZ=ON >/dev/null
cmake --build "$here/build-fuzz" -j"$jobs"
ctest --test-dir "$here/build-fuzz" --output-on-failure

if [[ -x "$here/scripts/test-windows.sh" || -f "$here/scripts/test-windows.sh" ]]; then
  bash "$here/scripts/test-windows.sh"
fi
