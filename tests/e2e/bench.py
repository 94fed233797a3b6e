"""The end-to-end bench: Wine prefixes, the box watcher, runs, the setup log (README.md)."""

from __future__ import annotations

import codecs
import json
import os
import pwd
import queue
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from typing import Callable, Optional, Union

E2E_DIR = Path(__file__).resolve().parent
REPO = E2E_DIR.parent.parent
# "wine" would start every program through the emulated 32-bit loader; wine64 hands 32-bit ones on.
WINE = os.environ.get("WINE") or ("/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine")
WINESERVER = os.environ.get("WINESERVER", "wineserver")
INSTALLER_LOG_LINE = b"=== recording installer log ===\r\n"   # what the recording msi.dll writes
STAMP = re.compile(r"Setup\.exe \[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\]: ")
ENTRY_LIMIT = 4095  # characters of one formatted log entry
# Entries that the program writes without a line end on purpose.
UNTERMINATED = re.compile(r"BSInstall\(\) failed\. Error\(-?\d+\)'.*'\.|Can't load MAPI32\.DLL"
                          r"|MAPISendMail\(.*\) failure\. Error\(-?\d+\)'.*'\.|SendLogFile\(.*\) failure\.", re.S)
CRASH_REPORT = re.compile(r"Unhandled (exception|page fault|stack overflow|illegal instruction)|starting debugger", re.I)


def setup_exe() -> Path:
    path = Path(os.environ.get("SETUP_EXE") or "dist/x64/setup.exe")
    return path if path.is_absolute() else REPO / path


def pe_architecture(path: Path) -> str:
    data = path.read_bytes()[:4096]
    (offset,) = struct.unpack_from("<I", data, 0x3C)
    (machine,) = struct.unpack_from("<H", data, offset + 4)
    return {0x8664: "x64", 0x14C: "x86"}.get(machine, hex(machine))


def tools_dir(arch: str) -> Path:
    return Path(os.environ.get("E2E_TOOLS_DIR") or REPO / "build" / f"mingw-{arch}" / "test-tools")


def strings(language: str) -> dict[int, str]:
    """Identifier -> text of resources/strings/<language>.inc."""
    simple = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}
    table = {}
    for line in (REPO / "resources" / "strings" / f"{language}.inc").read_text(encoding="utf-8").splitlines():
        match = re.match(r'\s*STR\(\s*(\d+)\s*,\s*"((?:[^"\\]|\\.)*)"\s*\)', line)
        if match:
            table[int(match[1])] = re.sub(r"\\(x[0-9a-fA-F]+|.)", lambda m: simple.get(m[1]) or chr(int(m[1][1:], 16)),
                                          match[2])
    return table


