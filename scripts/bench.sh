#!/usr/bin/env bash
# Builds the package INF scan benchmark optimised and runs it: the scan over
# 101 candidate files of about 1 MB, against cat and grep -F over the same
# files. Its last line reads "scan/cat R1 scan/grep R2" (median ratios).
# Usage: scripts/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j2 --target scan_bench >/dev/null
exec build/bench/bench/scan_bench "${1:-7}"
