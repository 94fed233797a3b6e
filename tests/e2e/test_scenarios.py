"""What does not fit the case table: dialogs driven through X, two runs at once, the detection report, the images."""

from __future__ import annotations

import json
import random
import re
import shutil
import subprocess
import time

import pytest

import bench as wb
from cases import CAPTION, ERROR, RECORD, RU, S, TESTS_KEY, Case, comp, cond, text

OK, CANCEL, HEADER, LIST, STATUS, EXPLANATION, LINK = "1", "2", "1001", "10010", "10013", "1004", "1005"
UNTICKED, TICKED, NO_BOX = 0, 1, 2
MEDIA = "C:\\media\\dialogs"


def marked(name, code=0, **keys) -> dict:  # stays missing after its installer
    return comp(name, "", code, FilePath=f"C:\\logs\\{name.split()[0].lower()}.dll", FileVer="1.0", **keys)


MANUAL = {"Name": "Manual Component", "Url": "http://downloads.example.invalid/component",
          "InstPath": "#Root#\\absent.exe", "FilePath": "C:\\logs\\manual.dll", "FileVer": "1.0"}


def start(bench: wb.Bench, prereqs: list, args="", msi={}, **options) -> wb.Run:
    case = Case("dialogs", prereqs=prereqs)
    bench.script_doubles(msi)
    return bench.start(f"{bench.make_media(case.id, case.setup_ini(), case.files)}\\setup.exe {args}", **options)


def find(bench: wb.Bench, run: wb.Run, match, timeout: float = 5) -> dict:
    """The run's first dialog that matches, waited for; {} if none does."""
    pid = wb.wait_until(lambda: run.pid, 30)
    found = wb.wait_until(lambda: next((d for d in bench.watcher.dialogs(pid) if match(d)), None)
                          or run.process.poll() is not None, timeout)
    return found if isinstance(found, dict) else {}


def dialog(bench, run, caption, settle=lambda found: True) -> dict:
    """The run's dialog (not a message box) with this caption, settled."""
    found = find(bench, run, lambda d: d["caption"] == caption and "65535" not in d["controls"] and settle(d), 60)
    assert found, f"no dialog {caption!r}\n{run.describe()}"
    return found


def refresh(bench, run, seen, until=lambda found: True) -> dict:
    """The dialog read again once the condition holds (a few seconds); {} once it is gone."""
    return (find(bench, run, lambda d: d["hwnd"] == seen["hwnd"] and until(d))
            or find(bench, run, lambda d: d["hwnd"] == seen["hwnd"], 0))


def keys(bench, seen, *names):
    wb.xdotool(bench.display, "windowfocus", "--sync", str(seen["x_window"]))
    for name in names:
        wb.xdotool(bench.display, "key", name)
        time.sleep(0.15)


