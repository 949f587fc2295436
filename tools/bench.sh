#!/usr/bin/env bash
# Builds the benchmark optimised and runs it: the updater against this machine's own limit
# (plain and durable copies, raw reads, raw unlinks), printed as a markdown report and kept in
# build/bench/report.md. Not part of the test command: it writes over a gigabyte and takes a
# minute or more.
#
#   tools/bench.sh                 payloads of 1, 64 and 512 MiB, in build/bench
#   tools/bench.sh --quick         without the 512 MiB payload
#   tools/bench.sh --dir FOLDER    measure the file system that holds FOLDER
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/bench --target updater_bench >/dev/null

args=("$@")
if ! printf '%s\n' "${args[@]+"${args[@]}"}" | grep -qx -- --dir; then
  args+=(--dir build/bench)
fi
build/bench/tools/bench/updater_bench "${args[@]}" | tee build/bench/report.md
