"""Bad input: a setup.ini of garbage or of megabytes, values of 10,000
characters, a thousand prerequisite sections, a command line of 30,000
characters, unbalanced quotes, a log path that cannot be opened, registry
values of the wrong type or of a megabyte, condition programs and component
installers that flood their output or crash, a package that is not one and a
transform that is a folder.

Each case checks that the program ends with the outcome that its rules give
for the input (or a logged error and exit code 3), within a few seconds,
without crashing (no exception code as exit code, no crash report on
stderr, no crash dialog) and with its log readable and complete: UTF-16
throughout, "UILevel is set to" first, every entry whole. An entry without
a line end is whole when the program writes it so on purpose, or when it was
cut at the 4,095 characters that one formatted entry holds.

The runs use the recording msi.dll (no product is installed; the log keeps
every entry) unless the real installer library is what the case is about.
The table of cases and outcomes is written to build/e2e-artifacts/bad-input.md
(bad_input_report.py)."""

from __future__ import annotations

import random
import re
import subprocess
from pathlib import Path
from typing import Iterator, Optional, Sequence, Union

import pytest

import msi_double
import prereq_bench as pb
import winebench as wb

pytest_plugins = ["bad_input_report"]

QUIET = ["/i", "/quiet"]
FEW_SECONDS = 10.0
LONG = 10_000
INI_VALUE_LIMIT = 2047
ENTRY_LIMIT = 4095  # characters of one formatted log entry
CAPTION = wb.INSTALLATION_ERROR
SETUP_COMPLETE = "Setup complete\r\n"


def is_exception_code(code: int) -> bool:
    """An exit code that is an exception code: the process died of a fault."""
    return code >= 0xC0000000 or code in (0x80000003, 0x80000004)


# What Wine writes on stderr when a process dies of an unhandled exception.
CRASH_REPORT = re.compile(r"Unhandled (exception|page fault|stack overflow|illegal instruction)"
                          r"|starting debugger|wine: Call from .* to unimplemented function", re.I)

# Entries that the program writes without a line end on purpose.
UNTERMINATED = [re.compile(pattern, re.S) for pattern in (
    r"BSInstall\(\) failed\. Error\(-?\d+\)'.*'\.",
    r"Can't load MAPI32\.DLL",
    r"MAPISendMail\(.*\) failure\. Error\(-?\d+\)'.*'\.",
    r"SendLogFile\(.*\) failure\.",
)]


# --------------------------------------------------------------------------
# Hosts


def no_crash_dialog(prefix: wb.WinePrefix) -> None:
    """A crashing program of the prefix ends at once with its exception
    code, without Wine's crash dialog. The prefix's server must not run:
    the value goes into its user.reg, which Wine reads at the next start."""
    assert not (prefix.server and prefix.server.poll() is None), f"the server of {prefix.path} runs"
    with open(prefix.path / "user.reg", "a", encoding="ascii", newline="\n") as registry:
        registry.write("\n[Software\\\\Wine\\\\WineDbg] 0\n\"ShowCrashDialog\"=dword:00000000\n")


@pytest.fixture(scope="module")
def bench_host(base_prefix: wb.WinePrefix, display: str, tools: Path) -> Iterator[wb.PrefixHost]:
    """For the cases that need Wine's own installer library: a copy of the
    base prefix in which a crashing program ends at once (no crash dialog)
    with its exception code."""
    with wb.host_on_copy(base_prefix, "bad-input", display, tools, no_crash_dialog) as host:
        yield host


@pytest.fixture(autouse=True)
def _tools(tools: Path) -> None:
    pb.require_tools(tools)
    if not (tools / "crasher.exe").is_file():
        pytest.fail(f"crasher.exe is missing in {tools} (build the target e2e_crasher)", pytrace=False)


# --------------------------------------------------------------------------
# The table row of a case


