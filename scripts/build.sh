#!/usr/bin/env bash
# Builds both Windows programs: dist/setup.exe (x86) and dist/x64/setup.exe,
# and holds them to their size budget: a program that grows past its limit
# fails the build (README, "Size").
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in mingw-x86 mingw-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done

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
