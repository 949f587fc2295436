#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, made on first use.
# CMake's win32 and win64 presets use it as the emulator of every test.
#   WINEPREFIX  the prefix to use (default: build/wineprefix in the source tree)
# The exit code is the program's.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"
"$here/wine-prefix.sh"
exec "$WINE_LOADER" "$@"
