#!/usr/bin/env bash
# Runs every test on a Debian machine, as root: installs what is missing,
# runs the unit tests natively and under ASan/UBSan and the media checker
# against its corpus of media, builds both Windows programs and runs the
# end-to-end tests under Wine: the broad suite with the x64 build, and the
# x86 suite with the x86 build under 32-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== layers"
python3 scripts/check-layers.py

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

echo "== end-to-end tests under Wine (x64 build)"
bash tests/e2e/run.sh

echo "== end-to-end tests under 32-bit Wine (x86 build, the program we ship)"
SETUP_EXE=dist/setup.exe bash tests/e2e/run.sh -m x86
