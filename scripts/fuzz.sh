#!/usr/bin/env bash
# Builds the INF reader fuzz target with clang's libFuzzer (with address and
# undefined-behaviour checks) and runs it for SECONDS (default 60), starting
# from the seeds in fuzz/corpus. The target compares the reader and the
# catalog scan with a byte-at-a-time model of the text-mode rules. A finding
# is left as build/fuzz/crash-* (replay: build/fuzz/inf_reader_fuzz FILE).
# Ends with a line "fuzz: N passed, M failed"; fails when the run found one.
# Usage: scripts/fuzz.sh [SECONDS]
set -uo pipefail
seconds=${1:-60}
case $seconds in '' | *[!0-9]*) seconds=60 ;; esac
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/fuzz"
mkdir -p "$out/corpus"
if ! ${FUZZ_CXX:-clang++} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root/Uninstall" \
    "$root/fuzz/inf_reader_fuzz.cpp" "$root/Uninstall/package_inf.cpp" "$root/Uninstall/text.cpp" \
    -o "$out/inf_reader_fuzz"; then
  echo "fuzz: 0 passed, 1 failed (build)"
  exit 1
fi
cd "$out"
if ./inf_reader_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=20 -print_final_stats=1 \
    -dict="$root/fuzz/inf_reader.dict" -artifact_prefix="$out/" \
    "$out/corpus" "$root/fuzz/corpus" >"$out/fuzz.log" 2>&1; then
  grep -E '^stat::(number_of_executed_units|new_units_added)' "$out/fuzz.log"
  echo "fuzz: 1 passed, 0 failed"
else
  tail -n 40 "$out/fuzz.log"
  echo "fuzz: 0 passed, 1 failed"
  exit 1
fi
