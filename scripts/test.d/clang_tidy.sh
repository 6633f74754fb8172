#!/usr/bin/env bash
# Static analysis of the program's logic with clang-tidy (.clang-tidy at the
# top), on the native build's compile commands.
set -uo pipefail
cd "$(dirname "$0")/../.."
db=build/native/compile_commands.json
if [ ! -f "$db" ]; then
  echo "clang-tidy: no compile commands at $db"
  echo "0 passed, 1 failed"
  exit 1
fi
passed=0
failed=0
for source in Uninstall/*.cpp; do
  if clang-tidy -p build/native --quiet "$source" >/tmp/clang-tidy.$$.log 2>&1; then
    passed=$((passed + 1))
  else
    grep -E 'warning|error' /tmp/clang-tidy.$$.log | grep -v 'warnings generated' || true
    echo "clang-tidy: $source has findings"
    failed=$((failed + 1))
  fi
done
rm -f /tmp/clang-tidy.$$.log
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
