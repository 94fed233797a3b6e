"""Wine prefixes, the box watcher, runs, the setup log, dialogs driven through X (README.md)."""

import codecs
import json
import os
import pwd
import queue
import re
import shutil
import struct
import subprocess
import tempfile
import threading
import time
from pathlib import Path

E2E_DIR = Path(__file__).resolve().parent
REPO = E2E_DIR.parent.parent
# "wine" would start every program through the emulated 32-bit loader; wine64 hands on 32-bit ones.
WINE = os.environ.get("WINE") or ("/usr/lib/wine/wine64" if os.path.exists("/usr/lib/wine/wine64") else "wine")
WINESERVER = os.environ.get("WINESERVER", "wineserver")
INSTALLER_LOG_LINE = b"=== recording installer log ===\r\n"  # what the recording msi.dll writes
STAMP = re.compile(r"Setup\.exe \[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\]: ")
ENTRY_LIMIT = 4095  # characters of one formatted log entry
# Written without a line end on purpose (others like it, about mail, no case meets).
UNTERMINATED = re.compile(r"BSInstall\(\) failed\. Error\(-?\d+\)'.*'\.", re.S)
CRASH_REPORT = re.compile(r"Unhandled (exception|page fault|stack overflow|illegal instruction)|starting debugger", re.I)

def setup_exe():
    return REPO / (os.environ.get("SETUP_EXE") or "dist/x64/setup.exe")

def pe_architecture(path):
    data = path.read_bytes()[:4096]
    (machine,) = struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)
    return {0x8664: "x64", 0x14C: "x86"}.get(machine, hex(machine))

# Time limits catch hangs only: this many times longer for the x86 program, emulated here.
SLOWDOWN = 3 if setup_exe().is_file() and pe_architecture(setup_exe()) == "x86" else 1

def tools_dir(arch):
    return Path(os.environ.get("E2E_TOOLS_DIR") or REPO / "build" / f"mingw-{arch}" / "test-tools")

def system_folder(prefix, arch):
    return prefix.path / "drive_c" / "windows" / ("system32" if arch == "x64" else "syswow64")

def strings(language):
    source = (REPO / "resources" / "strings" / f"{language}.inc").read_text(encoding="utf-8")
    unescape = {"n": "\n", "r": "\r", "t": "\t"}
    return {int(key): re.sub(r"\\(x[0-9a-fA-F]+|.)", lambda m: unescape.get(m[1]) or (
                chr(int(m[1][1:], 16)) if m[1][0] == "x" else m[1]), value)
            for key, value in re.findall(r'^\s*STR\(\s*(\d+)\s*,\s*"((?:[^"\\]|\\.)*)"\s*\)', source, re.M)}

def check_media(folder):
    return json.loads(subprocess.run([str(REPO / "dist" / "linux" / "setupcheck"), str(folder), "--json"],
                                     capture_output=True, text=True, timeout=60).stdout)

def spawn(args, **options):  # in a session of its own: stopping it reaches no other
    quiet = dict.fromkeys(("stdin", "stdout", "stderr"), subprocess.DEVNULL)
    return subprocess.Popen(args, **{**quiet, "start_new_session": True, **options})

def stop_process(process, grace=0):  # by its id, unless it ends within `grace` seconds
    for stop in (None, process.terminate, process.kill):
        if stop:
            stop()
        try:
            return process.wait(grace if stop is None else 5)
        except subprocess.TimeoutExpired:
            pass

def output_of(args, env, timeout):
    """The exit code ("no end" after the timeout) and output, through a file that a child left behind cannot hold."""
    with tempfile.TemporaryFile() as out:
        try:
            code = subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            code = "no end"
        out.seek(0)
        return code, out.read()

def xdotool(display, *args):
    return subprocess.run(["xdotool", *map(str, args)], env=dict(os.environ, DISPLAY=display), capture_output=True,
                          text=True, timeout=15).stdout

def wait_until(predicate, timeout, step=0.1):
    deadline = time.monotonic() + timeout * SLOWDOWN
    while not (result := predicate()) and time.monotonic() < deadline:
        time.sleep(step)
    return result

def kill_server(env):
    subprocess.run([WINESERVER, "-k"], env=env, capture_output=True, timeout=30)

def start_xvfb():
    read_end, write_end = os.pipe()
    process = spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                     "-noreset"], pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end) as reader:
        return process, ":" + reader.readline().strip()

