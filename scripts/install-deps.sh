#!/usr/bin/env bash
# Installs, as root on Debian, every package the builds and the tests need,
# and 32-bit Wine for the tests of the x86 program: Debian's qemu-user-static
# registered for 32-bit x86 Linux programs (the kernel of the build machines
# does not start them itself), then wine32:i386. Idempotent.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}

packages=$(cat "$here/scripts/packages-apt.txt" "$here/tests/e2e/requirements-apt.txt" 2>/dev/null |
  sed 's/#.*//' | tr -s ' \t\n' '\n' | sort -u)
# shellcheck disable=SC2086
install_missing $packages

# 32-bit Wine through emulation. F: the emulator is opened at registration,
# so it also serves inside a chroot.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
fi
if [ ! -e "$binfmt/register" ]; then
  echo "install-deps: binfmt_misc is not available here: the x86 program cannot be tested" >&2
  exit 1
fi
if ! grep -qs 'interpreter .*qemu-i386' "$binfmt"/* 2>/dev/null; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    > "$binfmt/register"
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  apt-get update -q
fi
install_missing wine32:i386