class Case:
    """What a case records for the table, and the checks common to all."""

    def __init__(self, request: pytest.FixtureRequest, bench: wb.Bench) -> None:
        self.node = request.node
        self.bench = bench
        self.cut_entries = 0

    def describe(self, input: str, behaviour: str) -> None:
        self.node.user_properties.append(("input", input))
        self.node.user_properties.append(("behaviour", behaviour))

    def run(self, media: wb.Media, args: Union[str, Sequence[str]], *, budget: float = FEW_SECONDS,
            timeout: float = 60, answer: wb.AnswerPolicy = wb.answer_default) -> wb.SetupRun:
        run = self.bench.run_setup(media, args, timeout=timeout, answer=answer)
        seconds = (run.ended_monotonic or 0) - run.started_monotonic
        code = "none (timed out)" if run.exit_code is None else str(run.exit_code)
        self.node.user_properties.append(("observed", f"{code}, {seconds:.1f} s"))
        # Never hangs, never crashes.
        assert not run.timed_out, f"no end within {timeout} s\n{run.describe()}"
        assert run.exit_code is not None, run.describe()
        assert not is_exception_code(run.exit_code), \
            f"the program died of exception 0x{run.exit_code:08X}\n{run.describe()}"
        reports = [line for line in run.stderr.splitlines() if CRASH_REPORT.search(line)]
        assert reports == [], f"crash report on stderr: {reports}\n{run.describe()}"
        strangers = [box for box in self.bench.watcher.boxes
                     if not run.owns(box) and box.shown_at >= run.started_monotonic]
        assert strangers == [], f"windows of other programs (a crash dialog?): {strangers}"
        assert seconds <= budget, f"the run took {seconds:.1f} s (at most {budget} s)\n{run.describe()}"
        return run


    def log(self, run: wb.SetupRun, ui_level: int = 2) -> "Log":
        """The run's one log in the temporary folder, read strictly."""
        logs = [path for path in self.bench.temp_logs() if " Setup (" in path.name]
        assert len(logs) == 1, f"logs: {[path.name for path in self.bench.temp_logs()]}\n{run.describe()}"
        log = Log(logs[0].read_bytes(), ui_level)
        self.cut_entries += len(log.cut)
        return log


@pytest.fixture
def case(request: pytest.FixtureRequest, bench: wb.Bench) -> Iterator[Case]:
    case = Case(request, bench)
    yield case
    if case.cut_entries:
        # For the table: an entry cut at the limit runs on into the next one.
        count = case.cut_entries
        request.node.user_properties.append(
            ("observed_note", f"{count} log entr{'y' if count == 1 else 'ies'} cut at {ENTRY_LIMIT:,} characters"))


# --------------------------------------------------------------------------
# The log


class Log:
    """A setup log read strictly: its entries, and those cut at the limit."""

    def __init__(self, raw: bytes, ui_level: int) -> None:
        # The recording installer writes one 8-bit line into the file; it
        # has an even length, so the setup's UTF-16 text around it stays aligned.
        body = raw.replace(msi_double.INSTALLER_LOG_LINE.encode("ascii"), b"")
        assert body[:2] == b"\xff\xfe", f"the log has no byte-order mark: {raw[:16]!r}"
        assert len(body) % 2 == 0, f"the log has an odd number of bytes ({len(body)})"
        try:
            self.text = body[2:].decode("utf-16-le")
        except UnicodeDecodeError as error:
            raise AssertionError(f"the log is not UTF-16: {error}") from None
        stamps = list(wb.LOG_STAMP.finditer(self.text))
        assert stamps and stamps[0].start() == 0, f"the log does not begin with an entry: {self.text[:200]!r}"
        self.entries = [self.text[match.end():(stamps[i + 1].start() if i + 1 < len(stamps) else len(self.text))]
                        for i, match in enumerate(stamps)]
        assert self.entries[0] == f"UILevel is set to {ui_level}\r\n", self.entries[:3]
        self.cut = []
        for entry in self.entries:
            if entry.endswith("\r\n") or any(pattern.fullmatch(entry) for pattern in UNTERMINATED):
                continue
            assert len(entry) == ENTRY_LIMIT, \
                f"a truncated entry of {len(entry)} characters: {entry[:120]!r}...{entry[-120:]!r}"
            self.cut.append(entry)

    def has(self, entry: str) -> bool:
        return entry in self.entries

    def starting(self, prefix: str) -> list[str]:
        return [entry for entry in self.entries if entry.startswith(prefix)]

    def excerpt(self) -> str:
        return "\n".join(repr(entry if len(entry) < 300 else entry[:150] + "..." + entry[-100:])
                         for entry in self.entries)


