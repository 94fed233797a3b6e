#!/usr/bin/env bash
# Builds everything, makes demo media (a product package built with wixl
# and its setup.ini) and installs the demo product with dist/setup.exe (the
# x86 program we ship) under Wine, unattended, in a throwaway prefix. Prints the exit code, the
# setup log and whether the product is installed. Run as root on Debian.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null

work=$(mktemp -d /tmp/setup-demo.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# 32-bit Wine runs emulated here; see tests/e2e/run.sh for the address space.
export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0x81000000}
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

echo "== making a Wine prefix"
"$wine" wineboot -i >/dev/null 2>&1
wineserver -w

echo "== demo media in C:\\Demo"
media=$WINEPREFIX/drive_c/Demo
mkdir -p "$media"
(cd tests/e2e/packages && wixl -a x64 -o "$media/Demo.msi" demo.wxs)
cp dist/setup.exe "$media/setup.exe"
printf '[Main]\r\nMsiPath=Demo.msi\r\n' > "$media/setup.ini"
ls -l "$media"

echo "== media check: dist/linux/setupcheck C:\\Demo"
dist/linux/setupcheck "$media"

echo "== C:\\Demo\\setup.exe /i /quiet /log C:\\Demo\\setup.log"
code=$("$wine" build/mingw-x64/test-tools/tool.exe start 'C:\Demo\setup.exe /i /quiet /log C:\Demo\setup.log' 2>/dev/null | tr -d '\r')
wineserver -w
echo "exit code: $code"

echo "== setup log"
python3 - "$media/setup.log" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
# The installer rewrites the file with its own 8-bit log; the setup's own
# entries are UTF-16.
mark = "Setup.exe [".encode("utf-16-le")
start = data.find(mark)
if data.startswith(b"\xff\xfe"):
    print(data[2:].decode("utf-16-le", "replace"), end="")
elif start > 0:
    print(data[:start].decode("latin-1"), end="")
    print(data[start:].decode("utf-16-le", "replace"), end="")
else:
    print(data.decode("latin-1"), end="")
PY

echo "== is the product installed?"
if "$wine" reg query 'HKLM\Software\Demo Maker\Demo Product' /v Version /reg:64 2>/dev/null | tr -d '\r' | grep Version; then
  echo "installed: yes"
else
  echo "installed: no"
fi
[ "$code" = 0 ]
