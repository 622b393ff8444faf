#!/usr/bin/env bash
# Builds the project and runs the whole test suite twice: a normal build with warnings as
# errors, and a build with the address and undefined-behaviour sanitizers. Then each fuzz
# target runs for 20 s (scripts/fuzz.sh; a fault found fails the run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs=$(nproc)
fail=0

echo "== format check"
git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror || fail=1

run_suite() {
  local dir=$1; shift
  echo "== build $dir"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DTERVEX_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
  echo "== tests $dir"
  (cd "$dir" && ctest --output-on-failure -j"$jobs") || fail=1
}

run_suite build/test
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build/sanitize -DTERVEX_SANITIZE=ON

echo "== fuzz"
bash scripts/fuzz.sh 20 || fail=1

exit $fail
