#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native tests (plain
# and under AddressSanitizer and UndefinedBehaviorSanitizer) and the Windows
# program, runs the native tests, then the tests of the Windows program under
# Wine. Ends with one line "N passed, M failed" over all of them.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
passed=0
failed=0
stage_failed=0

# Adds a ctest run's figures to the totals.
count_ctest() { # log
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  local total bad
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

# Adds a script's closing "N passed, M failed" line to the totals.
count_plain() { # log
  local line
  line=$(grep -E '^([A-Za-z-]+: )?[0-9]+ passed, [0-9]+ failed' "$1" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + $(sed -E 's/^([A-Za-z-]+: )?([0-9]+) passed.*/\2/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
}

stage() { echo; echo "=== $*"; }

native_tests() { # build folder, extra cmake arguments...
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null &&
    cmake --build "$dir" -j"$jobs" >"$dir.build.log" 2>&1 || {
    cat "$dir.build.log"
    echo "build failed: $dir"
    failed=$((failed + 1))
    stage_failed=1
    return
  }
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure 2>&1 | tee "$dir.ctest.log"
  count_ctest "$dir.ctest.log"
}

stage "native tests"
native_tests build/native

stage "native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 native_tests build/sanitize -DUNINSTALL_SANITIZE=ON

stage "Windows program (MinGW-w64)"
if cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.toolchain.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build build/windows -j"$jobs" 2>&1 | tail -n 3; then
  ls -l build/windows/Uninstall.exe
else
  echo "Windows build failed"
  failed=$((failed + 1))
fi

for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  stage "$(basename "$extra" .sh)"
  log="build/$(basename "$extra" .sh).log"
  bash "$extra" "$root/build/windows/Uninstall.exe" 2>&1 | tee "$log"
  count_plain "$log"
done

echo
echo "${passed} passed, ${failed} failed"
[ "$failed" -eq 0 ]
