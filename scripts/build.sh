#!/usr/bin/env bash
# Builds the Windows programs, dist/setup.exe and dist/setupcheck.exe (x86)
# and dist/x64/setup.exe, and the Linux media checker dist/linux/setupcheck.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in mingw-x86 mingw-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target setupcheck
