"""The recording msi.dll (tools/recording_msi.cpp) in a Wine prefix, and
reading a setup log that another writer (an installer) wrote into as well.

The double replaces the prefix's system msi.dll (windows/system32 for an x64
program, windows/syswow64 for an x86 one); the prefix's registry key
HKCU\\Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides, value msi =
native,builtin, makes Wine prefer it for programs named setup.exe alone:
every other program (msiexec, the bench's helpers, a component installer)
keeps Wine's built-in msi.dll. The override is never put in WINEDLLOVERRIDES,
which children would inherit.

The script (recording_msi.ini) and the call log (recording_msi.log) lie
beside the double; RecordingMsi writes the one and reads the other.
"""

from __future__ import annotations

import codecs
import dataclasses
import shutil
import time
from pathlib import Path
from typing import Mapping, Optional, Union

import winebench as wb

# What MsiInstallProductA / MsiApplyPatchA of the double write into the
# file that MsiEnableLogA named (8-bit text).
INSTALLER_LOG_LINE = "=== recording installer log ===\r\n"

APP_DEFAULTS_KEY = "HKCU\\Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides"

# The script that matches the demo package (packages/demo.wxs, defaults).
DEMO_PACKAGE = {
    "ProductCode": "{5A0C6E1B-3F2D-4C8A-9E47-1D2B3C4D5E61}",
    "ProductVersion": "1.0.0",
    "ProductName": "Demo Product",
    "Template": "x64;1033",
}

def system_folder(prefix: wb.WinePrefix, arch: str) -> Path:
    """The prefix's system folder as a program of this architecture sees it."""
    return prefix.path / "drive_c" / "windows" / ("system32" if arch == "x64" else "syswow64")


def install(prefix: wb.WinePrefix, arch: str, double: Path) -> None:
    """Puts the double in the prefix's system folder and prefers it for
    setup.exe through the per-program override. Also turns Wine's crash
    dialog off, so that a program that does crash ends instead of waiting
    for a click (its exit code then is the exception code).

    The prefix's server must not run: the keys are appended to its
    user.reg, which Wine reads at the next start. (A "wine reg" started
    here would also start the prefix's services with the bench's pipes as
    their standard handles, and its caller would wait for ever.)"""
    if prefix.server and prefix.server.poll() is None:
        raise RuntimeError(f"the server of {prefix.path} runs: its registry cannot be edited")
    shutil.copyfile(double, system_folder(prefix, arch) / "msi.dll")
    stamp = int(time.time())
    with open(prefix.path / "user.reg", "a", encoding="ascii", newline="\n") as registry:
        registry.write(f"\n[{APP_DEFAULTS_KEY[5:]}] {stamp}\n".replace("\\", "\\\\"))
        registry.write('"msi"="native,builtin"\n')
        registry.write(f"\n[Software\\\\Wine\\\\WineDbg] {stamp}\n")
        registry.write('"ShowCrashDialog"=dword:00000000\n')


@dataclasses.dataclass
class Call:
    """One recorded call: the entry's name and its fields, as texts."""
    name: str
    args: list[str]

    def __str__(self) -> str:
        return "|".join([self.name, *self.args])


