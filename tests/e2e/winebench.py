"""Runs setup.exe under Wine as a user or a deployment tool would, and reads
back what they would see: the full exit code, the message boxes (caption,
whole text, buttons), the setup log in the temporary folder.

The pieces, from the bottom up:

* locations: the program under test (SETUP_EXE), its architecture, the
  helper programs built beside it (E2E_TOOLS_DIR), this folder;
* WinePrefix: one prefix with its own wineserver, started and stopped by
  process id, and the mapping between Windows and Unix paths in it;
* BoxWatcher: tools/boxwatch.exe inside the prefix, which reports every
  message box with its whole text (Wine's msgbox trace cuts texts at about
  300 characters);
* Answerer: answers each box as the run's policy says, with a key typed
  through X (xdotool), as a user would;
* SetupRun: one start of "exitcode.exe setup.exe ARGS", which gives the
  full 32-bit exit code, the child's Windows process id and its stderr;
* PrefixHost: a prefix with its server, watcher and answerer, kept up
  between tests that leave nothing behind;
* Bench: what a test uses: media folders, runs, the temporary folder and
  the setup log.
"""

from __future__ import annotations

import codecs
import contextlib
import dataclasses
import datetime
import json
import os
import pwd
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from typing import Callable, Iterator, Mapping, Optional, Sequence, Union

E2E_DIR = Path(__file__).resolve().parent
REPO = E2E_DIR.parent.parent
PACKAGES_DIR = E2E_DIR / "packages"
STRINGS_DIR = REPO / "resources" / "strings"

# With 32-bit Wine installed, "wine" starts every program through the 32-bit
# loader first (emulated here); the 64-bit loader starts 64-bit programs
# directly and hands 32-bit ones to the 32-bit loader itself.
WINE = os.environ.get("WINE") or ("/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64")
                                  else "wine")
WINESERVER = os.environ.get("WINESERVER", "wineserver")

# Keys understood by xdotool, by the answer a user gives.
KEY_OK = "Return"
KEY_YES = "y"
KEY_NO = "n"
KEY_ESCAPE = "Escape"

# Button identifiers of a message box.
IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO = 1, 2, 3, 4, 5, 6, 7

# Box texts (language 0) that the tests expect, by string-table identifier.
INSTALLATION_ERROR = "Installation Error"
USAGE_CAPTION = "Usage Info"


# --------------------------------------------------------------------------
# Locations


def setup_exe() -> Path:
    """The program under test: $SETUP_EXE, else dist/x64/setup.exe."""
    value = os.environ.get("SETUP_EXE")
    path = Path(value) if value else REPO / "dist" / "x64" / "setup.exe"
    if not path.is_absolute():
        path = (REPO / path) if not path.exists() else path.resolve()
    return path


def pe_architecture(path: Path) -> str:
    """'x64' or 'x86', from the machine field of a PE image's file header."""
    data = path.read_bytes()[:4096]
    if data[:2] != b"MZ":
        raise ValueError(f"{path} is not a PE image")
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError(f"{path} has no PE signature")
    (machine,) = struct.unpack_from("<H", data, pe_offset + 4)
    return {0x8664: "x64", 0x14C: "x86"}.get(machine, f"machine-0x{machine:04x}")


def tools_dir(arch: str) -> Path:
    """Where the helper programs of tools/ were built for this architecture."""
    value = os.environ.get("E2E_TOOLS_DIR")
    if value:
        return Path(value)
    preset = {"x64": "mingw-x64", "x86": "mingw-x86"}[arch]
    return REPO / "build" / preset / "test-tools"


def host_user() -> str:
    """The Unix user name, which Wine uses for the profile folder."""
    return pwd.getpwuid(os.getuid()).pw_name


# --------------------------------------------------------------------------
# Texts


_C_ESCAPE = re.compile(r"\\(x[0-9a-fA-F]{1,2}|[0-7]{1,3}|.)", re.S)
_C_SIMPLE = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"', "'": "'",
             "a": "\a", "b": "\b", "f": "\f", "v": "\v", "?": "?", "0": "\0"}


def decode_c_literal(body: str) -> str:
    """The text of a C string literal's body (without its quotes)."""
    def replace(match: re.Match) -> str:
        token = match.group(1)
        if token in _C_SIMPLE:
            return _C_SIMPLE[token]
        if token[0] == "x":
            return chr(int(token[1:], 16))
        if token[0] in "01234567":
            return chr(int(token, 8))
        raise ValueError(f"unknown escape \\{token} in {body!r}")
    return _C_ESCAPE.sub(replace, body)


_STR_LINE = re.compile(r'^\s*STR\(\s*(\d+)\s*,\s*"((?:[^"\\]|\\.)*)"\s*\)\s*$')