class Prefix:
    """A Wine prefix with a wineserver of its own, started and stopped by process id."""
    def __init__(self, path, display, loader=WINE):
        self.path, self.display, self.server, self.loader = path, display, None, loader
        self.temp_windows = f"C:\\users\\{pwd.getpwuid(os.getuid()).pw_name}\\Temp\\"

    def env(self, **extra: str | None):
        env = {key: value for key, value in os.environ.items() if not key.startswith(("WINE", "LC_"))
               and key not in ("DISPLAY", "LANG", "LANGUAGE", "LOCPATH")}
        env.update({"WINEPREFIX": str(self.path), "WINEDEBUG": "-all", "LC_ALL": "C.UTF-8", "DISPLAY": self.display,
                    **extra})
        return {key: value for key, value in env.items() if value is not None}

    def start_server(self):
        if self.server and self.server.poll() is None:
            return
        # -f: in the foreground (its process id is the server's); -p: persistent.
        self.server = spawn([WINESERVER, "-f", "-p"], env=self.env())
        info, named = self.path.stat(), self.path / "wineserver"
        def listening():  # Debian's Wine names the socket's folder in the prefix's file "wineserver"
            folders = [f"/tmp/.wine-{os.getuid()}"]
            folders += [f"{os.environ.get('TMPDIR') or '/tmp'}/{named.read_text().strip()}"] if named.is_file() else []
            return any(Path(folder, f"server-{info.st_dev:x}-{info.st_ino:x}", "socket").exists() for folder in folders)
        if not wait_until(listening, 20, 0.05):
            self.stop_server()
            raise RuntimeError(f"wineserver for {self.path} did not start")

    def stop_server(self):
        if self.server and self.server.poll() is None:
            kill_server(self.env())
            stop_process(self.server, 15)
        self.server = None

    def wine(self, args, **extra: str | None):
        self.start_server()
        return subprocess.CompletedProcess(args, *output_of([self.loader, *args], self.env(**extra), 180))

    def reg_import(self, text, view):
        with tempfile.NamedTemporaryFile(suffix=".reg", dir=self.path / "drive_c") as script:
            text = f"\ufeffWindows Registry Editor Version 5.00\n\n{text}\n"
            script.write(text.replace("\n", "\r\n").encode("utf-16-le"))
            script.flush()
            result = self.wine(["reg", "import", "C:\\" + Path(script.name).name, f"/reg:{view}"])
        assert result.returncode == 0, f"reg import failed: {result.stdout!r}"

    def append_user_reg(self, key, values):  # while the server is down (read at its next start)
        with open(self.path / "user.reg", "a", encoding="ascii") as registry:
            registry.write(f"\n[{key}] 0\n".replace("\\", "\\\\") + values + "\n")

    def unix(self, windows_path):  # a C: or Z: path, its letter case as Wine matches it
        drive, _, rest = windows_path.partition(":")
        path = {"c": self.path / "drive_c", "z": Path("/")}[drive.lower()]
        for part in filter(None, rest.replace("/", "\\").split("\\")):
            same = [entry for entry in path.iterdir() if entry.name.lower() == part.lower()] if path.is_dir() else []
            path = path / part if (path / part).exists() or not same else same[0]
        return path

    @property
    def temp(self):
        return self.unix(self.temp_windows)

    def copy(self, target):
        subprocess.run(["cp", "-a", str(self.path), str(target)], check=True)
        return Prefix(target, self.display, self.loader)

def make_base_prefix(path, display, win32=False):  # wineboot -i under Wine's own server
    prefix = Prefix(path, None, "/usr/lib/wine/wine" if win32 else WINE)
    env = prefix.env(WINEDLLOVERRIDES="mscoree,mshtml=d", WINEARCH="win32" if win32 else None)  # no Mono or Gecko
    # A second try on a fresh folder: now and then a first boot fails, or hangs on a crash under emulation.
    for _ in range(2):
        code, output = output_of([prefix.loader, "wineboot", "-i"], env, 240)
        code = "no end" if output_of([WINESERVER, "-w"], env, 120)[0] == "no end" else code
        if code == 0 and prefix.temp.is_dir():
            break
        kill_server(env)
        shutil.rmtree(path, ignore_errors=True)
    assert prefix.temp.is_dir(), f"wineboot -i failed ({code}): {output[-2000:]!r}"
    # No window manager (Wine would wait for one); a crashing program ends at once with its exception code.
    prefix.append_user_reg("Software\\Wine\\X11 Driver", '"Managed"="N"')
    prefix.append_user_reg("Software\\Wine\\WineDbg", '"ShowCrashDialog"=dword:00000000')
    prefix.display = display
    return prefix