def no_log_anywhere(bench: wb.Bench, run: wb.SetupRun) -> None:
    assert bench.temp_logs() == [], f"logs: {bench.temp_logs()}\n{run.describe()}"
    logs = bench.prefix.drive_c / "logs"
    found = sorted(path.name for path in logs.rglob("*")) if logs.is_dir() else []
    assert found == [], f"files in C:\\logs: {found}"



def installed_with(recording_msi: msi_double.RecordingMsi) -> list[str]:
    """The command lines that MsiInstallProductA received."""
    return [call.args[1] for call in recording_msi.calls("MsiInstallProductA")]


def media_with_tools(bench: wb.Bench, ini, extra: Optional[dict] = None) -> wb.Media:
    files = {"demo.msi": b"not read by the recording installer",
             "component.exe": bench.tools / "component.exe",
             "condition.exe": bench.tools / "condition.exe",
             "crasher.exe": bench.tools / "crasher.exe"}
    files.update(extra or {})
    return bench.make_media(ini=ini, files=files)


def needed_component(name: str = "Runtime", **keys: Union[str, int]) -> dict[str, Union[str, int]]:
    """A prerequisite that is missing (its file is not there) and whose
    installer is component.exe, leaving the marker C:\\logs\\<name>.marker."""
    section: dict[str, Union[str, int]] = {
        "Name": name, "InstPath": "#Root#\\component.exe",
        "InstParams": f'"#InstPath#" 0 {pb.marker_path("component")}',
        "FilePath": "#Root#\\missing.dll"}
    section.update(keys)
    return section


# --------------------------------------------------------------------------
# setup.ini


def test_bad_input_ini_of_binary_garbage(case, bench, bench_host):
    garbage = random.Random(1).randbytes(64 * 1024)
    case.describe("setup.ini: 64 KB of random bytes, NULs included",
                  "no [Main] found: MsiPath empty, so the package (the program's folder) cannot be read: "
                  "plain box \"Can't read installation property from file\", exit 3, no log")
    media = bench.make_media(ini=None, files={"setup.ini": garbage})
    run = case.run(media, QUIET)

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [
        (CAPTION, f"Can't read installation property from file:\n'{media.windows_dir}\\'.")], run.describe()
    no_log_anywhere(bench, run)


def test_bad_input_ini_that_is_a_folder(case, bench, bench_host):
    case.describe("setup.ini is a folder",
                  "the folder is found, every key reads as its default: MsiPath empty, so the package "
                  "cannot be read: plain box \"Can't read installation property from file\", exit 3, no log")
    media = bench.make_media(ini=None)
    (media.unix_dir / "setup.ini").mkdir()
    run = case.run(media, QUIET)

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [
        (CAPTION, f"Can't read installation property from file:\n'{media.windows_dir}\\'.")], run.describe()
    no_log_anywhere(bench, run)


def test_bad_input_ini_of_several_megabytes(case, bench, recording_msi):
    filler = "".join(f"[Filler{index}]\r\nKey=" + "f" * 80 + "\r\n" for index in range(40_000))
    ini = filler + "[Main]\r\nMsiPath=demo.msi\r\nMsiProp=FOUND=1\r\n"
    case.describe(f"setup.ini of {len(ini) / 1e6:.1f} MB: 40,000 sections, [Main] last",
                  "reads [Main] at the end and installs as usual: exit 0")
    media = media_with_tools(bench, ini)
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    assert installed_with(recording_msi) == ["FOUND=1"], recording_msi.describe()
    log = case.log(run)
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


# --------------------------------------------------------------------------
# Values of 10,000 characters


def test_bad_input_long_msipath(case, bench, recording_msi):
    case.describe("MsiPath of 10,000 characters",
                  "cut to 2,047; the single-instance guard is named by a hash of it; no such "
                  "file: \"Setup was unable to find the file\" logged, exit 3")
    media = media_with_tools(bench, {"Main": {"MsiPath": "p" * LONG}})
    run = case.run(media, QUIET)

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    log = case.log(run)
    assert len(log.entries) == 2 and log.entries[0] == "UILevel is set to 2\r\n", log.excerpt()
    assert log.entries[1].startswith("Setup was unable to find the file\n'"), log.excerpt()
    assert log.entries[1].endswith("p" * 2047 + "'.\r\n"), log.excerpt()
    assert installed_with(recording_msi) == [], recording_msi.describe()


