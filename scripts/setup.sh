#!/usr/bin/env bash
# Installs from Debian's packages, only what is missing: the packages named
# on the command line, or else everything the build and the tests need.
# Safe to run again.
set -euo pipefail

UNINSTALL_PACKAGES=(cmake make g++ libgtest-dev libgmock-dev mingw-w64 wine wine64 xvfb xauth clang clang-tidy libclang-rt-14-dev
                    binutils-mingw-w64-x86-64 python3)

[ $# -gt 0 ] && UNINSTALL_PACKAGES=("$@")

missing=()
for package in "${UNINSTALL_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
