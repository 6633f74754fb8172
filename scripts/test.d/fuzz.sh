#!/usr/bin/env bash
# A bounded fuzzing run of the INF text reader and the catalog scan.
set -uo pipefail
cd "$(dirname "$0")/../.."
exec bash scripts/fuzz.sh "${UNINSTALL_FUZZ_SECONDS:-60}"