def test_bad_input_long_msiprop(case, bench, recording_msi):
    value = "P=" + "v" * (LONG - 2)
    case.describe("MsiProp of 10,000 characters",
                  "cut to 2,047 and handed to the installer as the properties: exit 0")
    media = media_with_tools(bench, {"Main": {"MsiPath": "demo.msi", "MsiProp": value}})
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    assert installed_with(recording_msi) == [value[:INI_VALUE_LIMIT]], \
        [len(line) for line in installed_with(recording_msi)]
    log = case.log(run)
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


def test_bad_input_long_name_of_a_patch(case, bench, recording_msi):
    case.describe("Name of 10,000 characters (a patch run, where it names the log file)",
                  "the default log path (temporary folder, the name cut to 2,047, the time) is too long "
                  "to open: the run goes on without a log and applies the patch: exit 0")
    media = media_with_tools(bench, {"Main": {"MsiPath": "demo.msp", "MsiPatch": 1, "Name": "n" * LONG,
                                              "VersionTarget": "1.0.1"}},
                             extra={"demo.msp": b"not read by the recording installer"})
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    assert [call.name for call in recording_msi.calls("MsiApplyPatchA")] == ["MsiApplyPatchA"], \
        recording_msi.describe()
    no_log_anywhere(bench, run)


def test_bad_input_long_minwinmessage(case, bench, recording_msi):
    case.describe("MinWinMessage of 10,000 characters, MinWinVersion 99.0, full interface",
                  "the Windows version is refused with the message cut to 2,047 characters in an error box "
                  "and in the log: exit 3")
    media = media_with_tools(bench, {"Main": {"MsiPath": "demo.msi", "MinWinVersion": "99.0",
                                              "MinWinMessage": "m" * LONG}})
    run = case.run(media, ["/i"])

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [(CAPTION, "m" * INI_VALUE_LIMIT)], \
        [(box.caption, len(box.text)) for box in run.boxes]
    log = case.log(run, ui_level=5)
    assert log.entries == ["UILevel is set to 5\r\n", "m" * INI_VALUE_LIMIT + "\r\n"], log.excerpt()
    assert installed_with(recording_msi) == [], recording_msi.describe()


def test_bad_input_long_prereq_name(case, bench, recording_msi):
    name = "N" * INI_VALUE_LIMIT
    case.describe("PreReq Name of 10,000 characters",
                  "cut to 2,047; the component is listed, installed and logged under that name: exit 0")
    media = media_with_tools(bench, pb.setup_ini({"MsiPath": "demo.msi"}, [needed_component("N" * LONG)]))
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    log = case.log(run)
    assert log.has(f"Install the component '{name}'.\r\n"), log.excerpt()
    assert "  " + name + "\r\n" in log.text, log.excerpt()
    assert "component" in pb.markers(bench), run.describe()
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


def test_bad_input_long_prereq_instparams(case, bench, recording_msi):
    configured = f'"#InstPath#" 0 {pb.marker_path("component")} ' + "a" * LONG
    case.describe("PreReq InstParams of 10,000 characters",
                  "cut to 2,047; the installer gets that command line with #InstPath# replaced: exit 0")
    media = media_with_tools(bench, pb.setup_ini({"MsiPath": "demo.msi"},
                                                 [needed_component(InstParams=configured)]))
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    command = configured[:INI_VALUE_LIMIT].replace("#InstPath#", media.windows("component.exe"))
    marker = pb.markers(bench).get("component", "")
    differs = next((i for i, (a, b) in enumerate(zip(marker, command + "\r\n")) if a != b), None)
    assert marker == command + "\r\n", (f"the installer got {len(marker)} characters, expected "
                                        f"{len(command) + 2}; first difference at {differs}: "
                                        f"{marker[differs or 0:][:80]!r}\n{run.describe()}")
    log = case.log(run)
    assert log.has(f"MsiInstall({command}) return code 0\r\n"), log.excerpt()
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


