#!/usr/bin/env bash
# Test stage: the built Uninstall.exe, end to end on Wine machines
# (scripts/wine_tier.sh). Argument: the path of Uninstall.exe.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
exec bash scripts/wine_tier.sh --exe "${1:-build/windows/Uninstall.exe}"
