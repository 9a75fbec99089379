#!/usr/bin/env bash
# The release signed as a publisher would sign it, with a throwaway
# certificate made here, then checked as a customer would check it: the
# signature with osslsigncode, the sums with sha256sum, the manifest against
# winget's schema. Leaves the signed release in build/release.
set -euo pipefail
cd "$(dirname "$0")/.."
work=build/release-check
rm -rf "$work"
mkdir -p "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=ZEVUnins throwaway publisher" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:throwaway -out "$work/publisher.pfx"
SIGN_PFX="$work/publisher.pfx" SIGN_PASSWORD=throwaway scripts/release.sh
osslsigncode verify -CAfile "$work/cert.pem" -in build/release/ZEVUnins.exe > "$work/verify.txt" 2>&1 ||
  { cat "$work/verify.txt"; echo "the signed release does not verify" >&2; exit 1; }
grep -q "Signature verification: ok" "$work/verify.txt"
(cd build/release && sha256sum -c SHA256SUMS)
/usr/bin/python3 tests/release/manifest_test.py
echo "release checked: signature verified, sums match, manifest valid"
