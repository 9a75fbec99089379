#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, once; as root, with apt-get.
set -euo pipefail
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for pkg in cmake make g++ googletest libgtest-dev \
           g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
           wine64 wine fonts-wine xvfb xdotool imagemagick python3 "$@"; do
  have "$pkg" || need+=("$pkg")
done
[ ${#need[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${need[*]} (run as root, or install them with apt-get)" >&2
  exit 1
fi
echo "installing: ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
