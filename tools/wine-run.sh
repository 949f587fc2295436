#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, made on first use.
# CMake's win32 and win64 presets use it as the emulator of every test.
#   WINEPREFIX  the prefix to use (default: build/wineprefix in the source tree)
# The exit code is the program's; its output (both streams) follows once it has ended.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
"$here/wine-prefix.sh"

# Wine's helper processes (services, devices) outlive the program and keep whatever output
# it had: a pipe would stay open, and CTest would wait for them. They get a file instead.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
status=0
"$WINE_LOADER" "$@" </dev/null >"$output" 2>&1 || status=$?
cat "$output"
exit "$status"
