#!/usr/bin/env bash
# The main job, end to end: installs what is missing (MinGW-w64, Wine,
# Xvfb), builds Uninstall.exe, makes a Wine machine with the Ondrevix
# package installed (registry entries, companion window, devices, INF, PNF
# and driver files, beside other programs' things), runs the program and
# prints a table of what was there before and what is gone.
#
#   scripts/demo.sh [--exe PATH]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=tests/wine/install_deps.sh source-path=SCRIPTDIR/..
. "$root/tests/wine/install_deps.sh"
ensure_wine_tools wine

exe=""
if [ "${1:-}" = "--exe" ]; then
    exe="$2"
else
    echo "Building Uninstall.exe ..."
    build_uninstall_exe "$root"
    exe="$root/build/windows/Uninstall.exe"
fi
cd "$root/tests/wine"
exec python3 demo.py --exe "$exe" --work "$root/build/wine-demo"
