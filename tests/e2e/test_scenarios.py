"""What does not fit the case table: two runs at once, the detection report, 32-bit Windows, the images, the
bad-input table of docs/robustness.md."""

import json
import re
import subprocess

import pytest

import bench as wb
from cases import BAD_INPUT, S, TESTS_KEY, cond, text

def test_one_run_per_package_at_a_time(make_bench):
    """The guard, a mutex, is named after MsiPath (a backslash included): a second run ends with 3, saying why, until
    the first has ended."""
    bench = make_bench()
    bench.script_doubles({})
    media = {name: bench.make_media(name, {"Main": {"MsiPath": "packages\\demo.msi", "MsiType": "Minor"}},
                                    {"packages\\demo.msi": b"package"}) for name in ("first", "second")}
    refused = text(141, "Minor")
    def second():  # its last entry
        run = bench.run(f"{media['second']}\\setup.exe /i /quiet /log C:\\logs\\second.log")
        assert (run.exit_code, run.boxes) == (3, []), run.describe()
        entries = wb.setup_entries((log := bench.prefix.unix("C:\\logs\\second.log")).read_bytes(), strict=True)[0]
        log.unlink()
        return entries[-1]
    first = bench.start(f"{media['first']}\\setup.exe /i", answers=None)  # stays at the refusal's box
    box = wb.wait_until(lambda: first.boxes, 60)
    assert box and box[0]["text"] == refused, first.describe()
    assert second() == "Another setup run for 'packages\\demo.msi' is active: this run ends.\r\n"
    bench.watcher.press(box[0], "Return")
    assert first.wait() == 3 and second() == refused + "\r\n"

CHECKER = "C:\\checker\\setupcheck.exe"  # apart from the media: the run's folder is theirs

def detect(prefix, media, *args, line=""):
    """The JSON report (for the run's command `line`) and the output (Wine may print before it)."""
    output = prefix.wine([CHECKER, *args, media, "--json", *(["--", *line.split()] if line else [])]).stdout
    report = output.decode("utf-8", "replace")
    return json.loads(report[report.index("{"):report.rindex("}") + 1]), output

WIDE = {"RegPath": TESTS_KEY + "\\Detect\\Wide", "RegCond": "DWORD>=5"}
# Name -> (keys, verdict): a rule of each kind that Windows answers (the 64-bit registry view, a file's version, the
# installed state, condition programs, one named without a folder: started from the media's folder as setup.exe
# does); the rules' logic is the unit tests'.
DETECTED = {f"Rule {i}": (keys, verdict) for i, (verdict, keys) in enumerate([
    ("present", {**WIDE, "Key64": 1}), ("missing", WIDE),
    ("present", {"FilePath": "#Root#\\LIB\\TOOL.DLL", "FileVer": "01.02"}),
    ("present", {"InstPath": "#Root#\\demo.msi", "MsiProd": 1}), ("missing", {"InstPath": "#Root#\\prereq.msi", "MsiProd": 1}),
    ("present", {"RunExeCond": cond(1, "hex", "6e656564")}), ("missing", {"RunExeCond": "tool.exe print 0 hex 6e656564"})])}