def test_bad_input_long_prereq_regpath(case, bench, recording_msi):
    configured = "HKEY_LOCAL_MACHINE\\Software\\" + "k" * (LONG - 40) + "\\Value"
    cut = configured[:INI_VALUE_LIMIT]
    value_name = cut[len("HKEY_LOCAL_MACHINE\\Software\\"):]
    case.describe("PreReq RegPath of 10,000 characters",
                  "cut to 2,047 (the value name is then the 2,019 characters after Software\\); the value "
                  "is missing, both failure lines are logged, the component is installed: exit 0")
    media = media_with_tools(bench, pb.setup_ini({"MsiPath": "demo.msi"}, [needed_component(
        FilePath="", RegPath=configured, RegCond="DWORD>=1")]))
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    log = case.log(run)
    [failure] = log.starting("CRegComparer.GetRegValue(")
    assert failure.startswith(f"CRegComparer.GetRegValue(0x80000002, 'Software', '{value_name}') failed. Error(2)'"), \
        log.excerpt()
    assert log.has(f"IsValidRegCond() failed. Invalid condition 'DWORD>=1'. RegPath='{cut}'.\r\n"), log.excerpt()
    assert "component" in pb.markers(bench), run.describe()
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


# --------------------------------------------------------------------------
# A thousand prerequisites


def test_bad_input_a_thousand_prereq_sections(case, bench, recording_msi):
    count = 1000
    prereqs = [{"Name": f"Component {index}", "InstPath": f"#Root#\\missing{index}.exe",
                "FilePath": "#Root#\\missing.dll"} for index in range(count)]
    case.describe("1,000 PreReq sections, each missing, its installer missing too",
                  "probes and lists all 1,000, tries each installer (file not found, logged) and "
                  "installs the product: exit 0")
    media = media_with_tools(bench, pb.setup_ini({"MsiPath": "demo.msi"}, prereqs))
    run = case.run(media, QUIET, budget=60, timeout=300)

    assert run.exit_code == 0, run.describe()
    log = case.log(run)
    assert len(log.starting("Install the component 'Component ")) == count, log.excerpt()[-2000:]
    assert log.has(f"Install the component 'Component {count - 1}'.\r\n"), log.excerpt()[-2000:]
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()[-2000:]


# --------------------------------------------------------------------------
# The command line


def test_bad_input_command_line_of_30000_characters(case, bench, recording_msi):
    tail = ""
    while len(tail) < 30_000:
        tail += f" C{len(tail)}=" + "c" * 1100
    # The log option at the very end shows that the whole line was read.
    line = "/i /quiet A=1 B=" + "b" * 1100 + tail + " /log C:\\logs\\tail.log"
    case.describe(f"command line of {len(line):,} characters: A=1, then property tokens of 1,100 "
                  "characters, the log option last",
                  "the first token over 1,038 characters ends the properties: the installer gets A=1; "
                  "the log option at the end is still found: exit 0")
    logs, _ = bench.make_folder("logs")
    media = media_with_tools(bench, {"Main": {"MsiPath": "demo.msi"}})
    run = case.run(media, line)

    assert run.exit_code == 0, run.describe()
    assert installed_with(recording_msi) == ["A=1"], recording_msi.describe()[:2000]
    assert bench.temp_logs() == [], run.describe()
    log = Log((logs / "tail.log").read_bytes(), ui_level=2)
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


def test_bad_input_command_line_option_of_300_characters(case, bench, recording_msi):
    line = "/i /" + "o" * 300 + " /quiet A=1"
    case.describe("an option of 300 characters before /quiet",
                  "an option name over 258 characters ends the search for the display option: "
                  "the full interface (5), the properties still A=1: exit 0")
    media = media_with_tools(bench, {"Main": {"MsiPath": "demo.msi"}})
    run = case.run(media, line)

    assert run.exit_code == 0, run.describe()
    assert installed_with(recording_msi) == ["A=1"], recording_msi.describe()
    assert case.log(run, ui_level=5).entries[-1] == SETUP_COMPLETE


