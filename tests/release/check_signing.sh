#!/usr/bin/env bash
# Signing with a throwaway certificate: a test CA and a code-signing
# certificate it issued, made here with openssl. The signed DLL verifies
# against that CA, the unsigned one is left as it was, the export tests pass
# on the signed DLL, and the signed DLL with one byte changed fails.
#   check_signing.sh SOURCE_DIR DLL EXPORT_TESTS FIXTURES EMULATOR_OR_EMPTY
set -euo pipefail
source=$1 dll=$2 export_tests=$3 fixtures=$4 emulator=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=QVSETUP test CA" -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
  -subj "/CN=QVSETUP test signer" 2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature \
  extendedKeyUsage=codeSigning >signer.ext
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
  -extfile signer.ext -out signer.pem 2>/dev/null
printf 'throwaway password\n' >password
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
  -passout file:password -out signer.pfx

before=$(sha256sum <"$dll")
"$source/tools/release/sign.sh" signer.pfx password "" "$dll" run/QVSETUP.dll
[ "$(sha256sum <"$dll")" = "$before" ] || { echo "FAIL: signing changed $dll"; exit 1; }
osslsigncode verify -CAfile ca.pem -in run/QVSETUP.dll >verify.log 2>&1 &&
  grep -q 'Subject: /CN=QVSETUP test signer' verify.log ||
  { cat verify.log; echo "FAIL: the signed DLL does not verify as signed by the test certificate"; exit 1; }

# One byte of the code changed (complemented): verification must fail.
cp run/QVSETUP.dll changed.dll
byte=$(od -An -tu1 -j1024 -N1 changed.dll)
printf "\\$(printf %o $((255 - byte)))" | dd of=changed.dll bs=1 seek=1024 conv=notrunc 2>/dev/null
if osslsigncode verify -CAfile ca.pem -in changed.dll >changed.log 2>&1 ||
  ! grep -q MISMATCH changed.log; then
  cat changed.log; echo "FAIL: a DLL with one byte changed still verifies"; exit 1
fi

# Signing must not change behaviour: the export tests on the signed DLL.
cp "$export_tests" run/
QV_FIXTURES=$fixtures ${emulator:+"$emulator"} "run/$(basename "$export_tests")" --gtest_brief=1
echo "signing ok: $(wc -c <"$dll") bytes unsigned, $(wc -c <run/QVSETUP.dll) signed"
