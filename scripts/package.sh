#!/usr/bin/env bash
# Builds the Debian package into build-package/, and the Windows zip too
# when the MinGW toolchain file is there. Release builds, without tests.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$here/build-package"
jobs=$(nproc)
bash "$here/scripts/install-deps.sh"

cmake -S "$here" -B "$out/linux" -DCMAKE_BUILD_TYPE=Release -DQUILLBRANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$out/linux" -j"$jobs" >/dev/null
(cd "$out/linux" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"

toolchain="$here/cmake/mingw-w64-x86_64.cmake"
if [[ -f "$toolchain" ]]; then
  bash "$here/scripts/install-deps.sh" --windows
  cmake -S "$here" -B "$out/windows" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DQUILLBRANE_BUILD_TESTS=OFF >/dev/null
  cmake --build "$out/windows" -j"$jobs" >/dev/null
  (cd "$out/windows" && cpack -G ZIP -B "$out" >/dev/null)
  rm -rf "$out/_CPack_Packages"
fi

ls -1 "$out"/*.deb "$out"/*.zip 2>/dev/null
