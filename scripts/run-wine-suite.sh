#!/usr/bin/env bash
# Runs the platform suite (a 64-bit Windows test program) under Wine in a
# throwaway copy of the prepared prefix (WINE_TEMPLATE, build/e2e/prefix unless
# told; made once when missing), and stops that copy's wineserver afterwards,
# pass or fail. The environment is passed on (a locale, say).
# Usage: scripts/run-wine-suite.sh EXE [gtest arguments...]
# With ZEV_WINE_LOCALE=ja_JP.UTF-8 the suite runs in that locale, from which Wine
# takes its ANSI code page (932 for Japanese).
set -uo pipefail

if [ $# -lt 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 SUITE.exe [arguments]" >&2
  exit 2
fi
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift

root=$(cd "$(dirname "$0")/.." && pwd)
wine=${WINE64:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver}
template=${WINE_TEMPLATE:-$root/build/e2e/prefix}
# The suite alone takes seconds; a hung run must not hang the build.
run_limit=${SUITE_TIMEOUT:-300}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko prompts in a fresh prefix
unset DISPLAY
if [ -n "${ZEV_WINE_LOCALE:-}" ]; then
  export LANG=$ZEV_WINE_LOCALE LC_ALL=$ZEV_WINE_LOCALE
fi

mkdir -p "$root/build"
prefix=$(mktemp -d "$root/build/wine-suite.XXXXXX")
child=

cleanup() {
  if [ -n "$child" ] && kill -0 "$child" 2>/dev/null; then
    kill "$child" 2>/dev/null
    wait "$child" 2>/dev/null
  fi
  WINEPREFIX=$prefix timeout 30 "$wineserver" -k 2>/dev/null
  WINEPREFIX=$prefix timeout 30 "$wineserver" -w 2>/dev/null
  rm -rf "$prefix"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Runs one command under the limit as a child we can name, and waits for it.
run_bounded() {
  local limit=$1
  shift
  timeout --kill-after=10 "$limit" "$@" &
  child=$!
  wait "$child"
  local status=$?
  child=
  return $status
}

# A machine with Wine's 32-bit half (make test-win32) sets that half up in a new
# prefix too, through emulation: minutes, not seconds, once.
run_bounded 900 python3 "$root/tests/e2e/zevmachine.py" copy "$template" "$prefix" || {
  echo "no copy of the prepared prefix $template" >&2
  exit 1
}

WINEPREFIX=$prefix run_bounded "$run_limit" "$wine" "$exe" "$@"
status=$?
if [ $status -eq 124 ]; then
  echo "suite timed out after ${run_limit}s" >&2
fi
exit $status
