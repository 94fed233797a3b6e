#!/bin/sh
# The end-to-end tests (see README.md): builds the helpers of tools/ with the
# preset of the program under test (SETUP_EXE, default dist/x64/setup.exe,
# built already), then runs pytest with the extra arguments.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cd "$repo"

missing=""
for command in wine wineserver wixl Xvfb xdotool localedef cmake ninja /usr/bin/python3; do
    command -v "$command" >/dev/null 2>&1 || missing="$missing $command"
done
if ! /usr/bin/python3 -c 'import pytest' 2>/dev/null; then missing="$missing python3-pytest"; fi
if [ -n "$missing" ]; then
    echo "run.sh: missing:$missing (install the packages of tests/e2e/requirements-apt.txt)" >&2
    exit 2
fi

# 32-bit Wine runs under qemu-user here. Its loader reserves the address
# space above 2 GB in 64 KB steps, which qemu serves slowly (about a minute
# for every 32-bit process); with a guest address space of 2 GB + 16 MB
# there is nothing up there to reserve, and a 32-bit process starts in about
# 3 seconds. 32-bit Windows programs get 2 GB anyway.
export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0x81000000}

SETUP_EXE=${SETUP_EXE:-dist/x64/setup.exe}
export SETUP_EXE
if [ ! -f "$SETUP_EXE" ]; then
    echo "run.sh: $SETUP_EXE is missing: build the program first" >&2
    exit 2
fi

if [ -z "${E2E_TOOLS_DIR:-}" ]; then
    arch=$(cd "$here" && /usr/bin/python3 -c 'import bench; print(bench.pe_architecture(bench.setup_exe()))')
    case "$arch" in
        x64) preset=mingw-x64 ;;
        x86) preset=mingw-x86 ;;
        *) echo "run.sh: $SETUP_EXE is neither x86 nor x64 ($arch)" >&2; exit 2 ;;
    esac
    if [ ! -f "build/$preset/build.ninja" ]; then
        cmake --preset "$preset" >/dev/null
    fi
    cmake --build --preset "$preset" -j2 --target e2e_tool e2e_recording_msi e2e_recording_mapi
fi

exec /usr/bin/python3 -m pytest "$here" "$@"
