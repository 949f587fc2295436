#!/usr/bin/env bash
# Builds every preset and runs every test: natively, under the sanitizers, and the Windows
# builds under Wine. On a fresh Debian 12 machine, as root, it first installs what it needs.
#
# The real updater is the 32-bit win32 build. Where the kernel runs no 32-bit programs
# (ia32 emulation switched off), Wine cannot start 32-bit Windows programs at all: then the
# win64 build of the same sources runs the Wine tests, and the win32 build is checked
# without running it (its resources and imports).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
top=$PWD

if [ "$(id -u)" -eq 0 ]; then
  tools/setup-debian.sh
fi

# Only the Wine programs take Wine's settings (a Japanese locale among them): wine-run.sh
# sets them for each. Here they would reach every native tool and test as well.
export WINEPREFIX=$top/build/wineprefix
wine_runs_32bit() { (source tools/wine-env.sh && wine_runs_32bit); }

declare -a summary=()
failed=0
passed=0

# run_ctest LABEL ARGS...: runs CTest and keeps its totals for the closing line.
run_ctest() {
  local label=$1; shift
  local log="$top/build/ctest-$label.log"
  local status=0
  ctest "$@" 2>&1 | tee "$log" || status=$?
  local line total fails
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.* ([0-9]+) tests failed out of.*/\1/' <<<"$line")
    passed=$((passed + total - fails))
    failed=$((failed + fails))
  elif [ "$status" -ne 0 ]; then
    failed=$((failed + 1))
  fi
  [ "$status" -eq 0 ] || summary+=("FAILED: $label")
  summary+=("$label: ${line:-no tests}")
}

build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

echo "== Building the presets"
for preset in native native-asan win32 win64; do
  echo "-- $preset"
  build "$preset"
done

echo "== Native tests"
run_ctest native --preset native -j2
echo "== Native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
run_ctest native-asan --preset native-asan -j2
echo "== Fuzzing the archive reader, the payload stream and the packer's listing, 20 s each"
tools/fuzz.sh || { summary+=("FAILED: fuzz"); failed=$((failed + 1)); }

echo "== Windows tests under Wine"
tools/wine-prefix.sh
if wine_runs_32bit; then
  run_ctest win32 --preset win32
else
  echo "This kernel runs no 32-bit programs: the 32-bit updater is checked without running it,"
  echo "and the same sources run under Wine as the 64-bit build."
  run_ctest win32-static --preset win32 -LE wine
  run_ctest win64 --preset win64
fi
wineserver -k >/dev/null 2>&1 || true

echo
echo "== Summary"
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "${#summary[@]}" -gt 0 ] && ! printf '%s\n' "${summary[@]}" | grep -q '^FAILED'
