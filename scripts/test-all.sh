#!/usr/bin/env bash
# Runs every test on a Debian machine, as root: installs what is missing,
# runs the unit tests natively and under ASan/UBSan and the media checker
# against its corpus of media, builds both Windows programs, signs them with
# a throwaway key in a PKCS#11 token and with a PFX file (verified, and run
# once under Wine) and runs the end-to-end tests under Wine: the broad suite
# with the x64 build, and the x86 suite with the x86 build under 32-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== layers"
python3 scripts/check-layers.py

echo "== the tests' share of the code"
python3 scripts/test-ratio.py || true

for preset in native native-asan; do
  echo "== unit tests ($preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
  ctest --preset "$preset"
done

echo "== media checker against its corpus (dist/linux/setupcheck, then its ASan build)"
/usr/bin/python3 -m pytest tests/setupcheck -q -p no:cacheprovider
SETUPCHECK=build/native-asan/setupcheck /usr/bin/python3 -m pytest tests/setupcheck -q -p no:cacheprovider

echo "== fuzz targets (short run)"
bash scripts/fuzz.sh 10

echo "== Windows builds"
bash scripts/build.sh

echo "== signing with a throwaway key in a PKCS#11 token (SoftHSM2) and with a PFX file: verified, seen by setupcheck, run once under Wine"
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway Test CA" -keyout "$keys/ca.key" \
  -out "$keys/ca.pem" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n' >"$keys/sign.ext"
certify() {  # certify REQUEST CERTIFICATE: for code signing, by the throwaway authority
  openssl x509 -req -in "$1" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" -CAcreateserial -days 2 \
    -extfile "$keys/sign.ext" -out "$2" 2>/dev/null
}
# The token: SoftHSM2's store in the temporary folder, a key made inside it,
# and a certificate for that key (its request signed in the token).
mkdir "$keys/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\n' "$keys/tokens" >"$keys/softhsm2.conf"
export SOFTHSM2_CONF=$keys/softhsm2.conf
module=/usr/lib/softhsm/libsofthsm2.so
token_key="pkcs11:token=throwaway;object=sign;type=private"
echo 1234 >"$keys/pin"
softhsm2-util --init-token --free --label throwaway --pin 1234 --so-pin 123456 >/dev/null
pkcs11-tool --module "$module" --token-label throwaway --login --pin 1234 --keypairgen --key-type rsa:2048 \
  --id 01 --label sign >/dev/null
openssl req -new -engine pkcs11 -keyform engine -key "$token_key;pin-value=1234" -subj "/CN=Throwaway Code Signing" \
  -out "$keys/token.csr" >/dev/null 2>&1
certify "$keys/token.csr" "$keys/token.pem"
bash scripts/sign.sh --pkcs11-module "$module" --key "$token_key" --cert "$keys/token.pem" --password-file "$keys/pin" \
  --description "Demo Setup" --url https://example.com/
# A PFX file, named from another folder.
openssl req -newkey rsa:2048 -nodes -subj "/CN=Throwaway Code Signing" -keyout "$keys/file.key" -out "$keys/file.csr" 2>/dev/null
certify "$keys/file.csr" "$keys/file.pem"
echo throwaway >"$keys/password"
openssl pkcs12 -export -in "$keys/file.pem" -inkey "$keys/file.key" -certfile "$keys/ca.pem" \
  -passout "file:$keys/password" -out "$keys/file.pfx"
(cd "$keys" && bash "$OLDPWD/scripts/sign.sh" --pfx file.pfx --password-file password --out pfx-signed >/dev/null)
mkdir "$keys/media"
printf '[Main]\r\nMsiPath=product.msi\r\n' >"$keys/media/setup.ini"
for program in setup.exe x64/setup.exe setupcheck.exe; do
  osslsigncode verify -CAfile "$keys/ca.pem" -in "$keys/pfx-signed/$program" >/dev/null
  osslsigncode verify -CAfile "$keys/ca.pem" -in "dist/signed/$program" | grep "Text description: Demo Setup" >/dev/null
  for copy in "dist/$program" "dist/signed/$program"; do
    cp "$copy" "$keys/media/setup.exe"
    report=$(dist/linux/setupcheck "$keys/media" --json || true)
    if grep -q Authenticode <<<"$report"; then seen=unsigned; else seen=signed; fi
    [ "$copy" = "dist/$program" ] && expected=unsigned || expected=signed
    if [ "$seen" != "$expected" ]; then echo "test-all: setupcheck takes $copy for $seen" >&2; exit 1; fi
  done
done
SETUP_EXE=dist/signed/x64/setup.exe bash tests/e2e/run.sh -q -k unbalanced-quote
SETUP_EXE=dist/signed/setup.exe bash tests/e2e/run.sh -q -m x86 -k unbalanced-quote

echo "== end-to-end tests under Wine (x64 build)"
bash tests/e2e/run.sh

echo "== end-to-end tests under 32-bit Wine (x86 build, the program we ship)"
SETUP_EXE=dist/setup.exe bash tests/e2e/run.sh -m x86
