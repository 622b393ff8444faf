#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and the address and undefined-behaviour sanitizers,
# then runs each of them in turn.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS per target, 600 unless given; TARGET names the targets to run, all three unless
# given. FUZZ_BUILD_DIR sets the build directory (build/fuzz). New inputs found go to
# <build>/corpus/<target>, anything that fails to <build>/artifacts/; the seeds in
# tests/fuzz/corpus/<target> are only read. Exits non-zero when a target found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_engine fuzz_inifile fuzz_measured)
dir=${FUZZ_BUILD_DIR:-build/fuzz}
jobs=$(nproc)

echo "== build $dir (clang, fuzzer, address, undefined)"
cmake -S . -B "$dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DTERVEX_WERROR=ON -DTERVEX_SANITIZE=ON -DTERVEX_FUZZ=ON >/dev/null
cmake --build "$dir" -j"$jobs" --target "${targets[@]}"

mkdir -p "$dir/artifacts"
fail=0
for t in "${targets[@]}"; do
  echo "== $t for $seconds s"
  mkdir -p "$dir/corpus/$t"
  # One input taking 10 s is a hang of the code under test, not a slow machine.
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$dir/tests/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$dir/artifacts/$t-" "$dir/corpus/$t" "tests/fuzz/corpus/$t" \
      >"$dir/artifacts/$t.log" 2>&1; then
    fail=1
    echo "$t FOUND A FAULT; the input is in $dir/artifacts/, the report:"
    grep -E "broken:|ERROR:|SUMMARY:|runtime error|Test unit written" "$dir/artifacts/$t.log" || true
    echo "(whole log: $dir/artifacts/$t.log; replay: $dir/tests/fuzz/$t <input>, with FUZZ_TRACE=1 fuzz_engine prints its steps)"
  else
    grep -E "stat::number_of_executed_units|stat::average_exec_per_sec|DONE" \
      "$dir/artifacts/$t.log" | tr '\n' ' '
    echo
  fi
done
exit $fail
