#!/usr/bin/env bash
# Makes the Wine prefix $WINEPREFIX ready for the updater's tests, once: a booted prefix with
# code page 932, a Japanese font for the dialog, and no window-manager delays. Safe to call
# from several processes at once. Leaves a wineserver running for a minute, so that the
# programs that follow do not each pay for starting one.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/wine-env.sh"

if [ ! -x /usr/lib/wine/wine64 ]; then
  echo "wine-prefix.sh: Wine is not installed; run tools/setup-debian.sh as root" >&2
  exit 1
fi

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

# Starts the server before any program does: a server that a program starts inherits that
# program's output, and CTest would wait for the server to end. This one holds neither the
# caller's output nor the lock, puts itself in the background, and stays a minute after its
# last client.
start_server() { wineserver -p60 </dev/null >/dev/null 2>&1 9>&- || true; }

if [ -f "$WINEPREFIX/.updater-ready" ]; then
  start_server
  exit 0
fi

rm -rf "$WINEPREFIX"
log="$WINEPREFIX.log"
{
  "$WINE_LOADER" wineboot -i
  "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f
  "$WINE_LOADER" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f
  "$WINE_LOADER" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d IPAGothic /f
} </dev/null >"$log" 2>&1 || { echo "wine-prefix.sh: making the prefix failed; see $log" >&2; exit 1; }
start_server
touch "$WINEPREFIX/.updater-ready"
