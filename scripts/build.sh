#!/usr/bin/env bash
# Builds both Windows programs: dist/setup.exe (x86) and dist/x64/setup.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in mingw-x86 mingw-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done