def install_doubles(prefix, arch, tools):  # preferred by setup.exe alone
    for name in ("msi.dll", "mapi32.dll"):
        shutil.copyfile(tools / "recording.dll", system_folder(prefix, arch) / name)
    prefix.append_user_reg("Software\\Wine\\AppDefaults\\setup.exe\\DllOverrides",
                           '"msi"="native,builtin"\n"mapi32"="native,builtin"')

def ini_text(sections):  # None values left out
    return "".join(f"[{section}]\r\n" + "".join(f"{key}={value}\r\n" for key, value in keys.items()
                                                if value is not None) for section, keys in sections.items())

def script_msi(system, results):  # the msi.dll double's calls succeed but for `results` ({"InstallProduct": 1603}...)
    (system / "recording_msi.ini").write_text(ini_text({"Result": results}))

class Watcher:
    """tool.exe watch: message boxes as they come, answered with key_for's key; dialogs on request."""
    def __init__(self, prefix, tool, key_for):
        self.display, self.key_for, self.boxes, self.errors = prefix.display, key_for, [], []
        self.changed, self.ready, self.lists = threading.Condition(), threading.Event(), queue.Queue()
        self.process = spawn([prefix.loader, str(tool), "watch"], env=prefix.env(), stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE)
        threading.Thread(target=self._read, daemon=True).start()
        # A new emulated 32-bit prefix on a busy machine takes minutes.
        if not self.ready.wait(180 * SLOWDOWN):
            self.stop()
            raise RuntimeError("tool.exe watch did not start")

    def _read(self):
        for line in self.process.stdout:
            event = json.loads(line)
            if "dialogs" in event:
                self.lists.put(event["dialogs"])
            with self.changed:
                if "shown" in event:
                    self.boxes.append(box := dict(event, shown_at=time.monotonic(), gone=False))
                    threading.Thread(target=self._answer, args=(box,), daemon=True).start()
                for box in self.boxes:
                    box["gone"] = box["gone"] or box["shown"] == event.get("gone")
                self.ready.set()
                self.changed.notify_all()

    def _answer(self, box):
        if (key := self.key_for(box)) is not None and not self.press(box, key):
            self.errors.append(f"the box {box['caption']!r} did not close on {key}")

    def press(self, box, key):
        for _ in range(5):
            xdotool(self.display, "windowfocus", "--sync", box["x_window"])
            xdotool(self.display, "key", key)
            if self.wait(lambda: box["gone"], 3):
                return True
        return box["gone"]

    def wait(self, predicate, timeout):
        with self.changed:
            return self.changed.wait_for(predicate, timeout)

    def dialogs(self, pid):
        self.process.stdin.write(f"list {pid}\n".encode())
        self.process.stdin.flush()
        return self.lists.get(timeout=30 * SLOWDOWN)

    def stop(self):
        self.process.stdin.close()
        stop_process(self.process, 5)

