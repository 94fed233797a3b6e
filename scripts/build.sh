#!/usr/bin/env bash
# Builds the Windows programs, dist/setup.exe and dist/setupcheck.exe (x86)
# and dist/x64/setup.exe, and the Linux media checker dist/linux/setupcheck,
# and holds setup.exe to its size budget: a program that grows past its
# limit fails the build (docs/size.md).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in mingw-x86 mingw-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target setupcheck

over=0
for budget in "dist/setup.exe 163840" "dist/x64/setup.exe 204800"; do
  read -r program limit <<<"$budget"
  size=$(stat -c %s "$program")
  echo "$program: $size bytes (budget $limit)"
  if [ "$size" -gt "$limit" ]; then
    echo "build.sh: $program is $((size - limit)) bytes over its budget of $limit bytes" >&2
    over=1
  fi
done
exit "$over"
