#!/bin/sh
# Builds the INF reader fuzz target with clang's libFuzzer (with address and
# undefined-behaviour checks) and runs it for SECONDS (default 60) from the
# seed corpus in fuzz/corpus. A finding leaves its input in build-fuzz/ and
# makes the script fail.
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build-fuzz"
cxx=${FUZZ_CXX:-clang++}
mkdir -p "$out/corpus"
"$cxx" -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root/Uninstall" \
    "$root/fuzz/inf_reader_fuzz.cpp" "$root/Uninstall/package_inf.cpp" "$root/Uninstall/text.cpp" \
    -o "$out/inf_reader_fuzz"
cd "$out"
./inf_reader_fuzz -max_total_time="$seconds" -max_len=4096 -timeout=20 -print_final_stats=1 \
    -dict="$root/fuzz/inf_reader.dict" -artifact_prefix="$out/" \
    "$out/corpus" "$root/fuzz/corpus"
