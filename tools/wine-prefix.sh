#!/usr/bin/env bash
# Makes the Wine prefix $WINEPREFIX ready for the updater's tests, once: a booted prefix with
# code page 932, a Japanese font for the dialog, and no window-manager delays. Safe to call
# from several processes at once. Leaves a wineserver running for a while, so that the
# programs that follow do not each pay for starting one.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX}"
export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
# No Mono or Gecko installer prompts: the updater needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

if ! command -v wine >/dev/null 2>&1; then
  echo "wine-prefix.sh: Wine is not installed; run tools/setup-debian.sh as root" >&2
  exit 1
fi

mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9

# A server that outlives this script must not hold the caller's output open.
start_server() { wineserver -p60 </dev/null >/dev/null 2>&1 || true; }

if [ -f "$WINEPREFIX/.updater-ready" ]; then
  start_server
  exit 0
fi

rm -rf "$WINEPREFIX"
log="$WINEPREFIX.log"
{
  wineboot -i
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y /f
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d IPAGothic /f
} </dev/null >"$log" 2>&1 || { echo "wine-prefix.sh: making the prefix failed; see $log" >&2; exit 1; }
start_server
touch "$WINEPREFIX/.updater-ready"
