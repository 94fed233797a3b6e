#!/usr/bin/env bash
# Runs every test on a Debian machine, as root: installs what is missing,
# runs the unit tests natively and under ASan/UBSan and the media checker
# against its corpus of media, builds both Windows programs, signs them with
# a throwaway certificate (verified, and run once under Wine) and runs the
# end-to-end tests under Wine: the broad suite with the x64 build, and the
# x86 suite with the x86 build under 32-bit Wine.
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

echo "== signing with a throwaway certificate: verified, seen by setupcheck, run once under Wine"
keys=$(mktemp -d)
trap 'rm -rf "$keys"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throwaway Test CA" -keyout "$keys/ca.key" \
  -out "$keys/ca.pem" -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Throwaway Code Signing" -keyout "$keys/sign.key" -out "$keys/sign.csr" 2>/dev/null
printf 'extendedKeyUsage=codeSigning\nkeyUsage=critical,digitalSignature\n' >"$keys/sign.ext"
openssl x509 -req -in "$keys/sign.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" -CAcreateserial -days 2 \
  -extfile "$keys/sign.ext" -out "$keys/sign.pem" 2>/dev/null
echo throwaway >"$keys/password"
openssl pkcs12 -export -in "$keys/sign.pem" -inkey "$keys/sign.key" -certfile "$keys/ca.pem" \
  -passout "file:$keys/password" -out "$keys/sign.pfx"
bash scripts/sign.sh --pfx "$keys/sign.pfx" --password-file "$keys/password"
mkdir "$keys/media"
printf '[Main]\r\nMsiPath=product.msi\r\n' >"$keys/media/setup.ini"
for program in setup.exe x64/setup.exe setupcheck.exe; do
  osslsigncode verify -CAfile "$keys/ca.pem" -in "dist/signed/$program" >/dev/null
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
