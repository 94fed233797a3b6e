"""The Linux setupcheck (dist/linux/setupcheck, or $SETUPCHECK) and the media's files by kind (README.md)."""

import os
import shutil
import struct
import subprocess
from pathlib import Path

import pytest

HERE = Path(__file__).resolve().parent
PROGRAM = os.environ.get("SETUPCHECK", str(HERE.parent.parent / "dist" / "linux" / "setupcheck"))
DEMO_CODE = "{5A0C6E1B-3F2D-4C8A-9E47-1D2B3C4D5E61}"
PATCH_CODE = "{D3F1A2B4-0C5E-4F6A-8B7C-9D0E1F2A3B4C}"
# msibuild's changes to a copy of demo.msi: an SQL query, or the summary's name, maker, Template and revision
# number; a patch has its targets as Template and its code first in the revision number.
DELETE = "DELETE FROM `Property` WHERE `Property`="
VARIANTS = {"noname": ["-q", DELETE + "'ProductName'"], "nomaker": ["-q", DELETE + "'Manufacturer'"],
            "nocode": ["-q", DELETE + "'ProductCode'"], "noallusers": ["-q", DELETE + "'ALLUSERS'"],
            "dual": ["-q", "UPDATE `Property` SET `Value`='2' WHERE `Property`='ALLUSERS'"],
            **{kind.lower(): ["-s", "Demo Product", "Demo Maker", f"{kind};1033", PATCH_CODE]
               for kind in ("Intel", "Arm64", "Intel64")},
            **{kind: ["-s", "Demo Fix", "Demo Maker", *change] for kind, change in (
                ("patch", (DEMO_CODE, PATCH_CODE + DEMO_CODE)), ("patch-uncoded", (DEMO_CODE, "none")),
                ("patch-untargeted", ("", PATCH_CODE)))}}


def check(*args) -> subprocess.CompletedProcess:
    return subprocess.run([PROGRAM, *map(str, args)], capture_output=True, text=True, timeout=60)


def program(signed: bool, machine: int = 0x14C) -> bytes:
    """A Windows program's headers (PE32), with a security directory when signed."""
    image = bytearray(1024)
    image[:2], image[0x40], image[0x80:0x84] = b"MZ", 0x0E, b"PE\0\0"  # 0x0E: where a DOS stub begins
    struct.pack_into("<I", image, 0x3C, 0x80)
    struct.pack_into("<H", image, 0x84, machine)
    struct.pack_into("<H", image, 0x98, 0x10B)
    struct.pack_into("<I", image, 0x98 + 92, 16)
    struct.pack_into("<II", image, 0x98 + 128, 0x400 * signed, 0x200 * signed)
    return bytes(image)


@pytest.fixture(scope="session")
def packages(tmp_path_factory):
    folder = tmp_path_factory.mktemp("packages")
    made = {"unsigned": program(False), "signed": program(True), "x64": program(False, 0x8664)}
    # per user: no ALLUSERS, Word Count 10; schema 199: one short of what a 64-bit package needs
    for kind, defines in (("demo", []), ("peruser", ["-D", "Scope=perUser"]), ("schema199", ["-D", "Schema=199"])):
        subprocess.run(["wixl", "-a", "x64", *defines, "-o", folder / f"{kind}.msi", HERE.parent / "e2e/packages/demo.wxs"],
                       check=True, capture_output=True)
        made[kind] = (folder / f"{kind}.msi").read_bytes()
    for kind, change in VARIANTS.items():
        if not kind.startswith("patch"):
            shutil.copy(folder / "demo.msi", folder / f"{kind}.msi")
        subprocess.run(["msibuild", folder / f"{kind}.msi", *change], check=True, capture_output=True)
        made[kind] = (folder / f"{kind}.msi").read_bytes()
    return made


@pytest.fixture
def media(packages, tmp_path):
    """Writes the configuration file and the files, NAME=KIND (another kind: a small text file)."""
    def make(ini: bytes, files: str = "", name: str = "setup.ini") -> Path:
        for path, _, kind in (item.partition("=") for item in files.split()):
            (tmp_path / path).parent.mkdir(exist_ok=True)
            (tmp_path / path).write_bytes(packages.get(kind, b"not a package\r\n"))
        (tmp_path / name).write_bytes(ini)
        return tmp_path
    return make