def stop_process(process: subprocess.Popen) -> None:
    """Ends a process this bench started, by its id."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(5)


def xdotool(display: str, *args: str) -> str:
    return subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=display), capture_output=True,
                          text=True, timeout=15, check=False).stdout


def wait_until(predicate: Callable[[], object], timeout: float, step: float = 0.1):
    deadline = time.monotonic() + timeout
    while not (result := predicate()) and time.monotonic() < deadline:
        time.sleep(step)
    return result


def start_xvfb() -> tuple[subprocess.Popen, str]:
    """An X server on a display it picks itself (-displayfd), and the display."""
    read_end, write_end = os.pipe()
    process = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
                                "tcp", "-noreset"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    os.close(write_end)
    with os.fdopen(read_end) as reader:
        return process, ":" + reader.readline().strip()


class Prefix:
    """A Wine prefix with a wineserver that this object starts and stops."""

    def __init__(self, path: Path, display: Optional[str], loader: str = WINE) -> None:
        self.path, self.display, self.server, self.loader = path, display, None, loader
        self.temp_windows = f"C:\\users\\{pwd.getpwuid(os.getuid()).pw_name}\\Temp\\"

    def env(self, **extra: Optional[str]) -> dict[str, str]:
        """The caller's environment without Wine's or locale settings, for this prefix."""
        env = {key: value for key, value in os.environ.items() if not key.startswith(("WINE", "LC_"))
               and key not in ("DISPLAY", "LANG", "LANGUAGE", "LOCPATH")}
        env.update(WINEPREFIX=str(self.path), WINEDEBUG="-all", LC_ALL="C.UTF-8")
        if self.display:
            env["DISPLAY"] = self.display
        env.update(extra)
        return {key: value for key, value in env.items() if value is not None}

    def start_server(self) -> None:
        if self.server and self.server.poll() is None:
            return
        # -f: in the foreground, so that the process id is the server's; -p: persistent.
        self.server = subprocess.Popen([WINESERVER, "-f", "-p"], env=self.env(), stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, start_new_session=True)
        # Debian's Wine names the socket's folder in the prefix's file "wineserver".
        info = self.path.stat()
        server = f"server-{info.st_dev:x}-{info.st_ino:x}/socket"
        named = self.path / "wineserver"
        sockets = [Path(f"/tmp/.wine-{os.getuid()}") / server]
        if not wait_until(lambda: any(s.exists() for s in sockets + ([Path(os.environ.get("TMPDIR") or "/tmp")
                          / named.read_text().strip() / server] if named.is_file() else [])), 20, 0.05):
            self.stop_server()
            raise RuntimeError(f"wineserver for {self.path} did not start")

    def stop_server(self) -> None:
        """Ends every process of the prefix, then its server."""
        if self.server and self.server.poll() is None:
            subprocess.run([WINESERVER, "-k"], env=self.env(), capture_output=True, timeout=30, check=False)
            try:
                self.server.wait(15)
            except subprocess.TimeoutExpired:
                stop_process(self.server)
        self.server = None

    def wine(self, args: list[str], **extra: Optional[str]) -> subprocess.CompletedProcess:
        """Output through a file: Wine's services inherit the handles and outlive the program."""
        self.start_server()
        with tempfile.TemporaryFile() as out:
            result = subprocess.run([self.loader, *args], env=self.env(**extra), stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.STDOUT, timeout=180, check=False)
            out.seek(0)
            result.stdout = out.read()
        return result

    def reg_import(self, text: str, view: str) -> None:
        """.reg text (single backslashes in string values) into the 32- or 64-bit view."""
        text = re.sub(r'^("[^"]*"=")(.*)"$', lambda m: m[1] + m[2].replace("\\", "\\\\") + '"', text, flags=re.M)
        with tempfile.NamedTemporaryFile(suffix=".reg", dir=self.path) as script:
            script.write(codecs.BOM_UTF16_LE + f"Windows Registry Editor Version 5.00\r\n\r\n{text}\r\n"
                         .replace("\n", "\r\n").replace("\r\r", "\r").encode("utf-16-le"))
            script.flush()
            result = self.wine(["reg", "import", self.windows(Path(script.name)), f"/reg:{view}"])
        assert result.returncode == 0, f"reg import failed: {result.stdout!r}"

    def append_user_reg(self, key: str, values: str) -> None:
        """Values under HKCU\\key, while the server is down (read at its next start)."""
        with open(self.path / "user.reg", "a", encoding="ascii") as registry:
            registry.write(f"\n[{key}] 0\n".replace("\\", "\\\\") + values + "\n")

    def unix(self, windows_path: str) -> Path:
        """A C: or Z: path, matched without regard to case as Wine does."""
        drive, _, rest = windows_path.partition(":")
        path = {"c": self.path / "drive_c", "z": Path("/")}[drive.lower()]
        for part in filter(None, rest.replace("/", "\\").split("\\")):
            same = [entry for entry in path.iterdir() if entry.name.lower() == part.lower()] if path.is_dir() else []
            path = path / part if (path / part).exists() or not same else same[0]
        return path

    def windows(self, unix_path: Path) -> str:
        try:
            return "C:\\" + "\\".join(Path(unix_path).relative_to(self.path / "drive_c").parts)
        except ValueError:
            return "Z:" + str(unix_path).replace("/", "\\")

    @property
    def temp(self) -> Path:
        return self.unix(self.temp_windows)

    def copy(self, target: Path) -> "Prefix":
        subprocess.run(["cp", "-a", str(self.path), str(target)], check=True)
        return Prefix(target, self.display, self.loader)


def make_base_prefix(path: Path, display: str, win32: bool = False) -> Prefix:
    """A new prefix (wineboot -i, with Wine's own server, waited for); with
    `win32`, of 32-bit Windows, started through the 32-bit loader."""
    prefix = Prefix(path, None, "/usr/lib/wine/wine" if win32 else WINE)
    env = prefix.env(WINEDLLOVERRIDES="mscoree,mshtml=d", WINEARCH="win32" if win32 else None)  # no Mono or Gecko
    result = subprocess.run([prefix.loader, "wineboot", "-i"], env=env, capture_output=True, timeout=300, check=False)
    subprocess.run([WINESERVER, "-w"], env=env, timeout=120, check=False)
    assert result.returncode == 0 and prefix.temp.is_dir(), f"wineboot -i failed: {result.stderr[-2000:]!r}"
    # Xvfb has no window manager: Wine would wait for one at every window a
    # program hides. A crashing program ends at once with its exception code.
    prefix.append_user_reg("Software\\Wine\\X11 Driver", '"Managed"="N"')
    prefix.append_user_reg("Software\\Wine\\WineDbg", '"ShowCrashDialog"=dword:00000000')
    prefix.display = display
    return prefix