UNBALANCED = {
    "property": ('/i /quiet P="open value', 2, ['P="open value'],
                 "the property token runs to the end of the line, quote kept: installed with it, exit 0"),
    "display-option": ('/i "/quiet', 5, [""],
                       "a token that begins with a quote is no option: full interface, exit 0"),
    "operation": ('"/i /quiet', 5, None,
                  "a quoted first token is no operation switch: usage box, exit 3"),
}


@pytest.mark.parametrize("kind", UNBALANCED)
def test_bad_input_unbalanced_quote(case, bench, recording_msi, kind):
    line, ui_level, installed, behaviour = UNBALANCED[kind]
    case.describe(f"unbalanced quote: {line}", behaviour)
    media = media_with_tools(bench, {"Main": {"MsiPath": "demo.msi"}})
    run = case.run(media, line)

    log = case.log(run, ui_level=ui_level)
    if installed is None:
        assert run.exit_code == 3, run.describe()
        assert [box.caption for box in run.boxes] == [wb.USAGE_CAPTION], run.describe()
        assert log.entries == [f"UILevel is set to {ui_level}\r\n"], log.excerpt()
        assert installed_with(recording_msi) == [], recording_msi.describe()
    else:
        assert run.exit_code == 0, run.describe()
        assert run.boxes == [], run.describe()
        assert installed_with(recording_msi) == installed, recording_msi.describe()
        assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


LOG_PATHS = {
    "missing-folder": ("C:\\logs\\missing\\folder\\run.log", "a folder that does not exist"),
    "unbalanced-quote": ('"C:\\logs\\quoted.log', "an opening quote and no closing one"),
    "too-long": ("C:\\logs\\" + "l" * 29_000 + ".log", "29,000 characters"),
    "folder": ("C:\\logs", "an existing folder"),
}


@pytest.mark.parametrize("kind", LOG_PATHS)
def test_bad_input_log_path_that_cannot_be_opened(case, bench, recording_msi, kind):
    path, what = LOG_PATHS[kind]
    case.describe(f"/log with {what}", "no log anywhere (not in the temporary folder either); "
                  "the run goes on: exit 0")
    bench.make_folder("logs")
    media = media_with_tools(bench, {"Main": {"MsiPath": "demo.msi"}})
    run = case.run(media, f"/i /quiet /log {path}")

    assert run.exit_code == 0, run.describe()
    assert installed_with(recording_msi) == [""], recording_msi.describe()
    no_log_anywhere(bench, run)


# --------------------------------------------------------------------------
# Registry values of the wrong type or of a megabyte


REGISTRY_KEY = "HKEY_LOCAL_MACHINE\\Software\\Demo Maker\\Bad Input Tests"
MEGABYTE = 1024 * 1024
MORE_DATA = 234

# Value name -> .reg data.
REGISTRY_VALUES = {
    "TextAbc": '"abc"',                            # the bytes 61 62 63 00
    "TextAbcd": '"abcd"',                          # five bytes: more than a DWORD
    "DwordAbc": "dword:00636261",                  # the bytes 61 62 63 00: "abc"
    "DwordVersion": "dword:00322e31",              # the bytes 31 2e 32 00: "1.2"
    "BigText": '"' + "7" * MEGABYTE + '"',
    "BigBinary": "hex:" + ",".join(["37"] * MEGABYTE),
}

# id -> (condition, value name, holds, what the program does)
REGISTRY_CASES = {
    "dword-on-text": ("DWORD=6513249", "TextAbc", True,
                      "reads the 4 bytes of \"abc\" as the number 6513249: holds, nothing installed"),
    "dword-on-long-text": ("DWORD>=0", "TextAbcd", False,
                           "5 bytes do not fit 4: Error(234) logged, condition fails, component installed"),
    "dword-on-megabyte": ("DWORD>=0", "BigBinary", False,
                          "Error(234) logged, condition fails, component installed"),
    "string-on-dword": ("STRING=abc", "DwordAbc", True,
                        "reads the DWORD's bytes as the text \"abc\": holds, nothing installed"),
    "string-on-megabyte": ("STRING>=0", "BigText", False,
                           "Error(234) logged, condition fails, component installed"),
    "version-on-dword": ("VERSION=1.2", "DwordVersion", True,
                         "reads the DWORD's bytes as the text \"1.2\": holds, nothing installed"),
    "version-on-megabyte": ("VERSION>=1", "BigText", False,
                            "Error(234) logged, condition fails, component installed"),
}


