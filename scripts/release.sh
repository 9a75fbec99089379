#!/usr/bin/env bash
# The release a publisher ships: build/release/ZEVUnins.exe (the 32-bit
# program), signed with Authenticode where a certificate is given, and
# SHA256SUMS beside it.
#
#   SIGN_PFX=publisher.pfx SIGN_PASSWORD=... [SIGN_TIMESTAMP_URL=http://...] make release
#
# SIGN_PFX names a PKCS#12 file holding the code-signing certificate, its key
# and its chain; the signature is SHA-256 and carries the chain. With
# SIGN_TIMESTAMP_URL an RFC 3161 timestamp server countersigns it, so that it
# stays valid after the certificate expires; without, no timestamp. Without
# SIGN_PFX the release is built unsigned, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
built=build/win32/ZEVUnins.exe
out=build/release
version=$(cat VERSION)
rm -rf "$out"
mkdir -p "$out"
if [ -n "${SIGN_PFX:-}" ]; then
  timestamp=()
  if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then timestamp=(-ts "$SIGN_TIMESTAMP_URL"); fi
  osslsigncode sign -pkcs12 "$SIGN_PFX" -pass "${SIGN_PASSWORD:-}" -h sha256 \
    -n "Vantorin Print Uninstaller" -i "https://vantorin.example/" "${timestamp[@]}" \
    -in "$built" -out "$out/ZEVUnins.exe" >/dev/null
  echo "release $version: $out/ZEVUnins.exe signed with $SIGN_PFX" \
       "(${SIGN_TIMESTAMP_URL:+timestamped by $SIGN_TIMESTAMP_URL}${SIGN_TIMESTAMP_URL:-no timestamp})"
else
  cp "$built" "$out/ZEVUnins.exe"
  echo "release $version: $out/ZEVUnins.exe is UNSIGNED: no certificate given (set SIGN_PFX and SIGN_PASSWORD)"
fi
(cd "$out" && sha256sum ZEVUnins.exe > SHA256SUMS)
echo "checksums: $out/SHA256SUMS (check with: cd $out && sha256sum -c SHA256SUMS)"