class Run:
    """tool.exe start LINE, its output through files."""
    def __init__(self, bench, line, env, answers: None | str | dict, cwd):
        self.bench, self.line, self.answers, self.exit_code, self.ended = bench, line, answers, None, None
        self.started, self.files = time.monotonic(), [tempfile.TemporaryFile(), tempfile.TemporaryFile()]
        self.options = dict(env=env, cwd=cwd, stdout=self.files[0], stderr=self.files[1])
        self.command, self.tries = [bench.prefix.loader, str(bench.tools / "tool.exe"), "start", line], 1
        self.process = spawn(self.command, **self.options)

    def output(self, stream=0):
        fd = self.files[stream].fileno()
        return os.pread(fd, os.fstat(fd).st_size, 0).decode("utf-8", "replace")

    @property
    def pid(self):
        match = re.search(r"^started process (\d+)", self.output(1), re.M)
        return int(match[1]) if match else None

    def wait(self, timeout=90):  # the full exit code; None when the run did not end in time (the prefix is stopped)
        timeout *= SLOWDOWN
        try:
            self.process.wait(timeout)
            # Wine's loader now and then ends at once, silent, before tool.exe starts anything: one more try.
            if self.pid is None and not self.output(0) + self.output(1) and self.tries == 1:
                self.tries, self.process = 2, spawn(self.command, **self.options)
                self.process.wait(max(1.0, timeout - (time.monotonic() - self.started)))
            self.seconds = time.monotonic() - self.started
            lines = self.output().split()
            self.exit_code = int(lines[-1]) if lines and lines[-1].isdigit() else None
            self.bench.watcher.wait(lambda: all(box["gone"] for box in self.boxes), 2)
        except subprocess.TimeoutExpired:
            self.seconds = timeout
            self.bench.kill_everything()
        self.ended = time.monotonic()
        return self.exit_code

    def owns(self, box):
        # Process ids come back in later runs in the prefix.
        return box["pid"] == self.pid and self.started <= box["shown_at"] <= (self.ended or box["shown_at"])

    @property
    def boxes(self):
        return [box for box in list(self.bench.watcher.boxes) if self.owns(box)]

    def describe(self):
        boxes = "".join(f"\n  box {box['caption']!r}: {box['text']!r} {box['buttons']}" for box in self.boxes)
        ended = "running" if self.process.poll() is None else f"the loader ended with {self.process.returncode}"
        return (f"{self.line}\n  exit code {self.exit_code} ({ended}, {self.tries} start(s)){boxes}"
                f"\n  stdout: {self.output(0)[-300:]}\n  stderr: {self.output(1)[-1500:]}")

def setup_entries(raw, strict):
    """The entries (line ends kept) and how many were cut. Not strict: after Wine's installer's 8-bit text, ASCII
    code units are picked out."""
    if strict:
        body = raw.replace(INSTALLER_LOG_LINE, b"")
        assert body[:2] == codecs.BOM_UTF16_LE and len(body) % 2 == 0, f"not UTF-16 with its mark: {raw[:16]!r}"
        text = body[2:].decode("utf-16-le")
        assert STAMP.match(text), f"the log does not begin with an entry: {text[:200]!r}"
    else:
        text = re.sub(rb"([^\0])\0|.", lambda m: m[1] or b"\0", raw, flags=re.S).decode("latin-1")
    stamps = list(STAMP.finditer(text)) + [None]
    entries = [text[m.end():after.start() if after else None].split("\x00")[0] for m, after in zip(stamps, stamps[1:])]
    assert not strict or entries[0].startswith("UILevel is set to "), entries[:3]
    cut = [entry for entry in entries if strict and not (entry.endswith("\r\n") or UNTERMINATED.fullmatch(entry))]
    assert all(len(entry) == ENTRY_LIMIT for entry in cut), f"an entry cut short: {[entry[-100:] for entry in cut]}"
    return entries, len(cut)

def matches(pattern, text):
    return re.fullmatch(".*".join(map(re.escape, pattern.split("<*>"))), text, re.S) is not None

def in_order(expected, lines, what):  # each pattern matched by a line, in order; "!text": no line holds it
    position = 0
    for pattern in expected:
        if pattern.startswith("!"):
            assert not [ln for ln in lines if pattern[1:] in ln], f"{what}: {pattern[1:]!r} in\n" + "\n".join(lines)
            continue
        found = next((i for i in range(position, len(lines)) if matches(pattern, lines[i])), None)
        assert found is not None, f"{what}: no {pattern!r} after line {position} of\n" + "\n".join(
            repr(line[:300]) for line in lines)
        position = found + 1

