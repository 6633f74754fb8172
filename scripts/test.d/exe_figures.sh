#!/usr/bin/env bash
# Test stage: the figures of the built Uninstall.exe against their goals, and
# a reproducible build (scripts/exe_figures.sh). Argument: the exe's path.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
exec bash scripts/exe_figures.sh --exe "${1:-build/windows/Uninstall.exe}"