def read_string_table(language_file: str) -> dict[int, str]:
    """Identifier -> text from resources/strings/<language_file>.inc."""
    path = STRINGS_DIR / f"{language_file}.inc"
    table: dict[int, str] = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        match = _STR_LINE.match(line)
        if match:
            table[int(match.group(1))] = decode_c_literal(match.group(2))
    return table


_WINE_ESCAPE = re.compile(r"\\(x[0-9a-fA-F]{2}|u[0-9a-fA-F]{4}|[0-9a-fA-F]{4}|.)", re.S)


def decode_wine_debugstr(body: str) -> str:
    """The text behind Wine's debugstr_w/debugstr_a rendering (the part
    between L" and "): \\n \\r \\t \\" \\\\, \\xNN, \\uNNNN, and the bare four
    hex digits that Wine 8 writes for other characters."""
    def replace(match: re.Match) -> str:
        token = match.group(1)
        if token in ("n", "r", "t", "\\", '"'):
            return {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}[token]
        if token[0] in "xu" and len(token) > 1:
            return chr(int(token[1:], 16))
        if len(token) == 4:
            return chr(int(token, 16))
        return "\\" + token
    text = _WINE_ESCAPE.sub(replace, body)
    # Surrogate pairs arrive as two escapes.
    return text.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "replace")


_MSGBOX_TRACE = re.compile(r'trace:msgbox:MSGBOX_OnInit L"(?P<body>.*)"(?P<cut>\.\.\.)?\s*$')


@dataclasses.dataclass
class TracedBox:
    """A box text as Wine's msgbox trace printed it."""
    text: str
    truncated: bool


# Wine's debugstr_w renders at most about 290 characters (L" included) and
# adds "..." only when more than one character is left over: a rendering
# that reached the limit may lack its last character without the dots.
_DEBUGSTR_LIMIT = 291


def parse_msgbox_trace(stderr: str) -> list[TracedBox]:
    boxes = []
    for line in stderr.splitlines():
        match = _MSGBOX_TRACE.search(line)
        if match:
            body = match.group("body")
            boxes.append(TracedBox(decode_wine_debugstr(body),
                                   bool(match.group("cut")) or len(body) + 2 >= _DEBUGSTR_LIMIT))
    return boxes


# --------------------------------------------------------------------------
# The setup log


@dataclasses.dataclass
class SetupLog:
    path: Path
    raw: bytes

    @property
    def has_bom(self) -> bool:
        return self.raw[:2] == codecs.BOM_UTF16_LE

    @property
    def text(self) -> str:
        body = self.raw[2:] if self.has_bom else self.raw
        return body.decode("utf-16-le", errors="replace")

    @property
    def lines(self) -> list[str]:
        """Entries split at CR LF, each keeping its line end."""
        return self.text.splitlines(keepends=True)


    @property
    def entries(self) -> list[str]:
        """The texts of the time-stamped lines, stamp removed, line end kept."""
        return [line[LOG_STAMP.match(line).end():] for line in self.lines if LOG_STAMP.match(line)]


LOG_STAMP = re.compile(r"Setup\.exe \[(\d{4})\.(\d{2})\.(\d{2}) (\d{2}):(\d{2}):(\d{2})\]: ")


def log_stamp_time(line: str) -> Optional[datetime.datetime]:
    match = LOG_STAMP.match(line)
    if not match:
        return None
    return datetime.datetime(*(int(part) for part in match.groups()))


# --------------------------------------------------------------------------
# Processes


def _stop_process(process: subprocess.Popen, grace: float = 5.0) -> None:
    """Ends a process this bench started, by its id: TERM, then KILL."""
    if process.poll() is not None:
        return
    try:
        process.send_signal(signal.SIGTERM)
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(grace)
    except ProcessLookupError:
        pass


class Xvfb:
    """An X server on a display it picks itself (-displayfd)."""

    def __init__(self) -> None:
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_end, "rb", buffering=0) as reader:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = reader.read(16)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            self.stop()
            raise RuntimeError("Xvfb did not report a display")
        self.display = ":" + number.strip().decode()

    def stop(self) -> None:
        _stop_process(self.process)


# --------------------------------------------------------------------------
# Wine prefixes


def wine_env(prefix: Path, display: Optional[str], **extra: Optional[str]) -> dict[str, str]:
    """The environment of a Wine process in this prefix: the caller's, less
    anything Wine- or locale-specific, with the prefix, the display, no debug
    channels and the C.UTF-8 locale unless `extra` says otherwise."""
    env = {key: value for key, value in os.environ.items()
           if not key.startswith("WINE") and key not in ("DISPLAY", "LANG", "LANGUAGE", "LOCPATH")
           and not key.startswith("LC_")}
    env["WINEPREFIX"] = str(prefix)
    env["WINEDEBUG"] = "-all"
    env["LC_ALL"] = "C.UTF-8"
    if display:
        env["DISPLAY"] = display
    for key, value in extra.items():
        if value is None:
            env.pop(key, None)
        else:
            env[key] = value
    return env


