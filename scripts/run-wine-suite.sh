#!/usr/bin/env bash
# Runs the platform suite (a 64-bit Windows test program) under Wine in a
# throwaway prefix, and stops that prefix's wineserver afterwards, pass or fail.
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
# The suite alone takes seconds; a hung run must not hang the build.
run_limit=${SUITE_TIMEOUT:-300}
# A machine with Wine's 32-bit half (make test-win32) sets that half up in every new
# prefix too, through emulation: minutes, not seconds.
boot_limit=600

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko prompts in a fresh prefix
unset DISPLAY
if [ -n "${ZEV_WINE_LOCALE:-}" ]; then
  export LANG=$ZEV_WINE_LOCALE LC_ALL=$ZEV_WINE_LOCALE
fi

mkdir -p "$root/build"
prepared=$root/build/wine-prefix-prepared
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

if [ -d "$prepared" ]; then
  cp -a "$prepared/." "$prefix/"
else
  WINEPREFIX=$prefix run_bounded "$boot_limit" "$wine" wineboot -i >/dev/null 2>&1 || {
    echo "wineboot failed" >&2
    exit 1
  }
  # Let the server write the registry out before the prefix is copied.
  WINEPREFIX=$prefix run_bounded 60 "$wineserver" -w
  # Keep a copy for later runs; built aside and renamed, so that two runs at once
  # never see a half-copied prefix.
  staging=$(mktemp -d "$root/build/wine-prefix-staging.XXXXXX")
  if cp -a "$prefix/." "$staging/" && mv -T "$staging" "$prepared" 2>/dev/null; then
    :
  else
    rm -rf "$staging"
  fi
fi

WINEPREFIX=$prefix run_bounded "$run_limit" "$wine" "$exe" "$@"
status=$?
if [ $status -eq 124 ]; then
  echo "suite timed out after ${run_limit}s" >&2
fi
exit $status
