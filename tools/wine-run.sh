#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, made on first use.
# CMake's win32 preset uses it as the emulator of every test, so CTest runs the real program.
#   WINEPREFIX  the prefix to use (default: build/wineprefix in the source tree)
# The exit code is the program's.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../build/wineprefix}
"$here/wine-prefix.sh"
export WINEDEBUG=${WINEDEBUG:--all}
export LC_ALL=ja_JP.UTF-8
exec wine "$@"
