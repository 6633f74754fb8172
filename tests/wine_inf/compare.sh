#!/bin/bash
# Compares the simulated SetupAPI INF services with Wine's setupapi: every
# INF of corpus/ is read by inf_probe.exe under Wine and by its native twin
# on the simulated Windows, and the two reports must be equal. A file listed
# in corpus/known_differences.txt (with the reason) must still differ; if it
# no longer does, the list is out of date and that counts as a failure.
#
# Exit status 0 when every file passes. Last line: "N passed, M failed".
#
# Environment: BUILD_DIR, the native CMake build to build the twin in
# (default: build/wine-inf in the source tree); INF_PROBE_SIM, an already
# built twin to use instead; KEEP_WORK=1 keeps the scratch folder.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
corpus="$here/corpus"
sections="Version Velmorin.NTamd64 Velmorin Strings NotASection"

work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    if command -v wineserver >/dev/null 2>&1 && [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    if [ "${KEEP_WORK:-0}" = 1 ]; then
        echo "scratch kept in $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

fail_setup() {
    echo "compare.sh: $1" >&2
    echo "0 passed, 1 failed"
    exit 1
}

# The native twin.
if [ -n "${INF_PROBE_SIM:-}" ]; then
    twin=$INF_PROBE_SIM
else
    build=${BUILD_DIR:-$root/build/wine-inf}
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug >"$work/cmake.log" 2>&1 &&
        cmake --build "$build" --target inf_probe_sim -j2 >>"$work/cmake.log" 2>&1 ||
        { cat "$work/cmake.log" >&2; fail_setup "the native twin did not build"; }
    twin=$(find "$build" -name inf_probe_sim -type f -perm -u+x | head -n 1)
    [ -n "$twin" ] || fail_setup "inf_probe_sim not found in $build"
fi

# The probe for Windows, against the system's setupapi.
x86_64-w64-mingw32-g++ -std=c++17 -O1 -Wall -Wextra -static -I"$root/Uninstall/platform" \
    -o "$work/inf_probe.exe" "$here/inf_probe.cpp" "$here/inf_probe_core.cpp" -lsetupapi ||
    fail_setup "the MinGW probe did not build"

wine=$(command -v wine64 || command -v wine) || fail_setup "no wine found"
wineboot -i >"$work/wineboot.log" 2>&1 || fail_setup "wineboot failed"

known_reason() {
    [ -f "$corpus/known_differences.txt" ] || return 1
    awk -F '\t' -v f="$1" '$1 == f { print $2; found = 1 } END { exit !found }' "$corpus/known_differences.txt"
}

passed=0
failed=0
for inf in "$corpus"/*.inf; do
    name=$(basename "$inf")
    winpath="Z:$(printf '%s' "$inf" | tr / '\\')"
    # shellcheck disable=SC2086
    "$wine" "$work/inf_probe.exe" "$winpath" $sections 2>/dev/null | tr -d '\r' >"$work/wine.txt"
    # shellcheck disable=SC2086
    "$twin" "$inf" $sections >"$work/sim.txt" 2>&1
    if [ ! -s "$work/wine.txt" ]; then
        echo "FAIL $name: no output from the probe under Wine"
        failed=$((failed + 1))
        continue
    fi
    if reason=$(known_reason "$name"); then
        if cmp -s "$work/wine.txt" "$work/sim.txt"; then
            echo "FAIL $name: listed as a known difference, but the simulation now agrees with Wine"
            failed=$((failed + 1))
        else
            echo "ok   $name (known difference: $reason)"
            diff -u --label wine --label sim "$work/wine.txt" "$work/sim.txt" | sed 's/^/       /'
            passed=$((passed + 1))
        fi
    elif cmp -s "$work/wine.txt" "$work/sim.txt"; then
        echo "ok   $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name"
        diff -u --label wine --label sim "$work/wine.txt" "$work/sim.txt" | sed 's/^/       /'
        failed=$((failed + 1))
    fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