def click(bench, rect):
    # --sync waits for the pointer to move: it must not be there already.
    wb.xdotool(bench.display, "mousemove", "--sync", str(rect[0]), str(rect[1]))
    wb.xdotool(bench.display, "mousemove", "--sync", str((rect[0] + rect[2]) // 2), str((rect[1] + rect[3]) // 2))
    wb.xdotool(bench.display, "click", "1")
    time.sleep(0.15)


def texts(seen, *controls) -> list[str]:
    return [seen["controls"][control]["text"] for control in controls]


def images(seen) -> list[int]:
    return [row["image"] for row in seen["controls"][LIST]["rows"]]


def shown(run) -> list[tuple]:
    return [(box["caption"], box["text"], box["buttons"]) for box in run.boxes]


def installs(bench) -> list[str]:
    return [line for line in bench.double_log("msi") if line.startswith("MsiInstallProductA|")]


def pixels(bench, rect) -> set[bytes]:
    raw = subprocess.run(["import", "-display", bench.display, "-window", "root", "-crop",
                          f"{rect[2] - rect[0]}x{rect[3] - rect[1]}+{rect[0]}+{rect[1]}", "rgb:-"],
                         capture_output=True, check=True).stdout
    return {raw[i:i + 3] for i in range(0, len(raw), 3)}


def closing_question(names, table=S) -> str:
    return table[155] + "".join(text(157, name, table=table) for name in names) + table[158]


def layout_problems(seen) -> list:
    """Controls outside the client area, or overlapping (but the explanation, which reaches into the link)."""
    controls = [(key, control["rect"]) for key, control in seen["controls"].items() if control["visible"]]
    client = seen["client"]
    problems = [key for key, r in controls if not (r[0] >= client[0] and r[1] >= client[1]
                                                     and r[2] <= client[2] and r[3] <= client[3])]
    return problems + [(a, b) for i, (a, r) in enumerate(controls) for b, q in controls[i + 1:]
                       if {a, b} != {EXPLANATION, LINK} and r[0] < q[2] and q[0] < r[2] and r[1] < q[3] and q[1] < r[3]]


def check_download_texts(seen, explanation, table=S):
    expected = [table[149], table[148], table[131], explanation, text(151, "Manual Component", table=table)]
    assert [seen["caption"], *texts(seen, OK, CANCEL, EXPLANATION, LINK)] == expected


def test_check_boxes_by_click_and_space_then_a_failing_component(make_bench):
    bench = make_bench()
    run = start(bench, [marked("Ticked Component", Optional=1), marked("Fixed Component", code=1603),
                        marked("Unticked Component", Optional=0)], answers={ERROR: None, CAPTION: "n"})
    seen = dialog(bench, run, CAPTION)
    assert [*texts(seen, HEADER, OK, CANCEL), seen["focus"]] == [text(129, "Demo Product"), S[130], S[131], 1]
    rows = seen["controls"][LIST]["rows"]
    assert [(row["text"], row["image"]) for row in rows] == [
        ("Ticked Component", TICKED), ("Fixed Component", NO_BOX), ("Unticked Component", UNTICKED)]
    # What the person sees: a ticked box, no picture, an empty box.
    ticked, fixed, unticked = (pixels(bench, row["icon"]) for row in rows)
    assert len(fixed) == 1 and len(ticked) > 1 and len(unticked) > 1 and ticked != unticked

    click(bench, rows[0]["icon"])   # unticks
    click(bench, rows[1]["label"])  # no box: nothing to toggle
    seen = refresh(bench, run, seen, lambda d: images(d) == [UNTICKED, NO_BOX, UNTICKED])
    assert images(seen) == [UNTICKED, NO_BOX, UNTICKED] and seen["controls"][LIST]["selection"] == -1
    for _ in range(4):
        if seen["focus"] != int(LIST):
            keys(bench, seen, "Tab")
            seen = refresh(bench, run, seen)
    keys(bench, seen, "Home", "Down", "Down", "space")  # ticks the third row
    seen = refresh(bench, run, seen, lambda d: images(d) == [UNTICKED, NO_BOX, TICKED])
    assert images(seen) == [UNTICKED, NO_BOX, TICKED] and seen["controls"][LIST]["selection"] == 2
    click(bench, seen["controls"][OK]["rect"])
    box = wb.wait_until(lambda: run.boxes, 30)[0]
    # While the failing component's error box is open the dialog says what it installs.
    assert texts(dialog(bench, run, CAPTION), STATUS) == [text(136, "Fixed Component")]
    bench.watcher.press(box, "Return")
    run.wait()

    assert run.exit_code == 3, run.describe()
    assert sorted(bench.markers()) == ["fixed", "unticked"]
    assert shown(run) == [(ERROR, text(134, f'"{MEDIA}\\tool.exe" exit 1603 C:\\logs\\fixed.marker'), [1]),
                          (CAPTION, closing_question(["Fixed Component", "Unticked Component"]), [6, 7])]


@pytest.mark.parametrize("installed, exit_code", [(None, 3), ("0.9", 0)])
def test_cancel_runs_no_step(make_bench, installed, exit_code):
    """Cancelled before a fresh install the run fails; before an upgrade it ends as a declined one."""
    bench = make_bench()
    run = start(bench, [{**comp("Old Product"), "IsUninstall": 1}, marked("Some Component")],
                f"/i {RECORD}", answers={CAPTION: "y"},
                msi={"State": {"ProductState": 5, "InstalledVersion": installed}} if installed else {})
    seen = dialog(bench, run, CAPTION, lambda found: LIST in found["controls"])
    # With an uninstall step the dialog speaks of steps.
    assert texts(seen, HEADER, OK) == [text(1006, "Demo Product"), S[1009]]
    assert [row["text"] for row in seen["controls"][LIST]["rows"]] == [S[1008] + "Old Product", S[1007] + "Some Component"]
    click(bench, seen["controls"][CANCEL]["rect"])
    run.wait()

    upgrade = [(CAPTION, S[144], [6, 7])] if installed else []
    assert (run.exit_code, shown(run), bench.markers()) == (exit_code, upgrade, {}), run.describe()
    written = json.loads(bench.prefix.unix("C:\\logs\\record.json").read_bytes())
    assert {key: written[key] for key in ("exitCode", "stage", "declined", "installerResult")} == \
        {"exitCode": exit_code, "stage": "prerequisites", "declined": "prerequisites", "installerResult": None}


def test_download_dialog_in_the_users_language_rechecks_until_the_component_is_in_place(make_bench):
    caption = text(132, "Demo Product", "1.0.0", table=RU)
    bench = make_bench()
    run = start(bench, [{**MANUAL, "ChooseDownload": "Ask the administrator."},
                        marked("Later Component")], locale="ru_RU.UTF-8")
    main = dialog(bench, run, caption)
    assert wb.xdotool(bench.display, "getwindowname", str(main["x_window"])).rstrip("\n") == caption
    assert texts(main, HEADER, OK, CANCEL) == [text(129, "Demo Product", table=RU), RU[130], RU[131]]
    assert layout_problems(main) == []
    keys(bench, main, "Return")
    seen = dialog(bench, run, RU[149])
    assert (seen["owner"], seen["focus"], layout_problems(seen)) == (main["hwnd"], 1, [])
    assert not refresh(bench, run, main)["enabled"], "the prerequisites dialog takes input under the download dialog"
    check_download_texts(seen, text(164, *["Manual Component"] * 2, "Ask the administrator.", table=RU), RU)

    # Recheck while the component is missing: probed once more, still open.
    probe = "Can't get version of file 'C:\\logs\\manual.dll'".encode("utf-16-le")
    probes = bench.logs()[0].read_bytes().count(probe)
    keys(bench, seen, "Return")
    assert wb.wait_until(lambda: bench.logs()[0].read_bytes().count(probe) == probes + 1, 15)
    time.sleep(1)
    assert refresh(bench, run, seen) and "later" not in bench.markers()
    # Put in place by hand, then Recheck goes on with the next component.
    shutil.copyfile(bench.tools / "tool.exe", bench.prefix.unix("C:\\logs\\manual.dll"))
    click(bench, seen["controls"][OK]["rect"])
    run.wait()

    # The closing question names the component still missing; its default button (yes) goes on.
    assert [(box["caption"], box["text"]) for box in run.boxes] == [(caption, closing_question(["Later Component"], RU))]
    assert (run.exit_code, list(bench.markers())) == (0, ["later"]), run.describe()
    assert "Install the component 'Manual Component'".encode("utf-16-le") not in bench.logs()[0].read_bytes()
    assert installs(bench) == [f"MsiInstallProductA|{MEDIA}\\demo.msi|"]


def test_download_dialog_of_an_unattended_run_has_no_owner_and_opens_web_links_only(make_bench):
    bench = make_bench()
    run = start(bench, [{**MANUAL, "Url": "C:\\logs\\opened.exe"},
                        marked("Later Component")], "/i /passive")
    shutil.copyfile(bench.tools / "tool.exe", bench.prefix.unix("C:\\logs") / "opened.exe")
    seen = dialog(bench, run, S[149])
    assert seen["owner"] == 0 and [d["caption"] for d in bench.watcher.dialogs(run.pid)] == [S[149]]
    check_download_texts(seen, text(150, *["Manual Component"] * 2))
    link = seen["controls"][LINK]["rect"]
    click(bench, [link[0] + 4, link[1], link[0] + 8, link[3]])
    time.sleep(2)
    keys(bench, seen, "Escape")
    run.wait()

    assert (run.exit_code, run.boxes, bench.markers()) == (0, [], {}), run.describe()
    assert not bench.prefix.unix("C:\\logs\\opened.exe.started").exists(), "the link started the program"
    wb.in_order(["Installing prerequisites passively:\r\n  Manual Component\r\n  Later Component\r\n",
                 "Download link 'C:\\logs\\opened.exe' is not an http or https address; it is not opened.\r\n",
                 "!Install the component"], wb.setup_entries(bench.logs()[0].read_bytes(), strict=True)[0], "setup log")
    assert len(installs(bench)) == 1


def test_one_run_per_package_at_a_time(make_bench):
    """The single-instance guard is named after MsiPath (a backslash included): a second run for the
    package ends at once with 3; a run for another package goes on."""
    bench = make_bench()
    bench.script_doubles({})
    media = {name: bench.make_media(name, {"Main": {"MsiPath": path, "MsiType": "Minor"}}, {path: b"package"})
             for name, path in (("first", "packages\\demo.msi"), ("second", "packages\\demo.msi"), ("other", "other.msi"))}
    refused = text(141, "Minor") + "\r\n"

    def quiet(name: str) -> list[str]:
        run = bench.run(f"{media[name]}\\setup.exe /i /quiet /log C:\\logs\\{name}.log")
        assert (run.exit_code, run.boxes) == (3, []), run.describe()
        log = bench.prefix.unix(f"C:\\logs\\{name}.log")
        entries = wb.setup_entries(log.read_bytes(), strict=True)[0]
        log.unlink()
        return entries

    first = bench.start(f"{media['first']}\\setup.exe /i", answers=None)  # stays at the refusal's box
    box = wb.wait_until(lambda: first.boxes, 60)
    assert box and box[0]["text"] == refused[:-2], first.describe()
    assert quiet("second") == ["UILevel is set to 2\r\n"]
    assert quiet("other")[-1] == refused
    bench.watcher.press(box[0], "Return")
    assert first.wait() == 3
    assert quiet("second")[-1] == refused


def detect(prefix: wb.Prefix, media: str, *args: str) -> tuple[dict, bytes]:
    """setupcheck.exe's JSON report and its output (Wine may print before it)."""
    output = prefix.wine([f"{media}\\setupcheck.exe", *args, media, "--json"]).stdout
    text = output.decode("utf-8", "replace")
    return json.loads(text[text.index("{"):text.rindex("}") + 1]), output


DETECT_KEY = TESTS_KEY + "\\Detect"


def reg(value: str, condition: str, **keys) -> dict:
    return {"RegPath": f"{DETECT_KEY}\\{value}", "RegCond": condition, **keys}


def file(path: str, version: str) -> dict:
    return {"FilePath": "#Root#\\" + path, "FileVer": version}


# Name -> (keys, verdict; None where Wine alone decides). No FileTryLoad: setupcheck.exe is x86 and loads
# libraries of its own bitness only.
DETECTED = {f"Rule {i}": (keys, verdict) for i, (verdict, keys) in enumerate([
    ("present", reg("Level", "DWORD>=5")), ("missing", reg("Level", "DWORD>=8")), ("present", reg("Name", "STRING=2.5.0")),
    ("present", reg("Wide", "DWORD>=5", Key64=1)), ("missing", reg("Wide", "DWORD>=5")), (None, reg("Level", "DWORD >= 1")),
    ("present", file("lib\\tool.dll", "1.2.3.4")), ("missing", file("lib\\tool.dll", "1.2.3.5")),
    ("present", file("LIB\\TOOL.DLL", "01.02")), ("missing", file("lib\\absent.dll", "1.0")),
    *[(verdict, {"InstPath": "#Root#\\" + path, "MsiProd": 1}) for verdict, path in (
        ("present", "demo.msi"), ("present", "copy\\DEMO.MSI"), ("missing", "prereq.msi"), ("missing", "random.msi"))],
    *[(verdict, {"RunExeCond": command}) for verdict, command in (
        ("missing", cond(0, "hex", "6e656564")), ("present", cond(1, "hex", "6e656564")), ("missing", cond(0, "read", "asked")),
        ("missing", cond(2, "child", "left")), ("present", '"#Root#\\absent.exe"'))]])}


def test_detection_report_agrees_with_setup(make_bench, artefacts):
    """setupcheck.exe --detect judges each rule as setup.exe then does (verdict, listed, installed), the
    product states through Wine's installer with the demo product installed."""
    bench = make_bench(doubles=False, private=True)
    prefix = bench.prefix
    prefix.reg_import(f'[{DETECT_KEY}]\n"Level"=dword:00000007\n"Name"="2.5.0"', "32")
    prefix.reg_import(f'[{DETECT_KEY}]\n"Wide"=dword:00000007', "64")
    prereqs = {f"PreReq{i}": {"Name": name, "InstPath": "#Root#\\tool.exe", **keys,
                              "InstParams": f'"#Root#\\tool.exe" exit 0 C:\\logs\\{i}.marker'}
               for i, (name, (keys, _)) in enumerate(DETECTED.items())}
    # Prerequisites come only before a fresh install; the digest stops the run before the installer rewrites the log.
    media = bench.make_media("detect", {"Main": {"MsiPath": "prereq.msi", "Sha256": "0" * 64}, **prereqs}, {
        "demo.msi": artefacts["demo"], "prereq.msi": artefacts["prereq"],
        "copy\\demo.msi": artefacts["demo"], "lib\\tool.dll": artefacts["tool"],
        "random.msi": random.Random(3).randbytes(5000), "setupcheck.exe": artefacts["setupcheck"]})
    installed = prefix.wine(["msiexec", "/i", f"{media}\\demo.msi", "/qn"])
    assert installed.returncode == 0, installed.stdout[-2000:]

    detected, output = detect(prefix, media, "--detect")
    assert detected["prerequisites"] == "run: a fresh install", output
    rules = {rule["name"]: rule for rule in detected["rules"]}
    assert [(name, rules[name]["verdict"]) for name, (_, verdict) in DETECTED.items() if verdict] == \
        [(name, verdict) for name, (_, verdict) in DETECTED.items() if verdict], output

    # The media check itself reads the media alike on Windows (msi.dll) and on Linux (libmsi).
    def checked(found: dict) -> tuple:
        package = {key: value for key, value in found["package"].items() if key != "path"}
        return package, [(f["section"], f["key"], f["severity"]) for f in found["findings"]]
    windows = checked(detect(prefix, media)[0])
    assert windows == checked(wb.check_media(prefix.unix(media))) and windows[0]["opened"] and windows[1], windows

    run = bench.run(f"{media}\\setup.exe /i /passive", timeout=300)
    assert run.exit_code == 3, run.describe()
    entries = wb.setup_entries(bench.logs()[-1].read_bytes(), strict=False)[0]
    listed = next(entry for entry in entries if entry.startswith("Installing prerequisites passively:"))
    listed = {line.strip() for line in listed.split("\r\n")[1:] if line.strip()}
    markers = {int(path.stem) for path in prefix.unix("C:\\logs").glob("*.marker")}
    assert {name: (rule["offered"], rule["installs"]) for name, rule in rules.items()} == \
        {name: (name in listed, i in markers) for i, name in enumerate(DETECTED)}
    assert {rule["verdict"] == "missing" for rule in rules.values() if rule["offered"]} == {True}


@pytest.mark.parametrize("main, stop", [
    ({"MsiType": "Bogus"}, "stops at package: MsiType 'Bogus' does not fit the package (exit code 3)"),
    ({"MinWinVersion": "99.0"}, "stops at host checks: MinWinVersion not met (exit code 3)")])
def test_detection_report_tells_where_the_run_stops(make_bench, artefacts, main, stop):
    bench = make_bench(doubles=False)
    media = bench.make_media("refused", {"Main": {"MsiPath": "demo.msi", **main}},
                             {"demo.msi": artefacts["demo"], "setupcheck.exe": artefacts["setupcheck"]})
    detected, output = detect(bench.prefix, media, "--detect")
    assert (detected["plan"]["stop"], detected["prerequisites"].startswith("not run: ")) == (stop, True), output
    assert bench.run(f"{media}\\setup.exe /i /quiet").exit_code == 3


@pytest.mark.x86
def test_a_64_bit_package_is_refused_on_32_bit_windows(display, tools, program, artefacts, tmp_path):
    """The box before the log exists (read in Wine's trace: in a new prefix it can come before the
    run's process id), and the record of a run that must not wait."""
    bench = wb.Bench(wb.make_base_prefix(tmp_path / "win32", display, win32=True), program, tools).reset()
    try:
        media = bench.make_media("x64-package", {"Main": {"MsiPath": "demo.msi"}}, {"demo.msi": artefacts["demo"]})
        runs = [bench.run(f"{media}\\setup.exe /i /quiet {args}", env={"WINEDEBUG": "trace+msgbox"})
                for args in ("", "/record C:\\record.json")]
        record = json.loads(bench.prefix.unix("C:\\record.json").read_bytes())
    finally:
        bench.kill_everything()
    boxes = [re.findall(r'MSGBOX_OnInit L"([^"]*)"', run.output(1)) for run in runs]
    assert (runs[0].exit_code, boxes[0]) == (3, [S[153]]), runs[0].describe()
    assert (runs[1].exit_code, boxes[1], record["stage"], record["installerResult"]) == (3, [], "host checks", None)


if wb.pe_architecture(wb.setup_exe()) != "x86":  # 32-bit Windows runs no x64 program: no such test (a skip fails CI)
    del test_a_64_bit_package_is_refused_on_32_bit_windows


@pytest.mark.parametrize("image", ["dist/x64/setup.exe", "dist/setup.exe"])
def test_image_imports_known_libraries_only_and_is_hardened(image):
    """Other imports would be searched for beside the program before it runs (version.dll is loaded at run time)."""
    objdump = ("x86_64" if "x64" in image else "i686") + "-w64-mingw32-objdump"
    headers = subprocess.run([objdump, "-p", "-h", str(wb.REPO / image)], capture_output=True, text=True, check=True).stdout
    imported = {name.lower() for name in re.findall(r"^\s*DLL Name:\s*(\S+)", headers, re.M)}
    assert imported and imported <= {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                                     "ole32.dll", "comctl32.dll", "msvcrt.dll"}, sorted(imported)
    flags = int(re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", headers, re.M)[1], 16)
    required = 0x0140 | (0x0020 if "x64" in image else 0)  # dynamic base, NX (high-entropy VA on x64)
    assert flags & required == required, hex(flags)
    assert int(re.search(r"^\s*\d+\s+\.reloc\s+([0-9a-f]+)", headers, re.M)[1], 16) > 0, "no relocations"
    assert re.search(r"^Subsystem\s+0*2\s+\(Windows GUI\)", headers, re.M)
    assert wb.pe_architecture(wb.REPO / image) == ("x64" if "x64" in image else "x86")