class WinePrefix:
    """A Wine prefix with a wineserver that this object starts and stops."""

    def __init__(self, path: Path, display: Optional[str]) -> None:
        self.path = path
        self.display = display
        self.server: Optional[subprocess.Popen] = None

    # ---- the server

    def _server_sockets(self) -> list[Path]:
        """Where the server's socket may be: upstream Wine uses
        /tmp/.wine-<uid>; Debian's Wine makes a directory under $TMPDIR (or
        /tmp) and writes its name into the prefix's file "wineserver"."""
        info = self.path.stat()
        server = f"server-{info.st_dev:x}-{info.st_ino:x}"
        temp = Path(os.environ.get("TMPDIR") or "/tmp")
        candidates = [Path(f"/tmp/.wine-{os.getuid()}") / server / "socket"]
        marker = self.path / "wineserver"
        if marker.is_file():
            name = marker.read_text(errors="replace").strip()
            candidates += [temp / name / server / "socket", Path("/tmp") / name / server / "socket"]
        return candidates

    def start_server(self) -> None:
        if self.server and self.server.poll() is None:
            return
        self.path.mkdir(parents=True, exist_ok=True)
        # -f: stay in the foreground, so that the process id is the server's;
        # -p: persist until told to stop, not just until the last client ends.
        self.server = subprocess.Popen(
            [WINESERVER, "-f", "-p"], env=self.env(), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        deadline = time.monotonic() + 20
        while not any(socket.exists() for socket in self._server_sockets()):
            if self.server.poll() is not None:
                raise RuntimeError(f"wineserver for {self.path} ended with {self.server.returncode}")
            if time.monotonic() > deadline:
                self.stop_server()
                raise RuntimeError(f"wineserver for {self.path} did not start")
            time.sleep(0.05)

    def stop_server(self) -> None:
        """Ends every process of this prefix, then the server itself."""
        if not self.server:
            return
        if self.server.poll() is None:
            subprocess.run([WINESERVER, "-k"], env=self.env(), stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30, check=False)
            try:
                self.server.wait(15)
            except subprocess.TimeoutExpired:
                _stop_process(self.server)
        self.server = None

    # ---- environment and commands

    def env(self, **extra: Optional[str]) -> dict[str, str]:
        return wine_env(self.path, self.display, **extra)

    def wine(self, args: Sequence[str], timeout: float = 120, **extra: Optional[str]
             ) -> subprocess.CompletedProcess:
        self.start_server()
        # Output goes to files, not pipes: the first program of a session
        # starts Wine's own services (services.exe, explorer.exe, ...), which
        # inherit its standard handles and, with a persistent server, outlive
        # it; reading a pipe to its end would wait for them.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            result = subprocess.run([WINE, *args], env=self.env(**extra), stdin=subprocess.DEVNULL,
                                    stdout=out, stderr=err, timeout=timeout, check=False)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(result.args, result.returncode, out.read(), err.read())

    def reg_add(self, key: str, name: str, value: str, kind: str = "REG_SZ") -> None:
        result = self.wine(["reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"])
        if result.returncode != 0:
            raise RuntimeError(f"reg add {key} {name} failed: {result.stderr!r}")

    # ---- paths

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    def unix_path(self, windows_path: str) -> Path:
        """The Unix path of a C: or Z: path in this prefix; names are matched
        without regard to case, as Wine does, when the exact one is absent."""
        drive, _, rest = windows_path.partition(":")
        parts = [part for part in rest.replace("/", "\\").split("\\") if part]
        root = {"c": self.drive_c, "z": Path("/")}.get(drive.lower())
        if root is None:
            raise ValueError(f"no mapping for drive {drive!r} in {windows_path!r}")
        path = root
        for part in parts:
            exact = path / part
            if exact.exists() or not path.is_dir():
                path = exact
                continue
            matches = [entry for entry in path.iterdir() if entry.name.lower() == part.lower()]
            path = matches[0] if matches else exact
        return path

    def windows_path(self, unix_path: Path) -> str:
        unix_path = Path(unix_path)
        try:
            relative = unix_path.relative_to(self.drive_c)
            return "C:\\" + "\\".join(relative.parts)
        except ValueError:
            return "Z:" + str(unix_path).replace("/", "\\")

    @property
    def temp_windows(self) -> str:
        """The temporary folder as Wine gives it to programs, with its
        trailing backslash (GetTempPath of a new prefix)."""
        return f"C:\\users\\{host_user()}\\Temp\\"

    @property
    def temp_unix(self) -> Path:
        return self.unix_path(self.temp_windows)


