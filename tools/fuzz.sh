#!/usr/bin/env bash
# Builds the fuzz preset (clang-14 with libFuzzer, AddressSanitizer and UBSan) and runs each
# fuzz target for a bounded time, starting from the committed seed corpus.
#
#   tools/fuzz.sh            20 seconds per target: the short run of the test command
#   tools/fuzz.sh 600        10 minutes per target: the longer run, before a release
#
# Inputs a run adds to the corpus are kept in build/fuzz/corpus/<target>, so that later runs
# go on from there. A finding (a crash, a sanitizer report or a broken expectation) stops its
# target, is saved as build/fuzz/findings/<target>-crash-..., and makes the script fail. Copy
# it into tests/fuzz/regressions/<target>/ and fix the fault: the native tests replay every
# file there (fuzz_regression_test).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-20}
targets=(archive_lookup payload_stream archive_listing)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"

failed=()
for target in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$target
  mkdir -p "$corpus" build/fuzz/findings
  echo "== fuzz_$target, $seconds s"
  log=build/fuzz/$target.log
  if build/fuzz/tests/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix=build/fuzz/findings/"$target"- \
      "$corpus" tests/fuzz/corpus/"$target" >"$log" 2>&1; then
    grep -aE '^Done|stat::number_of_executed_units' "$log" | head -n 1
  else
    failed+=("$target")
    tail -n 40 "$log"
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]} (see build/fuzz/findings/)" >&2
  exit 1
fi
echo "fuzz.sh: no findings"
