#!/usr/bin/env bash
# Installs, as root on Debian, every package the builds and the tests need.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
packages=$(cat "$here/scripts/packages-apt.txt" "$here/tests/e2e/requirements-apt.txt" 2>/dev/null |
  sed 's/#.*//' | tr -s ' \t\n' '\n' | sort -u)
missing=()
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