def make_base_prefix(path: Path) -> WinePrefix:
    """A new prefix, made once per session with wineboot -i.

    Here Wine starts its own server: one started before the prefix exists
    serves it badly (wineboot then never ends). The bench waits for that
    server to end (wineserver -w) after each step, or ends it (-k)."""
    prefix = WinePrefix(path, display=None)
    env = prefix.env(WINEDLLOVERRIDES="mscoree,mshtml=d")  # no Mono or Gecko installers

    def step(args: Sequence[str], what: str) -> None:
        try:
            result = subprocess.run([WINE, *args], env=env, capture_output=True, timeout=300,
                                    check=False)
        finally:
            try:
                subprocess.run([WINESERVER, "-w"], env=env, timeout=60, check=False)
            except subprocess.TimeoutExpired:
                subprocess.run([WINESERVER, "-k"], env=env, timeout=60, check=False)
        if result.returncode != 0:
            raise RuntimeError(f"{what} failed ({result.returncode}): {result.stderr[-2000:]!r}")

    step(["wineboot", "-i"], "wineboot -i")
    # Xvfb has no window manager: Wine would wait about 2 s for one at every
    # window that a closing program hides. Windows that no window manager
    # handles are hidden at once.
    step(["reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/t", "REG_SZ",
          "/d", "N", "/f"], "reg add Managed=N")
    if '"Managed"="N"' not in (path / "user.reg").read_text(errors="replace"):
        raise RuntimeError("the prefix's user.reg lacks Managed=N")
    if not prefix.temp_unix.is_dir():
        raise RuntimeError(f"the new prefix has no temporary folder at {prefix.temp_unix}")
    return prefix


def copy_prefix(source: Path, target: Path, display: Optional[str]) -> WinePrefix:
    subprocess.run(["cp", "-a", str(source), str(target)], check=True)
    return WinePrefix(target, display)


# --------------------------------------------------------------------------
# Message boxes


@dataclasses.dataclass
class Box:
    """A message box as boxwatch.exe read it from the screen."""
    hwnd: int
    pid: int
    caption: str
    text: str
    buttons: list[int]
    icon: bool
    shown_at: float
    answer: Optional[str] = None
    gone: bool = False
    x_window: Optional[str] = None
    handled: threading.Event = dataclasses.field(default_factory=threading.Event)


AnswerPolicy = Callable[[Box], Optional[str]]


def answer_default(box: Box) -> Optional[str]:
    """What the bench answers when a test says nothing: the default button
    (Return), so that no run waits for ever."""
    return KEY_OK


def leave_open(box: Box) -> Optional[str]:
    """Leaves every box of the run open (Bench.answerer.answer closes it)."""
    return None


def answer_with(key: str) -> AnswerPolicy:
    """Answers every box of the run with this key (KEY_YES, KEY_NO, ...)."""
    return lambda box: key


class BoxWatcher:
    """tools/boxwatch.exe running in a prefix, its reports parsed as they come."""

    def __init__(self, prefix: WinePrefix, exe: Path) -> None:
        self._condition = threading.Condition()
        self._boxes: dict[int, Box] = {}
        self._order: list[Box] = []
        self._listeners: list[Callable[[Box], None]] = []
        self._ready = False
        self.process = subprocess.Popen(
            [WINE, str(exe)], env=prefix.env(), stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()
        with self._condition:
            if not self._condition.wait_for(lambda: self._ready or self.process.poll() is not None, 30):
                raise RuntimeError("boxwatch.exe did not start")
        if not self._ready:
            raise RuntimeError("boxwatch.exe ended at start")

    def add_listener(self, listener: Callable[[Box], None]) -> None:
        self._listeners.append(listener)

    def _read(self) -> None:
        assert self.process.stdout is not None
        for raw in self.process.stdout:
            try:
                event = json.loads(raw.decode("ascii", "replace"))
            except ValueError:
                continue
            box = None
            with self._condition:
                kind = event.get("event")
                if kind == "ready":
                    self._ready = True
                elif kind == "shown":
                    box = Box(hwnd=event["hwnd"], pid=event["pid"], caption=event["caption"],
                              text=event["text"], buttons=list(event["buttons"]),
                              icon=bool(event["icon"]), shown_at=time.monotonic())
                    self._boxes[box.hwnd] = box
                    self._order.append(box)
                elif kind == "gone":
                    known = self._boxes.pop(event["hwnd"], None)
                    if known:
                        known.gone = True
                self._condition.notify_all()
            if box is not None:
                for listener in list(self._listeners):
                    listener(box)

    @property
    def boxes(self) -> list[Box]:
        with self._condition:
            return list(self._order)

    def wait_for(self, predicate: Callable[[], bool], timeout: float) -> bool:
        with self._condition:
            return self._condition.wait_for(predicate, timeout)

    def stop(self) -> None:
        if self.process.stdin:
            try:
                self.process.stdin.close()
            except OSError:
                pass
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            _stop_process(self.process)


def xdotool(display: str, *args: str, timeout: float = 10) -> subprocess.CompletedProcess:
    env = dict(os.environ, DISPLAY=display)
    return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True,
                          timeout=timeout, check=False)


