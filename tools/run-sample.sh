#!/usr/bin/env bash
# The main job: builds Update.exe, prepares a sample installation of the game in a new Wine
# prefix (the installation record, an install folder with old game files and save files, a
# payload folder with an UpdateData.dat packed by our packer), runs the real updater on it,
# and tells in plain words what it showed and what it changed.
#
#   tools/run-sample.sh              interactive where DISPLAY is set: the dialog appears
#                                    and you press 適用 (Apply) or 終了 (Exit)
#   tools/run-sample.sh --headless   (and always without a display) under Xvfb, the UI
#                                    driver presses Apply and answers each message
#
# Either way it saves a PNG screenshot of the dialog in build/sample/. On a fresh Debian 12
# machine run it as root: it installs what it needs with tools/setup-debian.sh.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
top=$PWD
out=$top/build/sample
mkdir -p "$top/build"

headless=
case "${1:-}" in
  --headless) headless=--headless ;;
  "") ;;
  *) echo "usage: tools/run-sample.sh [--headless]" >&2; exit 2 ;;
esac

missing=()
for tool in cmake ninja g++ i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix \
            wine python3 Xvfb import; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' || missing+=("the ja_JP.UTF-8 locale")
if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "run-sample: missing: ${missing[*]}." >&2
    echo "run-sample: run tools/setup-debian.sh as root first (or run this command as root)." >&2
    exit 1
  fi
  echo "Installing what is missing (${missing[*]}) with tools/setup-debian.sh..."
  if ! tools/setup-debian.sh >"$top/build/setup-debian.log" 2>&1; then
    echo "run-sample: installing failed; see build/setup-debian.log" >&2
    exit 1
  fi
fi

source tools/wine-env.sh
if wine_runs_32bit; then
  preset=win32
else
  preset=win64
  echo "Note: this machine's kernel runs no 32-bit programs, so Wine cannot start the real"
  echo "32-bit Update.exe here. Running the 64-bit build of the same sources instead."
fi

log=$top/build/sample-build.log
echo "Building Update.exe and the UI driver ($preset preset) and the archive packer (native preset)..."
if ! { cmake --preset "$preset" && cmake --build --preset "$preset" --target Update uidriver &&
       cmake --preset native && cmake --build --preset native --target updpack; } >"$log" 2>&1; then
  echo "run-sample: the build failed; see build/sample-build.log" >&2
  exit 1
fi

exec python3 tests/e2e/sample.py --work "$out" \
  --update "$top/build/$preset/front/Update.exe" \
  --driver "$top/build/$preset/tools/uidriver/uidriver.exe" \
  --packer "$top/build/native/tools/updpack" \
  --screenshot "$out/update-dialog.png" $headless
