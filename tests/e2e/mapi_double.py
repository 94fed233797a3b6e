"""The recording MAPI32.DLL (tools/recording_mapi.cpp) in a Wine prefix.

The double replaces the prefix's system mapi32.dll (windows/system32 for an
x64 program, windows/syswow64 for an x86 one). Wine prefers it for programs
named setup.exe alone, through the per-program override
HKCU\\Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides, value mapi32 =
native,builtin; never through WINEDLLOVERRIDES, which children would
inherit. Wine's own mapi32 would hand the mail to a browser through a
mailto: link and report success: no test may reach it.

The same value set to "" (or "disabled") makes the library unavailable to
setup.exe: loading it fails whether or not the file is there.

The script (recording_mapi.ini) and the call log (recording_mapi.log) lie
beside the double; RecordingMapi writes the one and reads the other.
"""

from __future__ import annotations

import dataclasses
import shutil
import subprocess
import time
from pathlib import Path
from typing import Optional

import msi_double
import winebench as wb

OVERRIDE_KEY = msi_double.APP_DEFAULTS_KEY
OVERRIDE_VALUE = "mapi32"
PREFER_DOUBLE = "native,builtin"
DISABLED = ""

MAPI_TO = 1
MAPI_USER_ABORT = 1


def install(prefix: wb.WinePrefix, arch: str, double: Path) -> None:
    """Puts the double in the prefix's system folder (over Wine's own
    placeholder of the same name) and prefers it for setup.exe. The
    prefix's server must not run: the override is appended to its user.reg,
    which Wine reads at the next start."""
    if prefix.server and prefix.server.poll() is None:
        raise RuntimeError(f"the server of {prefix.path} runs: its registry cannot be edited")
    put_library(prefix, arch, double)
    key = OVERRIDE_KEY[len("HKCU\\"):].replace("\\", "\\\\")
    with open(prefix.path / "user.reg", "a", encoding="ascii", newline="\n") as registry:
        registry.write(f"\n[{key}] {int(time.time())}\n")
        registry.write(f'"{OVERRIDE_VALUE}"="{PREFER_DOUBLE}"\n')


def put_library(prefix: wb.WinePrefix, arch: str, library: Path) -> None:
    """Makes `library` the prefix's system mapi32.dll."""
    shutil.copyfile(library, msi_double.system_folder(prefix, arch) / "mapi32.dll")


def set_override(prefix: wb.WinePrefix, value: str) -> None:
    """The load order of mapi32 for setup.exe from the next start on:
    PREFER_DOUBLE or DISABLED. Through "wine reg" on the running server,
    whose standard handles go nowhere: the prefix's services, if this
    starts them, would otherwise hold a pipe of the bench open."""
    prefix.start_server()
    result = subprocess.run([wb.WINE, "reg", "add", OVERRIDE_KEY, "/v", OVERRIDE_VALUE, "/t", "REG_SZ",
                             "/d", value, "/f"], env=prefix.env(), stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)
    if result.returncode != 0:
        raise RuntimeError(f"reg add {OVERRIDE_KEY} {OVERRIDE_VALUE}={value!r} failed ({result.returncode})")


def _field(text: str) -> Optional[str]:
    if text == "(null)":
        return None
    return text.replace("<CR>", "\r").replace("<LF>", "\n").replace("<BAR>", "|")


@dataclasses.dataclass
class Recipient:
    recipient_class: int
    name: Optional[str]
    address: Optional[str]
    entry_id_size: int
    entry_id: str  # "null" or "set"


@dataclasses.dataclass
class Attachment:
    flags: int
    position: int
    path: Optional[str]
    file_name: Optional[str]
    file_type: str  # "null" or "set"


@dataclasses.dataclass
class SentMail:
    """One MAPISendMail call as the double received it."""
    session: int
    parent: int
    flags: int
    reserved: int
    message: str  # "null" or "set"
    subject: Optional[str] = None
    note_text: Optional[str] = None
    message_type: Optional[str] = None
    date_received: Optional[str] = None
    conversation_id: Optional[str] = None
    message_flags: Optional[int] = None
    originator: Optional[str] = None  # "null" or "set"
    recipient_count: Optional[int] = None
    file_count: Optional[int] = None
    recipients: list[Recipient] = dataclasses.field(default_factory=list)
    files: list[Attachment] = dataclasses.field(default_factory=list)
    result: Optional[int] = None
    returned_at: Optional[int] = None  # GetTickCount, milliseconds


class RecordingMapi:
    """The double installed in a prefix: its script and its call log."""

    def __init__(self, prefix: wb.WinePrefix, arch: str) -> None:
        self.folder = msi_double.system_folder(prefix, arch)
        self.script_path = self.folder / "recording_mapi.ini"
        self.log_path = self.folder / "recording_mapi.log"

    def reset(self, send_mail_result: int = 0, compose_title: str = "") -> None:
        """A new script and an empty call log."""
        lines = ["[Result]", f"SendMail={send_mail_result}"]
        if compose_title:
            lines += ["[Compose]", f"Title={compose_title}"]
        self.script_path.write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))
        self.log_path.unlink(missing_ok=True)

    def lines(self) -> list[str]:
        if not self.log_path.exists():
            return []
        return self.log_path.read_bytes().decode("utf-8", "replace").splitlines()

    def records(self) -> list[list[str]]:
        return [line.split("|") for line in self.lines()]

    def loads(self) -> list[str]:
        """The programs (Windows paths) that loaded the double."""
        return [fields[1] for fields in self.records() if fields[0] == "Load"]

    def call_names(self) -> list[str]:
        """The entries called, in order."""
        return [fields[0] for fields in self.records() if fields[0].startswith("MAPI")]

    def chains(self) -> list[str]:
        """The exception-chain verdicts taken inside MAPISendMail."""
        return [fields[1] for fields in self.records() if fields[0] == "Chain"]

    def activations(self) -> list[int]:
        """When the compose window was activated (GetTickCount)."""
        return [int(fields[1]) for fields in self.records() if fields[0] == "Activated"]

    def sent(self) -> list[SentMail]:
        mails: list[SentMail] = []
        for fields in self.records():
            kind, rest = fields[0], fields[1:]
            if kind == "MAPISendMail":
                mails.append(SentMail(int(rest[0]), int(rest[1]), int(rest[2]), int(rest[3]), rest[4]))
            elif kind == "Message" and mails:
                mail = mails[-1]
                (mail.subject, mail.note_text, mail.message_type, mail.date_received,
                 mail.conversation_id) = (_field(text) for text in rest[:5])
                mail.message_flags = int(rest[5])
                mail.originator = rest[6]
                mail.recipient_count, mail.file_count = int(rest[7]), int(rest[8])
            elif kind == "Recipient" and mails:
                mails[-1].recipients.append(
                    Recipient(int(rest[0]), _field(rest[1]), _field(rest[2]), int(rest[3]), rest[4]))
            elif kind == "File" and mails:
                mails[-1].files.append(
                    Attachment(int(rest[0]), int(rest[1]), _field(rest[2]), _field(rest[3]), rest[4]))
            elif kind == "Result" and mails:
                mails[-1].result, mails[-1].returned_at = int(rest[0]), int(rest[1])
        return mails

    def describe(self) -> str:
        return "recorded mail calls:\n" + "\n".join(f"    {line}" for line in self.lines())