class Answerer:
    """Answers boxes with keys through X, as a user would: it finds the box's
    X window by its caption (xdotool search --name), gives it the focus and
    types one key."""

    def __init__(self, display: str, watcher: BoxWatcher,
                 policy_for: Callable[[Box], AnswerPolicy]) -> None:
        self.display = display
        self.watcher = watcher
        self.policy_for = policy_for
        self._pending: list[Box] = []
        self._wake = threading.Condition()
        self._stopped = False
        self.errors: list[str] = []
        self._thread = threading.Thread(target=self._loop, daemon=True)
        self._thread.start()
        watcher.add_listener(self._on_box)

    def _on_box(self, box: Box) -> None:
        with self._wake:
            self._pending.append(box)
            self._wake.notify_all()

    def _loop(self) -> None:
        while True:
            with self._wake:
                self._wake.wait_for(lambda: self._pending or self._stopped)
                if self._stopped:
                    return
                box = self._pending.pop(0)
            try:
                self._handle(box)
            except Exception as error:  # noqa: BLE001 - reported through errors
                self.errors.append(f"answering {box.caption!r}: {error!r}")

    def _window_of(self, box: Box) -> Optional[str]:
        """The X window with the box's caption that no other open box holds
        (X window ids are reused once a window is gone)."""
        pattern = "^" + re.escape(box.caption) + "$"
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and not box.gone:
            held = {other.x_window for other in self.watcher.boxes
                    if other is not box and not other.gone and other.x_window}
            found = xdotool(self.display, "search", "--name", pattern).stdout.split()
            fresh = [window for window in found if window not in held]
            if fresh:
                return max(fresh, key=int)
            time.sleep(0.1)
        return None

    def _handle(self, box: Box) -> None:
        try:
            box.x_window = self._window_of(box)
            key = self.policy_for(box)(box)
        finally:
            box.handled.set()
        if key is not None and not self._press(box, key):
            self.errors.append(f"the box {box.caption!r} did not close on {key}")

    def _press(self, box: Box, key: str) -> bool:
        """Types the key at the box; whether the box is gone afterwards."""
        if box.gone or box.x_window is None:
            return box.gone
        box.answer = key
        for _ in range(5):
            # Wine hands a key to the window that has the focus, whatever X
            # window the event names; so focus the box, then type.
            try:
                xdotool(self.display, "windowfocus", "--sync", box.x_window, timeout=5)
            except subprocess.TimeoutExpired:
                pass
            xdotool(self.display, "key", key)
            if self.watcher.wait_for(lambda: box.gone, 3):
                return True
        return False

    def answer(self, box: Box, key: str) -> None:
        """Answers a box that its policy left open."""
        box.handled.wait(10)
        if not self._press(box, key):
            raise RuntimeError(f"the box {box.caption!r} did not close on {key}")

    def stop(self) -> None:
        with self._wake:
            self._stopped = True
            self._wake.notify_all()
        self._thread.join(10)


# --------------------------------------------------------------------------
# Runs of setup.exe


_STARTED = re.compile(r"exitcode\.exe: started process (\d+)")


