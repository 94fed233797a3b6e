"""Shared pieces of the product-installation tests: the texts the run logs
and shows around the installer call, media for the demo package, and the
run's setup log read as a file that the installer wrote into as well."""

from __future__ import annotations

import dataclasses
import re
import subprocess
from pathlib import Path
from typing import Mapping, Optional, Union

import msi_double
import winebench as wb

# Texts of the run (English), each as the log holds it.
NEWER_INSTALLED = ("Newer version of this product is already installed. Installation of this "
                   "version cannot continue. To configure or remove the existing version of this "
                   "product, use Add/Remove Programs on the Control Panel.")
MINOR_UPDATE_DISABLED = ("Older version of this product is already installed. Minor update is "
                         "disabled in this version. Please use Add/Remove Programs to deinstall "
                         "currect version.")
UPGRADE_QUESTION = "Older version of this product is already installed. Do you want to upgrade it?"
PATCH_NOT_APPLICABLE = ("The installer cannot install the upgrade patch because the program being "
                        "upgraded may be missing or the upgrade patch updates a different version "
                        "of the program. Verify that the program to be upgraded exists on your "
                        "computer and that you have the correct upgrade patch.")
INTERNAL_ERROR = "An irrecoverable internal error occured."
RESTART_QUESTION = "You must restart your system"
AUTO_UPGRADING = "Auto-upgrading in passive mode\r\n"
SETUP_COMPLETE = "Setup complete\r\n"
NO_MAIL_ADDRESS = "Can't read email address from ini file.\r\n"
DEFAULT_REINSTALL = "REINSTALL=ALL REINSTALLMODE=vomus"

INSTALLER_LOG_MODE = "8159"   # 0x1FDF
APPEND = "1"                  # INSTALLLOGATTRIBUTES_APPEND

DEMO_KEY = "HKLM\\Software\\Demo Maker\\Demo Product"


def failure_report_entry(code: int) -> re.Pattern:
    """The closing entry of a failed run: "BSInstall() failed. " and the
    system text of the code, "Error(<code>)'<text>'." (it has no line end of
    its own)."""
    return re.compile(r"BSInstall\(\) failed\. Error\(" + str(code) + r"\)'([^'\r\n]+)'\.")


def log_file_box_text(reason: str, log_windows: str) -> str:
    """The failure box: the reason, then where the log is."""
    return f"{reason}\r\n\r\nLog file:\r\n'{log_windows}'"


def demo_media(bench: wb.Bench, package: Union[Path, bytes], main: Optional[Mapping] = None,
               files: Optional[Mapping[str, Union[Path, bytes]]] = None, msi_path: str = "demo.msi",
               name: Optional[str] = None) -> wb.Media:
    """A medium with the package as MsiPath and more [Main] keys and files."""
    ini_main = {"MsiPath": msi_path, **(main or {})}
    return bench.make_media(ini={"Main": ini_main}, files={msi_path: package, **(files or {})},
                            name=name)


@dataclasses.dataclass
class RunLog:
    """The one setup log of a run in the temporary folder."""
    unix: Path
    windows: str
    mixed: msi_double.MixedLog

    @property
    def entries(self) -> list[str]:
        return self.mixed.setup_entries

    @property
    def text(self) -> str:
        return self.mixed.text

    def failure_report(self, code: int) -> Optional[re.Match]:
        return failure_report_entry(code).search(self.mixed.texts("utf-16"))

    def assert_failure_reported(self, reason: str, code: int,
                                after: Optional[str] = None) -> re.Match:
        """The failure report of the run: the reason entry (later than the
        entry `after`, when given), then "BSInstall() failed." with the text
        of the code. Returns the report's match."""
        text = self.mixed.texts("utf-16")
        earlier = text.index("]: " + after + "\r\n") if after is not None else -1
        logged = text.index("]: " + reason + "\r\n")
        report = self.failure_report(code)
        assert report and earlier < logged < report.start(), text
        return report


def the_run_log(bench: wb.Bench) -> RunLog:
    """The only log in the temporary folder (the run's default log)."""
    logs = bench.temp_logs()
    assert len(logs) == 1, [path.name for path in logs]
    path = logs[0]
    return RunLog(path, bench.prefix.temp_windows + path.name, msi_double.MixedLog.parse(path.read_bytes()))


def registry_value(bench: wb.Bench, key: str, name: str) -> Optional[str]:
    """A string value of the prefix's registry, None when absent."""
    result = bench.prefix.wine(["reg", "query", key, "/v", name])
    if result.returncode != 0:
        return None
    for line in result.stdout.decode("utf-8", "replace").splitlines():
        fields = line.strip().split(None, 2)
        if len(fields) >= 2 and fields[0] == name and fields[1] == "REG_SZ":
            return fields[2] if len(fields) == 3 else ""
    return None


PATCH_MAIN = {"MsiPatch": 1, "Name": "Demo Fix", "VersionTarget": "1.0.0"}


def patch_media(bench: wb.Bench, main: Optional[Mapping] = None,
                files: Optional[Mapping[str, Union[Path, bytes]]] = None) -> wb.Media:
    """A patch medium: MsiPatch=1, Name, VersionTarget and MsiPath=fix.msp
    (any file: the recording msi.dll opens every path)."""
    return demo_media(bench, b"patch package", main={**PATCH_MAIN, **(main or {})}, files=files,
                      msi_path="fix.msp")


_ARCHITECTURE_RUNS: dict[str, bool] = {}


def architecture_runs(bench: wb.Bench, arch: str, scratch: Path) -> bool:
    """Whether this Wine runs programs of the program's architecture (an x86
    build needs a Wine with 32-bit support): the bench's exitcode.exe, built
    for that architecture, must run a child and report its exit code. The
    output goes to files: a first Wine process may start the prefix's
    services, which would hold a pipe open."""
    if arch not in _ARCHITECTURE_RUNS:
        bench.prefix.start_server()
        out, err = scratch / "probe.out", scratch / "probe.err"
        with open(out, "wb") as stdout, open(err, "wb") as stderr:
            subprocess.run([wb.WINE, str(bench.tools / "exitcode.exe"), "--raw",
                            "C:\\windows\\system32\\cmd.exe /c exit 7"],
                           env=bench.prefix.env(), stdin=subprocess.DEVNULL, stdout=stdout,
                           stderr=stderr, timeout=120, check=False)
        _ARCHITECTURE_RUNS[arch] = out.read_bytes().split() == [b"7"]
    return _ARCHITECTURE_RUNS[arch]
