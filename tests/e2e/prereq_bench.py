"""What the prerequisite and post-requisite tests share: the helper programs
that stand in for components (tools/component.exe, condition.exe, the
planted msiexec.exe, the versioned libraries), the prerequisite package
(packages/prereq.wxs), configuration sections and the reading of the
setup log.

The setup log is read as bytes: when Wine's installer installs the product
it truncates the log and writes 8-bit text into it, and the setup's own
entries after that are UTF-16 again, at any byte offset. An entry is looked
for as its UTF-16 encoding anywhere in the file.
"""

from __future__ import annotations

import subprocess
import time
from pathlib import Path
from typing import Iterable, Mapping, Optional, Union

import pytest

import winebench as wb

TOOL_FILES = ("component.exe", "condition.exe", "planted-msiexec.exe", "versioned-1.2.3.4.dll",
              "versioned-2.0.0.0.dll")

# The prerequisite package: its product and the registry value it writes
# (64-bit view; the package is built for x64 like the demo product).
PREREQ_PRODUCT = "Demo Prerequisite"
PREREQ_KEY = "HKLM\\Software\\Demo Maker\\Demo Prerequisite"
PREREQ_VALUE = "Installed"
PREREQ_VERSION = "2.5.0"

# Where tests that need a key of their own write registry values.
TEST_KEY = "HKEY_LOCAL_MACHINE\\Software\\Demo Maker\\Prerequisite Tests"

LOG_ENTRY_PREFIX = "]: "

PASSIVE = ["/i", "/passive"]
QUIET = ["/i", "/quiet"]


def require_tools(tools: Path) -> None:
    missing = [name for name in TOOL_FILES if not (tools / name).is_file()]
    if missing:
        pytest.fail(f"helper programs missing in {tools}: {', '.join(missing)} "
                    f"(build the e2e_* targets of tests/e2e/tools)", pytrace=False)


def build_prereq_package(output: Path) -> Path:
    output.parent.mkdir(parents=True, exist_ok=True)
    result = subprocess.run(["wixl", "-a", "x64", "-o", str(output),
                             str(wb.PACKAGES_DIR / "prereq.wxs")],
                            capture_output=True, text=True, timeout=60, check=False)
    if result.returncode != 0 or not output.exists():
        raise RuntimeError(f"wixl failed: {result.stderr}")
    return output


# --------------------------------------------------------------------------
# Configuration


Section = Mapping[str, Union[str, int]]


def setup_ini(main: Section, prereqs: Iterable[Section] = (), postreqs: Iterable[Section] = ()
              ) -> dict[str, Section]:
    ini: dict[str, Section] = {"Main": dict(main)}
    for index, section in enumerate(prereqs):
        ini[f"PreReq{index}"] = dict(section)
    for index, section in enumerate(postreqs):
        ini[f"PostReq{index}"] = dict(section)
    return ini


def component_command(media: wb.Media, code: int, marker: str, *extra: str) -> str:
    """The command line of component.exe on the medium: exits with code,
    leaves the marker (a Windows path without blanks)."""
    return " ".join([f'"{media.windows("component.exe")}"', str(code), marker, *extra])


def marker_path(name: str) -> str:
    """A marker file in C:\\logs (a scratch folder, emptied before each test)."""
    return f"C:\\logs\\{name}.marker"


# --------------------------------------------------------------------------
# The setup log


def utf16(text: str) -> bytes:
    return text.encode("utf-16-le")


def only_log_bytes(bench: wb.Bench, run: wb.SetupRun) -> bytes:
    logs = bench.temp_logs()
    setup_logs = [path for path in logs if " Setup (" in path.name]
    assert len(setup_logs) == 1, f"logs: {[path.name for path in logs]}\n{run.describe()}"
    return setup_logs[0].read_bytes()


def readable(raw: bytes) -> str:
    """The log for an assertion message: the UTF-16 text at both byte
    alignments, so that entries after an 8-bit insert stay readable."""
    even = raw[2:] if raw[:2] == b"\xff\xfe" else raw
    return (even.decode("utf-16-le", "replace") + "\n--- shifted by one byte ---\n"
            + raw[1:].decode("utf-16-le", "replace"))


def has_entry(raw: bytes, text: str) -> bool:
    """Whether the log holds the time-stamped entry text (line end included
    when the caller gives it)."""
    return utf16(LOG_ENTRY_PREFIX + text) in raw


def entry_position(raw: bytes, text: str) -> int:
    return raw.find(utf16(LOG_ENTRY_PREFIX + text))


# --------------------------------------------------------------------------
# The prefix


def reg_query(bench: wb.Bench, key: str, value: str, view: Optional[str] = None
              ) -> subprocess.CompletedProcess:
    args = ["reg", "query", key, "/v", value]
    if view:
        args.append(f"/reg:{view}")
    return bench.prefix.wine(args)


def reg_add(bench: wb.Bench, key: str, value: str, data: str, kind: str = "REG_SZ",
            view: Optional[str] = None) -> None:
    args = ["reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f"]
    if view:
        args.append(f"/reg:{view}")
    result = bench.prefix.wine(args)
    if result.returncode != 0:
        raise RuntimeError(f"reg add {key} {value} failed: {result.stderr!r}")


def prereq_installed(bench: wb.Bench) -> bool:
    result = reg_query(bench, PREREQ_KEY, PREREQ_VALUE)
    return result.returncode == 0 and PREREQ_VERSION.encode() in result.stdout


def markers(bench: wb.Bench) -> dict[str, str]:
    """Marker name -> content, of every marker in C:\\logs."""
    folder = bench.prefix.drive_c / "logs"
    if not folder.is_dir():
        return {}
    return {path.name[:-len(".marker")]: path.read_bytes().decode("utf-8", "replace")
            for path in sorted(folder.glob("*.marker"))}


def wait_until(predicate, timeout: float, step: float = 0.1) -> bool:
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()