def run_quietly(prefix: wb.WinePrefix, args: Sequence[str], timeout: float = 120) -> int:
    """A Wine command whose standard handles go nowhere (services it may
    start would otherwise hold the bench's pipes open)."""
    prefix.start_server()
    return subprocess.run([wb.WINE, *args], env=prefix.env(), stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout,
                          check=False).returncode


@pytest.fixture
def registry_values(bench: wb.Bench, recording_msi, tmp_path: Path) -> Iterator[None]:
    """The values of REGISTRY_VALUES under REGISTRY_KEY, 64-bit view."""
    lines = ["Windows Registry Editor Version 5.00", "", f"[{REGISTRY_KEY}]"]
    lines += [f'"{name}"={data}' for name, data in REGISTRY_VALUES.items()]
    script = tmp_path / "values.reg"
    script.write_bytes(b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le"))
    unix_script = bench.prefix.windows_path(script)
    assert run_quietly(bench.prefix, ["reg", "import", unix_script, "/reg:64"]) == 0, "reg import failed"
    try:
        yield
    finally:
        run_quietly(bench.prefix, ["reg", "delete", REGISTRY_KEY, "/f", "/reg:64"])


@pytest.mark.parametrize("kind", REGISTRY_CASES)
def test_bad_input_registry_value(case, bench, recording_msi, registry_values, kind):
    condition, value, holds, behaviour = REGISTRY_CASES[kind]
    case.describe(f"RegCond {condition} on the value {value} ({REGISTRY_VALUES[value][:16]}"
                  f"{'...' if len(REGISTRY_VALUES[value]) > 16 else ''})", behaviour)
    reg_path = f"{REGISTRY_KEY}\\{value}"
    media = media_with_tools(bench, pb.setup_ini({"MsiPath": "demo.msi"}, [needed_component(
        FilePath="", RegPath=reg_path, RegCond=condition, Key64=1)]))
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    log = case.log(run)
    key_path = REGISTRY_KEY[len("HKEY_LOCAL_MACHINE\\"):]
    failures = log.starting("CRegComparer.GetRegValue(")
    if holds:
        assert failures == [] and "component" not in pb.markers(bench), log.excerpt()
        assert not log.starting("IsValidRegCond() failed."), log.excerpt()
    else:
        assert len(failures) == 1, log.excerpt()
        assert re.fullmatch(re.escape(f"CRegComparer.GetRegValue(0x80000002, '{key_path}', '{value}') failed. "
                                      f"Error({MORE_DATA})'") + r"[^'\r\n]+'\.\r\n", failures[0]), log.excerpt()
        assert log.has(f"IsValidRegCond() failed. Invalid condition '{condition}'. RegPath='{reg_path}'.\r\n"), \
            log.excerpt()
        assert "component" in pb.markers(bench), log.excerpt()
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


# --------------------------------------------------------------------------
# Condition programs and component installers


def test_bad_input_condition_program_prints_a_megabyte(case, bench, recording_msi):
    command = '"#Root#\\condition.exe" 2 --bytes 1048576'
    case.describe("RunExeCond program that prints 1 MB and exits with 2",
                  "the program is not blocked by a full pipe; its code 2 makes the component needed "
                  "but unselected; the text is kept to the 4 KB buffer: nothing installed, exit 0")
    media = media_with_tools(bench, pb.setup_ini({"MsiPath": "demo.msi"}, [
        {"Name": "Flooding", "InstPath": "#Root#\\component.exe", "RunExeCond": command,
         "InstParams": f'"#InstPath#" 0 {pb.marker_path("component")}'}]))
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    log = case.log(run)
    expanded = command.replace("#Root#", media.windows_dir)
    assert log.has(f"Process '{expanded}' return code 2\r\n"), log.excerpt()
    [text] = log.starting(f"Process '{expanded}' return text '")
    captured = text[len(f"Process '{expanded}' return text '"):]
    assert set(captured.rstrip("'\r\n")) <= set("0123456789") and len(captured) <= ENTRY_LIMIT, text[:200]
    assert "component" not in pb.markers(bench), run.describe()
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


def test_bad_input_condition_program_crashes(case, bench, recording_msi):
    # (A value wholly in quotes loses them when the profile functions read it.)
    command = "#Root#\\crasher.exe"
    case.describe("RunExeCond program that crashes (access violation)",
                  "its exit code 0xC0000005 is logged as -1073741819 and counts as not needed: exit 0")
    media = media_with_tools(bench, pb.setup_ini({"MsiPath": "demo.msi"}, [
        {"Name": "Crashing condition", "InstPath": "#Root#\\component.exe", "RunExeCond": command,
         "InstParams": f'"#InstPath#" 0 {pb.marker_path("component")}'}]))
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    log = case.log(run)
    expanded = command.replace("#Root#", media.windows_dir)
    assert log.has(f"Process '{expanded}' return code -1073741819\r\n"), log.excerpt()
    assert log.starting(f"Process '{expanded}' return text 'crasher.exe: about to crash"), log.excerpt()
    assert not log.has("Installing prerequisites passively:\r\n"), log.excerpt()
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


def test_bad_input_component_installer_crashes(case, bench, recording_msi):
    case.describe("PreReq installer that crashes (access violation)",
                  "the failure is logged with code -1073741819 and the run goes on with the product: exit 0")
    media = media_with_tools(bench, pb.setup_ini({"MsiPath": "demo.msi"}, [needed_component(
        "Crashing installer", InstPath="#Root#\\crasher.exe", InstParams="")]))
    run = case.run(media, QUIET)

    assert run.exit_code == 0, run.describe()
    log = case.log(run)
    command = f'"{media.windows("crasher.exe")}"'
    assert log.has(f"MsiInstall({command}) return code -1073741819\r\n"), log.excerpt()
    assert log.starting(f"MsiInstall('{command}') failed. Error(-1073741819)'"), log.excerpt()
    assert log.entries[-1] == SETUP_COMPLETE, log.excerpt()


# --------------------------------------------------------------------------
# Package and transform


def test_bad_input_package_that_is_not_a_package(case, bench, bench_host):
    case.describe("MsiPath names a file of random bytes (Wine's installer library)",
                  "plain box \"Can't read installation property from file\" with the path, exit 3, no log")
    media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi"}},
                             files={"demo.msi": random.Random(2).randbytes(20_000)})
    run = case.run(media, QUIET)

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [
        (CAPTION, f"Can't read installation property from file:\n'{media.windows('demo.msi')}'.")], run.describe()
    no_log_anywhere(bench, run)


