#!/usr/bin/env bash
# Figures of the shipped Uninstall.exe, and whether the build reproduces.
#
#   scripts/exe_figures.sh [--exe PATH] [--no-repro]
#
# Prints size, subsystem, DLL characteristics, imported DLLs and SHA-256 of
# the exe (built from this tree into build/windows/ unless --exe is given), then
# builds the committed HEAD twice from scratch in two different folders and
# compares the two exes byte for byte.
# Goals: at most 48 KiB; a console program; Terminal-Services-aware,
# dynamic base, high-entropy VA and NX; only system DLLs imported; a
# reproducible build. Ends with "exe-figures: N passed, M failed" over these
# goals and exits 1 when one is not met.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=tests/wine/install_deps.sh source-path=SCRIPTDIR/..
. "$root/tests/wine/install_deps.sh"
ensure_wine_tools build

exe=""
repro=1
while [ $# -gt 0 ]; do
    case "$1" in
        --exe) exe="$2"; shift 2 ;;
        --no-repro) repro=0; shift ;;
        *) echo "usage: $0 [--exe PATH] [--no-repro]" >&2; exit 2 ;;
    esac
done
if ! exe=$(resolve_uninstall_exe "$root" "$exe"); then
    echo "exe-figures: 0 passed, 1 failed"
    exit 1
fi

MAX_BYTES=$((48 * 1024))
# DLLs that every 64-bit Windows carries in System32.
SYSTEM_DLLS="advapi32.dll kernel32.dll msvcrt.dll ntdll.dll setupapi.dll user32.dll"

# verdict runs in command substitutions: the goals are counted in a file.
tally=$(mktemp)
# Prints ok or NOT MET for a goal whose test gave status $1, and counts it.
verdict() {
    if [ "$1" = 0 ]; then echo "ok"; echo ok >>"$tally"; else echo "NOT MET"; echo no >>"$tally"; fi
}

headers="$(x86_64-w64-mingw32-objdump -p "$exe")"
size=$(stat -c %s "$exe")
subsystem=$(awk '$1 == "Subsystem" { $1 = ""; sub(/^ +/, ""); print; exit }' <<<"$headers")
characteristics=$(awk '$1 == "DllCharacteristics" { print $2; exit }' <<<"$headers")
timestamp=$(awk -F'\t' '$1 == "Time/Date" { print $NF; exit }' <<<"$headers")
imports=$(awk '/DLL Name:/ { print $3 }' <<<"$headers" | sort -f | tr '\n' ' ')
sha=$(sha256sum "$exe" | cut -d' ' -f1)

bits=$((16#$characteristics))
flags=""
for pair in 0x8000:TERMINAL_SERVER_AWARE 0x0040:DYNAMIC_BASE 0x0020:HIGH_ENTROPY_VA 0x0100:NX_COMPAT; do
    value=$((${pair%%:*}))
    if [ $((bits & value)) = 0 ]; then flags+=" missing:${pair#*:}"; else flags+=" ${pair#*:}"; fi
done
foreign=""
for dll in $imports; do
    case " $SYSTEM_DLLS " in *" ${dll,,} "*) ;; *) foreign+=" $dll" ;; esac
done

echo "Uninstall.exe: $exe"
printf '  %-22s %s bytes (%s KiB), goal <= 48 KiB: %s\n' "size" "$size" \
    "$(awk -v s="$size" 'BEGIN { printf "%.1f", s / 1024 }')" "$(verdict $((size > MAX_BYTES)))"
printf '  %-22s %s: %s\n' "subsystem" "$subsystem" "$(verdict "$([[ $subsystem == *"Windows CUI"* ]]; echo $?)")"
printf '  %-22s 0x%s =%s: %s\n' "DLL characteristics" "$characteristics" "$flags" \
    "$(verdict "$([[ $flags != *missing:* ]]; echo $?)")"
printf '  %-22s %s\n' "time stamp" "$timestamp"
printf '  %-22s %s-- system DLLs only: %s%s\n' "imported DLLs" "$imports" \
    "$(verdict "$([ -z "$foreign" ]; echo $?)")" "${foreign:+ (not system:$foreign)}"
printf '  %-22s %s\n' "SHA-256" "$sha"

if [ "$repro" = 1 ]; then
    commit=$(git -C "$root" rev-parse HEAD)
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch" "$tally"' EXIT
    # Different folder names and depths: a build path that leaks into the
    # exe shows up as a difference.
    first="$scratch/a"
    second="$scratch/second-build/of/the/same/commit"
    for tree in "$first" "$second"; do
        mkdir -p "$tree"
        git -C "$root" archive "$commit" | tar -x -C "$tree"
        build_uninstall_exe "$tree" "$tree/out"
    done
    one=$(sha256sum "$first/out/Uninstall.exe" | cut -d' ' -f1)
    two=$(sha256sum "$second/out/Uninstall.exe" | cut -d' ' -f1)
    printf '  %-22s two clean builds of %s in different folders: %s: %s\n' "reproducible" \
        "${commit:0:12}" "$([ "$one" = "$two" ] && echo "identical, $one" || echo "differ")" \
        "$(verdict "$([ "$one" = "$two" ]; echo $?)")"
    # Not a goal: a tree with uncommitted changes builds another exe.
    printf '  %-22s %s\n' "same as HEAD's build" "$([ "$sha" = "$one" ] && echo yes || echo "no (built from other sources)")"
    if [ "$one" != "$two" ]; then
        cmp -l "$first/out/Uninstall.exe" "$second/out/Uninstall.exe" | head -20 >&2 || true
    fi
fi
met=$(grep -c '^ok' "$tally" || true)
unmet=$(grep -c '^no' "$tally" || true)
rm -f "$tally"
echo "exe-figures: $met passed, $unmet failed"
[ "$unmet" = 0 ]
