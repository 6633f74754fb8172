#!/usr/bin/env bash
# The simulated SetupAPI INF services against Wine's, on the INF corpus.
set -uo pipefail
cd "$(dirname "$0")/../.."
exec bash tests/wine_inf/compare.sh
