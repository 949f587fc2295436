# Sourced by the Wine scripts: the prefix, the locale and the Wine loader to use.
#
# The prefix is a 64-bit one. Where the kernel runs 32-bit programs, the ordinary loader runs
# both 32-bit and 64-bit Windows programs. A kernel without 32-bit emulation (ia32_emulation
# off) cannot start Wine's 32-bit side at all: there only the 64-bit loader works, and only
# 64-bit Windows programs (the win64 preset) can run.
_wine_env_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$_wine_env_here/../build/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# Code page 932, as on a Japanese Windows.
export LC_ALL=ja_JP.UTF-8
# No Mono or Gecko installer prompts: the updater needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# True when this machine can run 32-bit Linux programs, and so Wine's 32-bit side.
wine_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

if wine_runs_32bit; then
  WINE_LOADER=/usr/bin/wine
else
  WINE_LOADER=/usr/lib/wine/wine64
fi
export WINE_LOADER
