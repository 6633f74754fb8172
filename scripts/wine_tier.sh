#!/usr/bin/env bash
# The end-to-end tier: the shipped Uninstall.exe on Wine machines.
#
#   scripts/wine_tier.sh [--exe PATH] [runner options]
#
# Without --exe it builds build/windows/Uninstall.exe from this tree first.
# Runner options: -k TEXT (only scenarios whose name contains TEXT),
# --jobs N (default 2), --keep (keep passing machines), --pending STEPS.
# WINE_TIER_PENDING names steps of the program that have not landed yet
# (files, devices): their removals are then allowed but not required, and
# each scenario says how many of them happened. Empty: every step counts.
# Machines, helper programs and the pristine prefix go to build/wine-tier/.
# Ends with the line "N passed, M failed"; exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=tests/wine/install_deps.sh source-path=SCRIPTDIR/..
. "$root/tests/wine/install_deps.sh"
ensure_wine_tools wine

exe=""
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --exe) exe="$2"; shift 2 ;;
        *) args+=("$1"); shift ;;
    esac
done
if ! exe=$(resolve_uninstall_exe "$root" "$exe"); then
    echo "0 passed, 1 failed"
    exit 1
fi

pending="${WINE_TIER_PENDING-}"
exec python3 "$root/tests/wine/run_tier.py" --exe "$exe" --work "$root/build/wine-tier" \
    --pending "$pending" "${args[@]}"