def test_detection_report_reads_the_machine_as_setup_does(make_bench, artefacts):
    """setupcheck.exe --detect, apart from the media, judges each rule on the machine; the media check reads the
    package alike on Windows (msi.dll) and Linux (libmsi)."""
    prefix = (bench := make_bench(doubles=False, private=True)).prefix
    prefix.reg_import(f'[{TESTS_KEY}\\Detect]\n"Wide"=dword:00000007', "64")
    prereqs = {f"PreReq{i}": {"Name": name, "InstPath": "#Root#\\tool.exe", **keys}
               for i, (name, (keys, _)) in enumerate(DETECTED.items())}
    media = bench.make_media("detect", {"Main": {"MsiPath": "prereq.msi"}, **prereqs}, {
        "demo.msi": artefacts["demo"], "prereq.msi": artefacts["prereq"], "lib\\tool.dll": artefacts["tool"],
        CHECKER: artefacts["setupcheck"]})
    installed = prefix.wine(["msiexec", "/i", f"{media}\\demo.msi", "/qn"])
    assert installed.returncode == 0, installed.stdout[-2000:]
    line = "/i /quiet /record C:\\logs\\r.json"  # the run's command line through Windows' argument rules
    detected, output = detect(prefix, media, "--detect", line=line)
    assert (detected["prerequisites"], detected["commandLine"], detected["neverWait"]) == \
        ("run: a fresh install", line, True), output
    assert {rule["name"]: rule["verdict"] for rule in detected["rules"]} == \
        {name: verdict for name, (_, verdict) in DETECTED.items()}, output
    def checked(found):
        package = {key: value for key, value in found["package"].items() if key != "path"}
        return package, [(f["section"], f["key"], f["severity"]) for f in found["findings"]]
    windows = checked(detect(prefix, media)[0])
    assert windows == checked(wb.check_media(prefix.unix(media))) and windows[0]["opened"] and windows[1], windows

@pytest.mark.x86
def test_a_64_bit_package_is_refused_on_32_bit_windows(display, tools, program, artefacts, tmp_path):
    """The box before the log exists, read in Wine's trace: in a new prefix it can come before the run's process id."""
    bench = wb.Bench(wb.make_base_prefix(tmp_path / "win32", display, win32=True), program, tools).reset()
    try:
        media = bench.make_media("x64-package", {"Main": {"MsiPath": "demo.msi"}}, {"demo.msi": artefacts["demo"]})
        run = bench.run(f"{media}\\setup.exe /i /quiet", env={"WINEDEBUG": "trace+msgbox"})
    finally:
        bench.kill_everything()
    assert (run.exit_code, re.findall(r'MSGBOX_OnInit L"([^"]*)"', run.output(1))) == (3, [S[153]]), run.describe()

if wb.pe_architecture(wb.setup_exe()) != "x86":  # 32-bit Windows runs no x64 program (and a skip fails CI)
    del test_a_64_bit_package_is_refused_on_32_bit_windows

@pytest.mark.parametrize("image", ["dist/x64/setup.exe", "dist/setup.exe"])
def test_image_imports_known_libraries_only_and_is_hardened(image):
    """Other imports would be searched for beside the program before it runs (version.dll loads at run time)."""
    x64 = "x64" in image
    objdump = ("x86_64" if x64 else "i686") + "-w64-mingw32-objdump"
    headers = subprocess.run([objdump, "-p", "-h", str(wb.REPO / image)], capture_output=True, text=True, check=True).stdout
    imported = {name.lower() for name in re.findall(r"^\s*DLL Name:\s*(\S+)", headers, re.M)}
    assert imported and imported <= {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                                     "ole32.dll", "comctl32.dll", "msvcrt.dll"}, sorted(imported)
    flags = int(re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", headers, re.M)[1], 16)
    required = 0x0140 | (0x0020 if x64 else 0)  # dynamic base, NX (high-entropy VA on x64)
    assert flags & required == required, hex(flags)
    assert int(re.search(r"^\s*\d+\s+\.reloc\s+([0-9a-f]+)", headers, re.M)[1], 16) > 0, "no relocations"
    assert re.search(r"^Subsystem\s+0*2\s+\(Windows GUI\)", headers, re.M)
    assert wb.pe_architecture(wb.REPO / image) == ("x64" if x64 else "x86")

def test_robustness_table_has_a_row_for_each_bad_input_case():
    text = (wb.REPO / "docs" / "robustness.md").read_text(encoding="utf-8")
    table = text[:text.index("What the table shows")]
    assert re.findall(r"^\| `([^`]+)` \|", table, re.M) == [case.id.removeprefix("bad-input-") for case in BAD_INPUT]
