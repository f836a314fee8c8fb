#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Safe to run again: it installs nothing that is already there.
#   --windows  also the cross compiler and Wine for the Windows suite
#   --bench    also what bench/run.sh measures with
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev googletest
  libblkid-dev
  util-linux fdisk gdisk e2fsprogs ntfs-3g dosfstools exfatprogs xz-utils
  clang libclang-rt-14-dev strace valgrind
  dpkg-dev man-db groff-base gzip file
)
for option in "$@"; do
  case "$option" in
    # wine64 only recommends wine, which provides the wine and wineserver
    # commands, and recommends are not installed here.
    --windows) packages+=(g++-mingw-w64-x86-64 wine64 wine) ;;
    --bench) packages+=(hyperfine time jq) ;;
    *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages: ${missing[*]}; run as root to install them." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
