#!/usr/bin/env bash
# Signs the Windows programs for release with an Authenticode signature
# (osslsigncode, SHA-256): dist/setup.exe, dist/x64/setup.exe and
# dist/setupcheck.exe become signed copies under dist/signed/ (or --out),
# with the same names and folders. The programs that scripts/build.sh made
# and held to their size budget stay unsigned beside them.
#
#   scripts/sign.sh --pfx FILE [--password-file FILE] [--timestamp URL] [--out DIR]
#   scripts/sign.sh --cert CERT.pem --key KEY.pem [--password-file FILE] [--timestamp URL] [--out DIR]
#
# --password-file holds the password of the PFX file or of the key (none:
# not protected). --cert may hold the chain, the signing certificate first.
# --timestamp names an RFC 3161 time-stamping server, so that the signature
# stays valid after the certificate expires.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/sign.sh (--pfx FILE | --cert CERT.pem --key KEY.pem) [--password-file FILE] [--timestamp URL] [--out DIR]" >&2
  exit 2
}

pfx="" cert="" key="" password="" timestamp="" out="dist/signed"
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || usage
  case "$1" in
    --pfx) pfx=$2 ;;
    --cert) cert=$2 ;;
    --key) key=$2 ;;
    --password-file) password=$2 ;;
    --timestamp) timestamp=$2 ;;
    --out) out=$2 ;;
    *) usage ;;
  esac
  shift 2
done
if [ -n "$pfx" ]; then
  [ -z "$cert$key" ] || usage
  signer=(-pkcs12 "$pfx")
else
  [ -n "$cert" ] && [ -n "$key" ] || usage
  signer=(-certs "$cert" -key "$key")
fi
if [ -n "$password" ]; then signer+=(-readpass "$password"); else signer+=(-pass ""); fi
if [ -n "$timestamp" ]; then signer+=(-ts "$timestamp"); fi
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (Debian package osslsigncode)" >&2; exit 2; }

for program in setup.exe x64/setup.exe setupcheck.exe; do
  if [ ! -f "dist/$program" ]; then
    echo "sign.sh: dist/$program is missing: run scripts/build.sh first" >&2
    exit 2
  fi
  mkdir -p "$(dirname "$out/$program")"
  rm -f "$out/$program"
  osslsigncode sign "${signer[@]}" -h sha256 -in "dist/$program" -out "$out/$program" >/dev/null
  chmod --reference="dist/$program" "$out/$program"
  echo "$out/$program: signed, $(stat -c %s "$out/$program") bytes"
done