class Bench:
    """A prefix with its box watcher, the program under test, media and runs."""
    def __init__(self, prefix, program, tools):
        self.prefix, self.program, self.tools = prefix, program, tools
        self.arch, self.display, self.runs, self._watcher = pe_architecture(program), prefix.display, [], None
        self.system = system_folder(prefix, self.arch)

    def reset(self):
        self.runs = []
        drive = self.prefix.path / "drive_c"
        for folder in (drive / "media", drive / "logs", drive / "temp", self.prefix.temp):
            shutil.rmtree(folder, ignore_errors=True)
        for folder in (drive / "logs", self.prefix.temp):
            folder.mkdir()
        return self

    @property
    def watcher(self):
        if self._watcher and self._watcher.process.poll() is not None:
            self.kill_everything()
        if not self._watcher:
            self.prefix.start_server()
            self._watcher = Watcher(self.prefix, self.tools / "tool.exe", self._key_for)
        return self._watcher

    def _key_for(self, box):  # a key for every box, keys by caption (else Return), or None: left open
        run = wait_until(lambda: next((run for run in list(self.runs) if run.owns(box)), None), 3, 0.05)
        answers = run.answers if run else "Return"
        return answers.get(box["caption"], "Return") if isinstance(answers, dict) else answers

    def left_behind(self):
        return (any(run.process.poll() is None for run in self.runs)
                or any(not box["gone"] for box in (self._watcher.boxes if self._watcher else [])))

    def kill_everything(self):
        if self._watcher:
            self._watcher.stop()
        self._watcher = None
        self.prefix.stop_server()

    def make_media(self, name, ini: None | str | bytes | dict, files, folder=None):
        """C:\\media\\<name> (or `folder`) with setup.exe, tool.exe, setup.ini and files (bytes or paths)."""
        folder = folder or f"C:\\media\\{name}"
        ini = ini_text(ini) if isinstance(ini, dict) else ini
        setup_ini = {} if ini is None else {"setup.ini": ini.encode("cp1252") if isinstance(ini, str) else ini}
        files = {"setup.exe": self.program, "tool.exe": self.tools / "tool.exe", **setup_ini, **files}
        self.prefix.unix(folder).mkdir(parents=True)
        for path, content in files.items():
            target = self.prefix.unix(path if ":" in path else f"{folder}\\{path}")
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(content if isinstance(content, bytes) else Path(content).read_bytes())
        return folder

    def start(self, line, answers: None | str | dict = "Return", env=None, cwd=None):
        self.watcher  # it must see the first box
        run = Run(self, line, self.prefix.env(**(env or {})), answers, self.prefix.unix(cwd) if cwd else None)
        self.runs.append(run)
        return run

    def run(self, line, timeout=120, **options):
        (run := self.start(line, **options)).wait(timeout)
        return run

    def logs(self, temp=None):  # the setup logs in the temporary folder (or `temp`)
        return sorted((self.prefix.unix(temp) if temp else self.prefix.temp).glob("* Setup (*).log"))

    def markers(self):
        return {path.stem: path.read_bytes().decode() for path in self.prefix.unix("C:\\logs").glob("*.marker")}

    def double_log(self, name):
        path = self.system / f"recording_{name}.log"
        return path.read_text("utf-8").splitlines() if path.exists() else []

    def script_doubles(self, results):
        script_msi(self.system, results)
        for name in ("msi", "mapi32"):
            (self.system / f"recording_{name}.log").unlink(missing_ok=True)

# ---- Dialogs as a person meets them: found in the watcher's lists, driven through X
def find_dialog(run, match, timeout=5):  # the run's first dialog that matches, waited for, or {}
    pid = wait_until(lambda: run.pid, 30)
    found = wait_until(lambda: next((d for d in run.bench.watcher.dialogs(pid) if match(d)), None)
                       or run.process.poll() is not None, timeout)
    return found if isinstance(found, dict) else {}

def dialog(run, caption):
    found = find_dialog(run, lambda d: d["caption"] == caption and "65535" not in d["controls"], 60)  # no box
    assert found, f"no dialog {caption!r}\n{run.describe()}"
    return found

def refresh(run, seen, until=lambda found: True):  # read again once `until` holds (a few seconds); {} once gone
    return (find_dialog(run, lambda d: d["hwnd"] == seen["hwnd"] and until(d))
            or find_dialog(run, lambda d: d["hwnd"] == seen["hwnd"], 0))

def keys(bench, seen, *names):
    xdotool(bench.display, "windowfocus", "--sync", seen["x_window"])
    for name in names:
        xdotool(bench.display, "key", name)
        time.sleep(0.15)

def click(bench, rect):
    # --sync waits for the pointer to move: it must not be there already.
    xdotool(bench.display, "mousemove", "--sync", rect[0], rect[1])
    xdotool(bench.display, "mousemove", "--sync", (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)
    xdotool(bench.display, "click", 1)
    time.sleep(0.15)

def pixels(bench, rect):
    raw = subprocess.run(["import", "-display", bench.display, "-window", "root", "-crop",
                          f"{rect[2] - rect[0]}x{rect[3] - rect[1]}+{rect[0]}+{rect[1]}", "rgb:-"],
                         capture_output=True, check=True).stdout
    return {raw[i:i + 3] for i in range(0, len(raw), 3)}
