#!/usr/bin/env bash
# Signs the Windows programs for release with an Authenticode signature
# (osslsigncode, SHA-256): dist/setup.exe, dist/x64/setup.exe and
# dist/setupcheck.exe become signed copies under dist/signed/ (or --out),
# with the same names and folders. The programs that scripts/build.sh made
# and held to their size budget stay unsigned beside them.
#
#   scripts/sign.sh --pfx FILE [--password-file FILE] [OPTIONS]
#   scripts/sign.sh --cert CERT.pem --key KEY.pem [--password-file FILE] [OPTIONS]
#   scripts/sign.sh --pkcs11-module MODULE.so --key URI|ID (--cert CERT.pem | --pkcs11-cert URI|ID)
#                   [--password-file PIN_FILE] [OPTIONS]
#   OPTIONS: [--description TEXT] [--url URL] [--timestamp URL] [--out DIR]
#
# --password-file holds the password of the PFX file or of the key, or the
# token's PIN (none: not protected; a token may ask on its own PIN pad).
# --cert may hold the chain, the signing certificate first. With
# --pkcs11-module the key stays in a hardware token or HSM: the module is
# its PKCS#11 library, the key (and the certificate, unless --cert gives it
# as a file) a "pkcs11:" URI or an object id; osslsigncode reaches it
# through OpenSSL's PKCS#11 engine (Debian's libengine-pkcs11-openssl).
# --description is the name the elevation prompt shows for the program,
# --url the publisher's address. --timestamp names an RFC 3161
# time-stamping server, so that the signature stays valid after the
# certificate expires. Relative paths are taken from the current folder.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  echo "usage: scripts/sign.sh (--pfx FILE | --cert CERT.pem --key KEY.pem |" \
    "--pkcs11-module MODULE.so --key URI|ID (--cert CERT.pem | --pkcs11-cert URI|ID))" \
    "[--password-file FILE] [--description TEXT] [--url URL] [--timestamp URL] [--out DIR]" >&2
  exit 2
}

# A path from the caller's folder.
absolute() {
  case "$1" in
    /* | "") printf '%s' "$1" ;;
    *) printf '%s/%s' "$PWD" "$1" ;;
  esac
}

pfx="" cert="" key="" module="" token_cert="" password="" description="" url="" timestamp="" out="$repo/dist/signed"
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --pfx) pfx=$(absolute "$2") ;;
    --cert) cert=$(absolute "$2") ;;
    --key) key=$2 ;;
    --pkcs11-module) module=$2 ;;
    --pkcs11-cert) token_cert=$2 ;;
    --password-file) password=$(absolute "$2") ;;
    --description) description=$2 ;;
    --url) url=$2 ;;
    --timestamp) timestamp=$2 ;;
    --out) out=$(absolute "$2") ;;
    *) usage ;;
  esac
  shift 2
done
if [ -n "$pfx" ]; then
  [ -z "$cert$key$module$token_cert" ] || usage
  signer=(-pkcs12 "$pfx")
elif [ -n "$module" ]; then
  # The certificate as a file or in the token, not both.
  [ -n "$key" ] && [ -n "$cert$token_cert" ] && { [ -z "$cert" ] || [ -z "$token_cert" ]; } || usage
  # A library named without a folder is left to the loader's search.
  if [[ $module == */* ]]; then module=$(absolute "$module"); fi
  signer=(-pkcs11module "$module" -key "$key")
  if [ -n "$cert" ]; then signer+=(-certs "$cert"); else signer+=(-pkcs11cert "$token_cert"); fi
else
  [ -n "$cert" ] && [ -n "$key" ] && [ -z "$token_cert" ] || usage
  signer=(-certs "$cert" -key "$(absolute "$key")")
fi
if [ -n "$password" ]; then
  signer+=(-readpass "$password")
elif [ -z "$module" ]; then
  signer+=(-pass "")
fi
if [ -n "$description" ]; then signer+=(-n "$description"); fi
if [ -n "$url" ]; then signer+=(-i "$url"); fi
if [ -n "$timestamp" ]; then signer+=(-ts "$timestamp"); fi
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (Debian package osslsigncode)" >&2; exit 2; }

for program in setup.exe x64/setup.exe setupcheck.exe; do
  if [ ! -f "$repo/dist/$program" ]; then
    echo "sign.sh: dist/$program is missing: run scripts/build.sh first" >&2
    exit 2
  fi
  mkdir -p "$(dirname "$out/$program")"
  rm -f "$out/$program"
  osslsigncode sign "${signer[@]}" -h sha256 -in "$repo/dist/$program" -out "$out/$program" >/dev/null
  chmod --reference="$repo/dist/$program" "$out/$program"
  echo "$out/$program: signed, $(stat -c %s "$out/$program") bytes"
done