class SetupRun:
    """One start of "exitcode.exe <program> ARGS" under Wine."""

    def __init__(self, bench: "Bench", command: Sequence[str], env: dict[str, str],
                 policy: AnswerPolicy, cwd: Optional[Path] = None) -> None:
        self.bench = bench
        self.command = list(command)
        self.policy = policy
        self.started_at = datetime.datetime.now()
        self.started_monotonic = time.monotonic()
        self.ended_at: Optional[datetime.datetime] = None
        self.ended_monotonic: Optional[float] = None
        self.exit_code: Optional[int] = None
        self.timed_out = False
        self.pid: Optional[int] = None
        self._stdout: list[str] = []
        self._stderr: list[str] = []
        self._pid_known = threading.Event()
        self.process = subprocess.Popen(
            [WINE, *command], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, start_new_session=True, cwd=cwd)
        self._threads = [threading.Thread(target=self._pump, args=(self.process.stdout, self._stdout),
                                          daemon=True),
                         threading.Thread(target=self._pump, args=(self.process.stderr, self._stderr),
                                          daemon=True)]
        for thread in self._threads:
            thread.start()

    def _pump(self, stream, sink: list[str]) -> None:
        for raw in stream:
            line = raw.decode("utf-8", "replace")
            sink.append(line)
            if self.pid is None:
                match = _STARTED.search(line)
                if match:
                    self.pid = int(match.group(1))
                    self._pid_known.set()

    def wait_for_pid(self, timeout: float = 30) -> Optional[int]:
        self._pid_known.wait(timeout)
        return self.pid

    def wait(self, timeout: float = 90) -> Optional[int]:
        """Waits for the end of the run; the full exit code, or None when the
        run did not end in time (it is then ended with the prefix's processes)."""
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.timed_out = True
            self.bench.kill_everything()
            self.process.wait(15)
        # Before the output readers end: a process the run left behind may
        # hold Wine's output open a while longer.
        self.exited_monotonic = time.monotonic()
        for thread in self._threads:
            thread.join(10)
        self.ended_at = datetime.datetime.now()
        self.ended_monotonic = time.monotonic()
        if not self.timed_out:
            # The program's windows went with it; let the watcher see that.
            self.bench.watcher.wait_for(lambda: all(box.gone for box in self.boxes), 2)
        lines = [line.strip() for line in self._stdout if line.strip()]
        if lines and lines[-1].isdigit() and not self.timed_out:
            self.exit_code = int(lines[-1])
        return self.exit_code

    @property
    def stderr(self) -> str:
        return "".join(self._stderr)

    @property
    def stdout(self) -> str:
        return "".join(self._stdout)

    def owns(self, box: Box) -> bool:
        # Process ids come back in later runs of the same prefix.
        return (self.pid is not None and box.pid == self.pid
                and box.shown_at >= self.started_monotonic
                and (self.ended_monotonic is None or box.shown_at <= self.ended_monotonic))

    @property
    def boxes(self) -> list[Box]:
        """The boxes that this run's program showed, in order."""
        return [box for box in self.bench.watcher.boxes if self.owns(box)]

    @property
    def traced_boxes(self) -> list[TracedBox]:
        """Box texts from Wine's msgbox trace (long ones cut short)."""
        return parse_msgbox_trace(self.stderr)

    def wait_for_box(self, timeout: float = 30) -> Optional[Box]:
        """The first box of this run, once it is on the screen."""
        self.wait_for_pid(timeout)
        watcher = self.bench.watcher
        watcher.wait_for(lambda: bool(self.boxes) or self.process.poll() is not None, timeout)
        boxes = self.boxes
        return boxes[0] if boxes else None

    def trace_disagreements(self) -> list[str]:
        """Where Wine's msgbox trace and the watcher's reading of the screen
        disagree about this run's boxes (a fault of the bench, not of the
        program): same number of boxes, same texts (a cut trace text being
        the start of the whole one)."""
        traced, seen = self.traced_boxes, self.boxes
        if len(traced) != len(seen):
            return [f"{len(traced)} boxes in the trace, {len(seen)} on the screen"]
        problems = []
        for trace, box in zip(traced, seen):
            agrees = box.text.startswith(trace.text) if trace.truncated else box.text == trace.text
            if not agrees:
                problems.append(f"trace {trace.text!r} against screen {box.text!r}")
        return problems

    def describe(self) -> str:
        """A summary for assertion messages."""
        boxes = "\n".join(f"    box {box.caption!r}: {box.text!r} buttons={box.buttons}"
                          for box in self.boxes) or "    (no box)"
        tail = self.stderr[-1500:]
        return (f"command: {self.command}\n  exit code: {self.exit_code}"
                f"{' (timed out)' if self.timed_out else ''}\n{boxes}\n  stderr tail:\n{tail}")


# --------------------------------------------------------------------------
# Media folders


IniValue = Union[str, int]
IniContent = Union[None, str, Mapping[str, Mapping[str, IniValue]]]


def render_ini(content: Union[str, Mapping[str, Mapping[str, IniValue]]]) -> bytes:
    """An initialization file in the ANSI code page with CR LF line ends."""
    if isinstance(content, str):
        text = content
    else:
        lines = []
        for section, keys in content.items():
            lines.append(f"[{section}]")
            lines.extend(f"{key}={value}" for key, value in keys.items())
            lines.append("")
        text = "\r\n".join(lines)
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp1252")


@dataclasses.dataclass
class Media:
    """An installation medium: setup.exe, setup.ini and packages in one folder."""
    unix_dir: Path
    windows_dir: str

    @property
    def setup_windows(self) -> str:
        return self.windows_dir + "\\setup.exe"

    @property
    def ini_windows(self) -> str:
        return self.windows_dir + "\\setup.ini"

    @property
    def ini_unix(self) -> Path:
        return self.unix_dir / "setup.ini"

    def path(self, relative: str) -> Path:
        return self.unix_dir.joinpath(*relative.replace("\\", "/").split("/"))

    def windows(self, relative: str) -> str:
        return self.windows_dir + "\\" + relative.replace("/", "\\")


# --------------------------------------------------------------------------
# Packages


def build_package(output: Path, arch: str = "x64", **defines: str) -> Path:
    """packages/demo.wxs built by wixl, with ProductName, ProductVersion,
    ProductCode and UpgradeCode overridable through `defines`."""
    output.parent.mkdir(parents=True, exist_ok=True)
    command = ["wixl", "-a", arch, "-o", str(output)]
    for key, value in defines.items():
        command += ["-D", f"{key}={value}"]
    command.append(str(PACKAGES_DIR / "demo.wxs"))
    result = subprocess.run(command, capture_output=True, text=True, timeout=60, check=False)
    if result.returncode != 0 or not output.exists():
        raise RuntimeError(f"wixl failed: {result.stderr}")
    return output