def install_doubles(prefix: Prefix, arch: str, tools: Path) -> None:
    """The recording doubles in the system folder, preferred by programs named
    setup.exe alone (WINEDLLOVERRIDES would reach their children too)."""
    for name in ("msi.dll", "mapi32.dll"):
        shutil.copyfile(tools / "recording" / name, system_folder(prefix, arch) / name)
    prefix.append_user_reg("Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides",
                           '"msi"="native,builtin"\n"mapi32"="native,builtin"')


def script_msi(system: Path, msi: dict) -> None:
    """The recording msi.dll's script: the demo package, not installed, every
    call succeeding, changed by `msi` ({section: {key: value or None}})."""
    script = {"Package": {"ProductCode": "{5A0C6E1B-3F2D-4C8A-9E47-1D2B3C4D5E61}", "ProductVersion": "1.0.0",
                          "ProductName": "Demo Product", "Template": "x64;1033"}, "State": {}, "Result": {}}
    for section, keys in msi.items():
        script[section].update(keys)
    text = "".join(f"[{section}]\r\n" + "".join(f"{key}={value}\r\n" for key, value in keys.items() if value is not None)
                   for section, keys in script.items())
    (system / "recording_msi.ini").write_bytes(codecs.BOM_UTF16_LE + text.encode("utf-16-le"))


def system_folder(prefix: Prefix, arch: str) -> Path:
    return prefix.path / "drive_c" / "windows" / ("system32" if arch == "x64" else "syswow64")


class Box(dict):
    """A message box as tool.exe watch read it: caption, text, buttons, icon, pid, x_window."""
    gone = False