class RecordingMsi:
    """The double installed in a prefix: its script and its call log."""

    def __init__(self, prefix: wb.WinePrefix, arch: str) -> None:
        self.prefix = prefix
        self.arch = arch
        self.folder = system_folder(prefix, arch)
        self.script_path = self.folder / "recording_msi.ini"
        self.log_path = self.folder / "recording_msi.log"
        self.sections: dict[str, dict[str, str]] = {}

    def reset(self) -> None:
        """The demo package's script, nothing installed, every call
        succeeding; an empty call log."""
        self.sections = {"Package": dict(DEMO_PACKAGE), "State": {}, "Result": {}}
        self._write()
        self.log_path.unlink(missing_ok=True)

    def script(self, **sections: Mapping[str, Union[str, int, None]]) -> "RecordingMsi":
        """Changes the script: script(State={"ProductState": 5,
        "InstalledVersion": "2.0.0"}, Result={"InstallProduct": 1603}).
        A value of None removes the key (a package value then is missing)."""
        for section, keys in sections.items():
            target = self.sections.setdefault(section, {})
            for key, value in keys.items():
                if value is None:
                    target.pop(key, None)
                else:
                    target[key] = str(value)
        self._write()
        return self

    def _write(self) -> None:
        lines = []
        for section, keys in self.sections.items():
            lines.append(f"[{section}]")
            lines.extend(f"{key}={value}" for key, value in keys.items())
        # UTF-16 with its mark: any product name reaches the double intact.
        text = "\r\n".join(lines) + "\r\n"
        self.script_path.write_bytes(codecs.BOM_UTF16_LE + text.encode("utf-16-le"))

    # ---- the call log

    def lines(self) -> list[str]:
        if not self.log_path.exists():
            return []
        return self.log_path.read_bytes().decode("utf-8", "replace").splitlines()

    def calls(self, name: Optional[str] = None) -> list[Call]:
        """The recorded calls in order (process loads left out), or those of
        one entry."""
        found = []
        for line in self.lines():
            fields = line.split("|")
            if fields[0] in ("Load", "Chain"):
                continue
            if name is None or fields[0] == name:
                found.append(Call(fields[0], fields[1:]))
        return found

    def names(self) -> list[str]:
        """The names of the recorded calls, in order."""
        return [call.name for call in self.calls()]

    def loads(self) -> list[str]:
        """The programs (Windows paths) that loaded the double."""
        return [line.split("|", 1)[1] for line in self.lines() if line.startswith("Load|")]

    def chains(self) -> list[str]:
        """The exception-chain verdicts taken inside the install calls."""
        return [line.split("|", 1)[1] for line in self.lines() if line.startswith("Chain|")]

    def describe(self) -> str:
        return "recorded calls:\n" + "\n".join(f"    {line}" for line in self.lines())


# What the doubles find when they check the thread's exception chain: x86
# has one (fs:0), which must be intact; x64 has none.
CHAIN_INTACT = {"x86": "valid", "x64": "none"}


# --------------------------------------------------------------------------
# Logs written by two writers


@dataclasses.dataclass
class MixedLog:
    """A setup log file that an installer wrote into as well: the setup
    log's UTF-16 entries and the installer's 8-bit text, in file order.

    The split is by the bytes: a pair (nonzero, 0) is taken as a UTF-16 code
    unit of ASCII text, any other byte as one 8-bit character (Latin-1). It
    is exact for ASCII texts in both encodings, which is what the tests that
    read such files write."""
    raw: bytes
    segments: list[tuple[str, str]]  # ("utf-16" | "8-bit", text)

    @classmethod
    def parse(cls, raw: bytes) -> "MixedLog":
        body = raw[2:] if raw[:2] == codecs.BOM_UTF16_LE else raw
        segments: list[tuple[str, str]] = []
        index = 0

        def add(kind: str, char: str) -> None:
            if segments and segments[-1][0] == kind:
                segments[-1] = (kind, segments[-1][1] + char)
            else:
                segments.append((kind, char))

        while index < len(body):
            if index + 1 < len(body) and body[index] != 0 and body[index + 1] == 0:
                add("utf-16", chr(body[index]))
                index += 2
            else:
                add("8-bit", chr(body[index]))
                index += 1
        return cls(raw, segments)

    @property
    def text(self) -> str:
        """Both writers' texts, in file order."""
        return "".join(text for _, text in self.segments)

    def texts(self, kind: str) -> str:
        return "".join(text for segment_kind, text in self.segments if segment_kind == kind)

    @property
    def setup_entries(self) -> list[str]:
        """The setup log's time-stamped entries (stamp removed, line end kept)."""
        lines = self.texts("utf-16").splitlines(keepends=True)
        return [line[wb.LOG_STAMP.match(line).end():] for line in lines if wb.LOG_STAMP.match(line)]