# --------------------------------------------------------------------------
# The bench of one test


@contextlib.contextmanager
def host_on_copy(source: WinePrefix, name: str, display: str, tools: Path,
                 prepare: Optional[Callable[[WinePrefix], None]] = None) -> Iterator["PrefixHost"]:
    """A host on a copy of `source` named `name` beside it; `prepare` changes
    the copy before its server starts. Everything of it ends, and the copy is
    removed, when the block ends."""
    prefix = copy_prefix(source.path, source.path.parent / name, display)
    if prepare is not None:
        prepare(prefix)
    host = PrefixHost(prefix, display, tools)
    try:
        yield host
    finally:
        host.kill_everything()
        shutil.rmtree(prefix.path, ignore_errors=True)


class PrefixHost:
    """A prefix with its running server, box watcher and answerer. A host
    may serve several tests in turn: between them it stays up as long as the
    last test left nothing behind (no program running, no box open)."""

    def __init__(self, prefix: WinePrefix, display: str, tools: Path) -> None:
        self.prefix = prefix
        self.display = display
        self.tools = tools
        self.runs: list["SetupRun"] = []
        self._watcher: Optional[BoxWatcher] = None
        self._answerer: Optional[Answerer] = None

    @property
    def watcher(self) -> BoxWatcher:
        if self._watcher is not None and self._watcher.process.poll() is not None:
            self.kill_everything()  # the watcher died: start afresh
        if self._watcher is None:
            self.prefix.start_server()
            self._watcher = BoxWatcher(self.prefix, self.tools / "boxwatch.exe")
            self._answerer = Answerer(self.display, self._watcher, self._policy_for)
        return self._watcher

    @property
    def answerer(self) -> Answerer:
        self.watcher  # noqa: B018 - starts both
        assert self._answerer is not None
        return self._answerer

    def _policy_for(self, box: Box) -> AnswerPolicy:
        deadline = time.monotonic() + 3
        while True:
            for run in list(self.runs):
                if run.owns(box):
                    return run.policy
            if time.monotonic() > deadline:
                return answer_default
            time.sleep(0.05)

    def take_errors(self) -> list[str]:
        if not self._answerer:
            return []
        errors, self._answerer.errors = self._answerer.errors, []
        return errors

    def left_behind(self) -> list[str]:
        """What the runs of the last test left: programs still running,
        boxes still open."""
        problems = [f"still running: {run.command}" for run in self.runs
                    if run.process.poll() is None]
        if self._watcher:
            problems += [f"box still open: {box.caption!r}" for box in self._watcher.boxes
                         if not box.gone]
        return problems

    def kill_everything(self) -> None:
        """Ends every Windows process of the prefix, and its server."""
        if self._answerer:
            self._answerer.stop()
        if self._watcher:
            self._watcher.stop()
        self._answerer = None
        self._watcher = None
        self.prefix.stop_server()