TRANSFORM_FAILURE = 1624  # ERROR_INSTALL_TRANSFORM_FAILURE


def test_bad_input_transform_that_is_a_folder(case, bench, recording_msi):
    """Windows Installer fails on a transform it cannot open; Wine's own
    installer library ignores such a transform and installs the product,
    so the installer here is the recording double, failing with 1624."""
    case.describe("a folder named 1033.mst beside setup.exe; the installer fails on it (1624)",
                  "the folder counts as the transform and is handed to the installer; its failure "
                  "is reported in the log (reason, BSInstall() failed. Error(1624)...): exit 3")
    recording_msi.script(Result={"InstallProduct": TRANSFORM_FAILURE})
    media = media_with_tools(bench, {"Main": {"MsiPath": "demo.msi"}})
    (media.unix_dir / "1033.mst").mkdir()
    run = case.run(media, QUIET)

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    transform = media.windows("1033.mst")
    assert installed_with(recording_msi) == [f' TRANSFORMS="{transform}"'], recording_msi.describe()
    log = case.log(run)
    assert log.has(f"LangId transform is {transform}\r\n"), log.excerpt()
    assert log.has("An irrecoverable internal error occured.\r\n"), log.excerpt()
    [failure] = log.starting("BSInstall() failed.")
    assert failure.startswith(f"BSInstall() failed. Error({TRANSFORM_FAILURE})'"), log.excerpt()
    assert log.entries[-1] == "Can't read email address from ini file.\r\n", log.excerpt()
