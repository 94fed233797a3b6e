"""The shipped images as a loader sees them: only libraries that Windows
always takes from its system folder are imported, and the images are
hardened (ASLR with relocations, DEP, high-entropy ASLR on x64, GUI)."""

import re
import shutil
import subprocess
import warnings

import pytest

import winebench as wb

KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
              "ole32.dll", "comctl32.dll", "msvcrt.dll"}
CRT_FORWARDER = re.compile(r"^(api-ms-win-crt-[a-z0-9-]+\.dll|ucrtbase\.dll)$")

IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA = 0x0020
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100

IMAGES = [
    pytest.param((wb.REPO / "dist" / "x64" / "setup.exe", "x86_64-w64-mingw32-objdump", "x64"), id="x64"),
    pytest.param((wb.REPO / "dist" / "setup.exe", "i686-w64-mingw32-objdump", "x86"), id="x86"),
]


@pytest.fixture(params=IMAGES)
def image(request):
    path, objdump, arch = request.param
    if not path.is_file():
        if arch == "x64":
            pytest.fail(f"{path} is missing: build the mingw-x64 preset", pytrace=False)
        pytest.skip(f"{path} is not built here")
    if shutil.which(objdump) is None:
        pytest.fail(f"{objdump} is missing (binutils-mingw-w64)", pytrace=False)
    return path, wb.objdump_private_headers(objdump, path), objdump, arch


def test_image_has_the_architecture_of_its_folder(image):
    path, _, _, arch = image
    assert wb.pe_architecture(path) == arch


def test_imports_only_known_dlls(image):
    _, headers, _, _ = image
    imported = {name.lower() for name in re.findall(r"^\s*DLL Name:\s*(\S+)", headers, re.M)}
    assert imported, "no import table found"
    forwarders = sorted(name for name in imported if CRT_FORWARDER.match(name))
    if forwarders:
        warnings.warn(f"the image imports the universal C runtime: {forwarders}")
    assert sorted(imported - KNOWN_DLLS - set(forwarders)) == []


def test_dll_characteristics_enable_aslr_and_dep(image):
    _, headers, _, arch = image
    match = re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", headers, re.M)
    assert match, "no DllCharacteristics in the optional header"
    flags = int(match.group(1), 16)
    required = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT
    if arch == "x64":
        required |= IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA
    assert flags & required == required, f"DllCharacteristics 0x{flags:04x}, need 0x{required:04x}"


def test_image_keeps_its_relocations(image):
    path, _, objdump, _ = image
    sections = subprocess.run([objdump, "-h", str(path)], capture_output=True, text=True,
                              check=True).stdout
    reloc = re.search(r"^\s*\d+\s+\.reloc\s+([0-9a-f]+)", sections, re.M)
    assert reloc and int(reloc.group(1), 16) > 0, sections


def test_image_is_a_windows_gui_program(image):
    _, headers, _, _ = image
    assert re.search(r"^Subsystem\s+0*2\s+\(Windows GUI\)", headers, re.M), \
        re.search(r"^Subsystem.*$", headers, re.M)