class Bench:
    """What one test works with: a prefix host (shared or its own), media
    folders, runs, the temporary folder and the logs."""

    def __init__(self, host: PrefixHost, program: Path,
                 locale_path: Callable[[], Optional[Path]] = lambda: None) -> None:
        self.host = host
        self.prefix = host.prefix
        self.display = host.display
        self.tools = host.tools
        self.program = program
        # Called only by runs that ask for a locale: making them takes time.
        self._locale_path = locale_path
        self._media_count = 0
        host.runs = []

    @property
    def runs(self) -> list["SetupRun"]:
        return self.host.runs

    @property
    def watcher(self) -> BoxWatcher:
        return self.host.watcher

    @property
    def answerer(self) -> Answerer:
        return self.host.answerer

    def kill_everything(self) -> None:
        self.host.kill_everything()

    def screenshot(self, path: Path) -> bool:
        """The whole screen as a PNG file (ImageMagick's import)."""
        if shutil.which("import") is None:
            return False
        result = subprocess.run(["import", "-display", self.display, "-window", "root", str(path)],
                                capture_output=True, timeout=30, check=False)
        return result.returncode == 0

    # ---- folders

    # Folders of drive C: that tests make; emptied before each test.
    SCRATCH_FOLDERS = ("media", "logs")

    def clear_scratch(self) -> None:
        for name in self.SCRATCH_FOLDERS:
            shutil.rmtree(self.prefix.drive_c / name, ignore_errors=True)

    def make_folder(self, name: str) -> tuple[Path, str]:
        """An empty folder C:\\<name> (one of SCRATCH_FOLDERS): its Unix and
        Windows paths."""
        if name not in self.SCRATCH_FOLDERS:
            raise ValueError(f"{name} is not a scratch folder")
        path = self.prefix.drive_c / name
        shutil.rmtree(path, ignore_errors=True)
        path.mkdir(parents=True)
        return path, f"C:\\{name}"

    # ---- media

    def make_media(self, ini: IniContent = None, files: Optional[Mapping[str, Union[Path, bytes]]] = None,
                   name: Optional[str] = None, program: Optional[Path] = None) -> Media:
        """A folder C:\\media\\<name> with setup.exe, setup.ini written from
        `ini` (none when it is None) and the given files (relative path ->
        source file or bytes)."""
        self._media_count += 1
        name = name or f"m{self._media_count}"
        unix_dir = self.prefix.drive_c / "media" / name
        if unix_dir.exists():
            shutil.rmtree(unix_dir)
        unix_dir.mkdir(parents=True)
        shutil.copyfile(program or self.program, unix_dir / "setup.exe")
        if ini is not None:
            (unix_dir / "setup.ini").write_bytes(render_ini(ini))
        media = Media(unix_dir, f"C:\\media\\{name}")
        for relative, source in (files or {}).items():
            target = media.path(relative)
            target.parent.mkdir(parents=True, exist_ok=True)
            if isinstance(source, bytes):
                target.write_bytes(source)
            else:
                shutil.copyfile(source, target)
        return media

    # ---- runs

    def run_env(self, locale: Optional[str] = None, dll_overrides: Optional[str] = None,
                trace: bool = True) -> dict[str, str]:
        extra: dict[str, Optional[str]] = {"WINEDEBUG": "-all,trace+msgbox" if trace else "-all"}
        if locale:
            extra["LC_ALL"] = locale
            locale_path = self._locale_path()
            if locale_path is not None and (locale_path / locale).is_dir():
                extra["LOCPATH"] = str(locale_path)
        if dll_overrides is not None:
            extra["WINEDLLOVERRIDES"] = dll_overrides
        return self.prefix.env(**extra)

    def start(self, windows_program: str, args: Union[str, Sequence[str]] = (), *,
              answer: AnswerPolicy = answer_default, locale: Optional[str] = None,
              dll_overrides: Optional[str] = None, cwd: Optional[Path] = None,
              environment: Optional[Mapping[str, str]] = None) -> SetupRun:
        """Starts a program of the prefix (a Windows path) through
        exitcode.exe. A list of arguments is joined by Wine, which quotes an
        argument that holds a blank or a tab; a string is the command line
        after the program name exactly as the program is to receive it.
        `cwd`, a Unix folder in the prefix's drive C, becomes the program's
        current folder (Wine maps it to its C: path)."""
        self.watcher  # noqa: B018 - must see the first box
        env = self.run_env(locale=locale, dll_overrides=dll_overrides)
        env.update(environment or {})
        exitcode = str(self.tools / "exitcode.exe")
        if isinstance(args, str):
            command = [exitcode, "--raw", f"{windows_program} {args}" if args else windows_program]
        else:
            command = [exitcode, windows_program, *args]
        run = SetupRun(self, command, env, answer, cwd=cwd)
        self.runs.append(run)
        return run

    def start_setup(self, media: Media, args: Union[str, Sequence[str]] = (), **options) -> SetupRun:
        return self.start(media.setup_windows, args, **options)

    def run_setup(self, media: Media, args: Union[str, Sequence[str]] = (), timeout: float = 90,
                  **options) -> SetupRun:
        run = self.start_setup(media, args, **options)
        run.wait(timeout)
        return run

    # ---- the temporary folder and logs

    @property
    def temp_dir(self) -> Path:
        return self.prefix.temp_unix

    def clear_temp(self) -> None:
        temp = self.temp_dir
        temp.mkdir(parents=True, exist_ok=True)
        for entry in temp.iterdir():
            if entry.is_dir() and not entry.is_symlink():
                shutil.rmtree(entry, ignore_errors=True)
            else:
                entry.unlink(missing_ok=True)

    def temp_logs(self) -> list[Path]:
        return sorted(path for path in self.temp_dir.iterdir() if path.name.lower().endswith(".log"))

    def read_log(self, windows_or_unix: Union[str, Path]) -> SetupLog:
        path = windows_or_unix
        if isinstance(path, str) and len(path) > 1 and path[1] == ":":
            path = self.prefix.unix_path(path)
        path = Path(path)
        return SetupLog(path, path.read_bytes())


def default_log_name(product_name: str, when: datetime.datetime) -> str:
    return f"{product_name} Setup ({when:%Y.%m.%d %H.%M}).log"


def minutes_between(start: datetime.datetime, end: datetime.datetime,
                    slack: datetime.timedelta = datetime.timedelta(minutes=1)) -> list[datetime.datetime]:
    """Every whole minute from start - slack to end + slack."""
    first = (start - slack).replace(second=0, microsecond=0)
    last = end + slack
    minutes = []
    while first <= last:
        minutes.append(first)
        first += datetime.timedelta(minutes=1)
    return minutes


def objdump_private_headers(objdump: str, image: Path) -> str:
    result = subprocess.run([objdump, "-p", str(image)], capture_output=True, text=True,
                            timeout=60, check=True)
    return result.stdout

