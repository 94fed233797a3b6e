#!/bin/sh
# The end-to-end tests (README.md): builds the helpers of tools/ for SETUP_EXE, then runs pytest with the arguments.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../.."
fail() { echo "run.sh: $*" >&2; exit 2; }

missing=""
for command in wine wineserver wixl Xvfb xdotool cmake ninja /usr/bin/python3; do
    command -v "$command" >/dev/null 2>&1 || missing="$missing $command"
done
/usr/bin/python3 -c 'import pytest' 2>/dev/null || missing="$missing python3-pytest"
[ -z "$missing" ] || fail "missing:$missing (install the packages of tests/e2e/requirements-apt.txt)"

# Under qemu-user a 32-bit Wine process takes a minute to reserve the space above 2 GB; with a guest space of
# 2 GB + 16 MB there is none, and it starts in about 3 seconds.
export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0x81000000}
export SETUP_EXE=${SETUP_EXE:-dist/x64/setup.exe}
[ -f "$SETUP_EXE" ] || fail "$SETUP_EXE is missing: build the program first"
if [ -z "${E2E_TOOLS_DIR:-}" ]; then
    arch=$(cd "$here" && /usr/bin/python3 -c 'import bench; print(bench.pe_architecture(bench.setup_exe()))')
    case "$arch" in
        x64|x86) preset=mingw-$arch ;;
        *) fail "$SETUP_EXE is neither x86 nor x64 ($arch)" ;;
    esac
    [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j2 --target e2e_tool e2e_noop e2e_recording
fi
exec /usr/bin/python3 -m pytest "$here" "$@"
