#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, once; as root, with apt-get.
# Also makes the Japanese locale that Wine takes code page 932 from.
set -euo pipefail
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for pkg in cmake make g++ googletest libgtest-dev \
           g++-mingw-w64-i686 g++-mingw-w64-x86-64 \
           wine64 wine fonts-wine xvfb xdotool imagemagick python3 locales fonts-ipafont-gothic \
           osslsigncode openssl python3-yaml python3-jsonschema "$@"; do
  have "$pkg" || need+=("$pkg")
done
. "$(dirname "$0")/package-lists.sh"
ja_locale_missing() { ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf8'; }
if [ ${#need[@]} -eq 0 ] && ! ja_locale_missing; then exit 0; fi
if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${need[*]:-none}; Japanese locale missing: $(ja_locale_missing && echo yes || echo no)" \
       "(run as root, or install them with apt-get and generate ja_JP.UTF-8)" >&2
  exit 1
fi
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  update_lists
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
if ja_locale_missing; then
  echo "generating the ja_JP.UTF-8 locale"
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