class Watcher:
    """tool.exe watch: message boxes as they come (answered for their run), dialogs on request."""

    def __init__(self, prefix: Prefix, tool: Path, policy_for: Callable[[Box], Callable]) -> None:
        self.display, self.policy_for = prefix.display, policy_for
        self.boxes: list[Box] = []
        self.errors: list[str] = []
        self.changed = threading.Condition()
        self.lists: queue.Queue = queue.Queue()
        self.process = subprocess.Popen([prefix.loader, str(tool), "watch"], env=prefix.env(), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
        self.ready = threading.Event()
        threading.Thread(target=self._read, daemon=True).start()
        if not self.ready.wait(60):
            self.stop()
            raise RuntimeError("tool.exe watch did not start")

    def _read(self) -> None:
        for line in self.process.stdout:
            event = json.loads(line)
            if "dialogs" in event:
                self.lists.put(event["dialogs"])
            with self.changed:
                if "shown" in event:
                    box = Box(event, shown_at=time.monotonic())
                    self.boxes.append(box)
                    threading.Thread(target=self._answer, args=(box,), daemon=True).start()
                for box in self.boxes:
                    box.gone = box.gone or box["shown"] == event.get("gone")
                self.ready.set()
                self.changed.notify_all()

    def _answer(self, box: Box) -> None:
        key = self.policy_for(box)(box)
        if key is not None and not self.press(box, key):
            self.errors.append(f"the box {box['caption']!r} did not close on {key}")

    def press(self, box: Box, key: str) -> bool:
        """Focuses the box (no window manager does) and types the key."""
        for _ in range(5):
            xdotool(self.display, "windowfocus", "--sync", str(box["x_window"]))
            xdotool(self.display, "key", key)
            if self.wait(lambda: box.gone, 3):
                return True
        return box.gone

    def wait(self, predicate: Callable[[], bool], timeout: float) -> bool:
        with self.changed:
            return self.changed.wait_for(predicate, timeout)

    def dialogs(self, pid: int) -> list[dict]:
        self.process.stdin.write(f"list {pid}\n".encode())
        self.process.stdin.flush()
        return self.lists.get(timeout=30)

    def stop(self) -> None:
        self.process.stdin.close()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            stop_process(self.process)


def answer(answers: Union[None, str, dict]) -> Callable[[Box], Optional[str]]:
    """One key for every box, keys by caption (Return for the others), or None: left open."""
    if isinstance(answers, dict):
        return lambda box: answers.get(box["caption"], "Return")
    return lambda box: answers


class Run:
    """One start of "tool.exe start LINE" under Wine."""

    def __init__(self, host: "Host", line: str, env: dict, policy: Callable, cwd: Optional[Path]) -> None:
        self.host, self.line, self.policy = host, line, policy
        self.pid: Optional[int] = None
        self.exit_code: Optional[int] = None
        self.started = time.monotonic()
        self.ended: Optional[float] = None
        self.out: list[str] = []
        self.err: list[str] = []
        self.process = subprocess.Popen([host.prefix.loader, str(host.tools / "tool.exe"), "start", line], env=env, cwd=cwd,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        start_new_session=True)
        self.pumps = [threading.Thread(target=self._pump, args=pair, daemon=True)
                      for pair in ((self.process.stdout, self.out), (self.process.stderr, self.err))]
        for pump in self.pumps:
            pump.start()

    def _pump(self, stream, sink: list[str]) -> None:
        for raw in stream:
            sink.append(raw.decode("utf-8", "replace"))
            match = re.search(r"^started process (\d+)", sink[-1])
            self.pid = int(match[1]) if match and self.pid is None else self.pid

    def wait(self, timeout: float = 90) -> Optional[int]:
        """The full exit code; None when the run did not end in time (the prefix is then stopped)."""
        try:
            self.process.wait(timeout)
            self.seconds = time.monotonic() - self.started
            lines = "".join(self.out).split()
            self.exit_code = int(lines[-1]) if lines and lines[-1].isdigit() else None
            for pump in self.pumps:  # a process left behind may hold the output a while
                pump.join(10)
            self.host.watcher.wait(lambda: all(box.gone for box in self.boxes), 2)
        except subprocess.TimeoutExpired:
            self.seconds = timeout
            self.host.kill_everything()
        self.ended = time.monotonic()
        return self.exit_code

    def owns(self, box: Box) -> bool:
        # Process ids come back in later runs of the same prefix.
        return box["pid"] == self.pid and self.started <= box["shown_at"] <= (self.ended or box["shown_at"])

    @property
    def boxes(self) -> list[Box]:
        return [box for box in list(self.host.watcher.boxes) if self.owns(box)]

    def describe(self) -> str:
        boxes = "".join(f"\n  box {box['caption']!r}: {box['text']!r} {box['buttons']}" for box in self.boxes)
        return f"{self.line}\n  exit code {self.exit_code}{boxes}\n  stderr: {''.join(self.err)[-1500:]}"


class Host:
    """A prefix with its server and watcher, kept between tests that leave nothing open."""

    def __init__(self, prefix: Prefix, tools: Path) -> None:
        self.prefix, self.tools = prefix, tools
        self.runs: list[Run] = []
        self._watcher: Optional[Watcher] = None

    @property
    def watcher(self) -> Watcher:
        if self._watcher and self._watcher.process.poll() is not None:
            self.kill_everything()
        if not self._watcher:
            self.prefix.start_server()
            self._watcher = Watcher(self.prefix, self.tools / "tool.exe", self._policy_for)
        return self._watcher

    def _policy_for(self, box: Box) -> Callable:
        run = wait_until(lambda: next((run for run in list(self.runs) if run.owns(box)), None), 3, 0.05)
        return run.policy if run else answer("Return")

    def left_behind(self) -> bool:
        return (any(run.process.poll() is None for run in self.runs)
                or any(not box.gone for box in (self._watcher.boxes if self._watcher else [])))

    def kill_everything(self) -> None:
        if self._watcher:
            self._watcher.stop()
        self._watcher = None
        self.prefix.stop_server()


def setup_entries(raw: bytes, strict: bool) -> tuple[list[str], int]:
    """The log's entries (line end kept) and how many were cut at ENTRY_LIMIT.
    Strict: whole UTF-16 with its mark, every entry whole or cut at the limit.
    Else (Wine's installer wrote 8-bit text first) ASCII code units are picked out."""
    if strict:
        body = raw.replace(INSTALLER_LOG_LINE, b"")
        assert body[:2] == codecs.BOM_UTF16_LE and len(body) % 2 == 0, f"not UTF-16 with its mark: {raw[:16]!r}"
        text = body[2:].decode("utf-16-le")
        assert STAMP.match(text), f"the log does not begin with an entry: {text[:200]!r}"
    else:
        text, index = "", 0
        while index < len(raw):
            pair = raw[index + 1:index + 2] == b"\0" and raw[index] != 0
            text += chr(raw[index]) if pair else "\x00"
            index += 2 if pair else 1
    stamps = list(STAMP.finditer(text))
    entries = [text[m.end():stamps[i + 1].start() if i + 1 < len(stamps) else len(text)].split("\x00")[0]
               for i, m in enumerate(stamps)]
    assert not strict or entries[0].startswith("UILevel is set to "), entries[:3]
    cut = 0
    for entry in entries if strict else []:
        if not (entry.endswith("\r\n") or UNTERMINATED.fullmatch(entry)):
            assert len(entry) == ENTRY_LIMIT, f"an entry cut short at {len(entry)}: {entry[:100]!r}...{entry[-100:]!r}"
            cut += 1
    return entries, cut


def matches(pattern: str, text: str) -> bool:
    """Exact equality, where "<*>" in the pattern stands for any text."""
    return re.fullmatch(".*".join(map(re.escape, pattern.split("<*>"))), text, re.S) is not None


def in_order(expected: list[str], lines: list[str], what: str) -> None:
    """Each expected line among the lines in order; "!text": no line holds it."""
    position = 0
    for pattern in expected:
        if pattern.startswith("!"):
            assert not [line for line in lines if pattern[1:] in line], f"{what}: {pattern[1:]!r} in\n" + "\n".join(lines)
            continue
        found = next((i for i in range(position, len(lines)) if matches(pattern, lines[i])), None)
        assert found is not None, f"{what}: no {pattern!r} after line {position} of\n" + "\n".join(
            repr(line[:300]) for line in lines)
        position = found + 1


class Bench:
    """One test's host (shared or its own), program, media, runs and what they left."""

    def __init__(self, host: Host, program: Path, arch: str, locales: Callable[[], Optional[Path]]) -> None:
        self.host, self.prefix, self.tools = host, host.prefix, host.tools
        self.program, self.arch, self.locales = program, arch, locales
        self.display = self.prefix.display
        host.runs = []
        for name in ("media", "logs"):
            shutil.rmtree(self.prefix.path / "drive_c" / name, ignore_errors=True)
        shutil.rmtree(self.prefix.temp, ignore_errors=True)
        self.prefix.temp.mkdir()
        self.system = system_folder(self.prefix, arch)

    @property
    def watcher(self) -> Watcher:
        return self.host.watcher

    def make_media(self, name: str, ini: Union[None, str, bytes, dict], files: dict) -> str:
        """C:\\media\\<name> with setup.exe, setup.ini (sections, text or bytes) and files."""
        folder = f"C:\\media\\{name}"
        self.prefix.unix(folder).mkdir(parents=True)
        if isinstance(ini, dict):
            ini = "".join(f"[{section}]\r\n" + "".join(f"{key}={value}\r\n" for key, value in keys.items())
                          for section, keys in ini.items())
        files = {"setup.exe": self.program, "tool.exe": self.tools / "tool.exe",
                 **({} if ini is None else {"setup.ini": ini.encode("cp1252") if isinstance(ini, str) else ini}),
                 **files}
        for path, content in files.items():
            target = self.prefix.unix(path if ":" in path else f"{folder}\\{path}")
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(content if isinstance(content, bytes) else Path(content).read_bytes())
        return folder

    def start(self, line: str, answers: Union[None, str, dict] = "Return", locale: Optional[str] = None,
              env: Optional[dict] = None, cwd: Optional[str] = None) -> Run:
        """Starts the command line as given (the program's Windows path first)."""
        self.watcher  # noqa: B018 - it must see the first box
        extra = {"LC_ALL": locale} if locale else {}
        if locale and self.locales() and (self.locales() / locale).is_dir():
            extra["LOCPATH"] = str(self.locales())
        run = Run(self.host, line, self.prefix.env(**extra, **(env or {})), answer(answers),
                  self.prefix.unix(cwd) if cwd else None)
        self.host.runs.append(run)
        return run

    def run(self, line: str, timeout: float = 120, **options) -> Run:
        (run := self.start(line, **options)).wait(timeout)
        return run

    def logs(self) -> list[Path]:
        return sorted(self.prefix.temp.glob("* Setup (*).log"))

    def markers(self) -> dict[str, str]:
        """Marker name -> what tool.exe wrote to C:\\logs\\<name>.marker."""
        return {path.stem: path.read_bytes().decode() for path in (self.prefix.path / "drive_c" / "logs").glob("*.marker")}

    def double_log(self, name: str) -> list[str]:
        path = self.system / f"recording_{name}.log"
        return path.read_text("utf-8").splitlines() if path.exists() else []

    def script_doubles(self, msi: dict) -> None:
        """Fresh call logs and the msi.dll's script (script_msi)."""
        script_msi(self.system, msi)
        for name in ("msi", "mapi"):
            (self.system / f"recording_{name}.log").unlink(missing_ok=True)
