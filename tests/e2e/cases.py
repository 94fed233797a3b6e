"""The end-to-end cases, run by test_cases.py (README.md, "A case": the fields and placeholders)."""

import copy
import functools
import hashlib
import random
import shutil
import time
import types
from pathlib import Path

import bench as wb

S, RU = wb.strings("neutral"), wb.strings("russian")
RUSSIAN = {"LC_ALL": "ru_RU.UTF-8"}  # the user's language and code page
ERROR, INTERNAL = S[135], S[142]
CAPTION, ADDRESS = "Demo Product (1.0.0) Setup", "support@example.invalid"

# A case's fields and their defaults (README.md).
FIELDS = dict(args="/i /quiet", main={}, prereqs=[], postreqs=[], ini="sections", files={}, folder=None, temp=None,
              line=None, msi={}, reg32="", reg64="", env={}, cwd=None, answer="Return", x86=False, private=False,
              timeout=120, exit=0, boxes=[], log=[], last="", cut=0, logfile=None, logname="Demo Product", calls=[],
              mails=[], ran={}, exists={}, registry={}, record=None, findings=None, during=None)

class Case(types.SimpleNamespace):
    def __init__(self, id, **fields):
        assert fields.keys() <= FIELDS.keys(), fields.keys() - FIELDS.keys()
        super().__init__(**{**copy.deepcopy(FIELDS), **fields}, id=id)
        self.last = (None if self.exit else "Setup complete") if self.last == "" else self.last
        if "MsiPath" not in self.main:
            self.files.setdefault("demo.msi", "@demo" if self.msi == "wine" else b"package")

    def setup_ini(self):
        return self.ini if self.ini != "sections" else {
            "Main": {"MsiPath": "demo.msi", **self.main}, **{f"PreReq{i}": keys for i, keys in enumerate(self.prereqs)},
            **{f"PostReq{i}": keys for i, keys in enumerate(self.postreqs)}}

def text(identifier, *args, table=S):
    return functools.reduce(lambda result, arg: result.replace("%s", arg, 1), args, table[identifier])

def comp(name, marker="", code=0, **keys):  # marker: the name's first word
    marker = marker or name.split()[0].lower()
    return {"Name": name, "InstPath": "#Root#\\tool.exe", "InstParams": f'"#InstPath#" exit {code} C:\\logs\\{marker}.marker',
            **keys}

def ran(marker, code=0):
    return f'"<media>\\tool.exe" exit {code} C:\\logs\\{marker}.marker'

def done(*markers, code=0):
    return {marker: [ran(marker, code)] for marker in markers}

def cond(code, mode, value):
    return f'"#Root#\\tool.exe" print {code} {mode} {value}'

def seen(command):
    return command.replace("#Root#", "<media>")

def record(**fields):
    return {"exitCode": 0, "stage": "done", "failingComponent": None, "stoppedAt": None, "declined": None,
            "installerResult": 0, "restart": "none", "optionalComponents": [], "transform": "", "logPath": "<log>",
            **fields}

def version(installed):
    return {"HKLM\\Software\\Demo Maker\\Demo Product\\Version": installed}

TESTS_KEY, BLANK_MEDIA = "HKEY_LOCAL_MACHINE\\Software\\Demo Maker\\Tests", "C:\\media\\Setup Files"
MISSING = {"RegPath": TESTS_KEY + "\\Never Written\\Value", "RegCond": "DWORD>=1"}
RUNTIME = comp("Runtime", **MISSING)
MAIL = {"main": {"SendErrorLogTo": ADDRESS}, "exit": 3}
MAIL_QUESTION = ("Demo Product (1.0.0)", text(159, "<log>", ADDRESS), "yesno")
SENT = f"Send email to 'SMTP:{ADDRESS}' attachment file '<log>'"
CRASH, FAILING = {"Crash": 1}, {"InstallProduct": 1603}
HARDWARE = "Hardware exception occur. Exception code 0xC0000005."
RECORD = "/record C:\\logs\\record.json"
INSTALL = "MsiInstallProductW|<media>\\demo.msi|"  # then the command line
VIEW32, VIEW64 = ({"RegPath": f"{TESTS_KEY}\\Views{bits}\\Level", "RegCond": "DWORD>=5"} for bits in (32, 64))
PAYLOAD = {"C:\\Program Files\\Demo Product\\payload.txt": True}
PROGRAMS = [("Reading", ("read", "asked"), "asked"), ("Lingering", ("child", "left"), "left"),
            ("Printing", ("hex", "d09fd180d0b8d0b2d0b5d182"), "Привет"), ("Printing OEM", ("hex", "8fe0a8a2a5e2"), "Привет")]
# A library of each bitness with a version resource (the toolchains').
LIBRARIES = {f"lib{bits}.dll": lambda a, arch=arch: Path(f"/usr/{arch}-w64-mingw32/lib/libwinpthread-1.dll").read_bytes()
             for bits, arch in (("32", "i686"), ("64", "x86_64"))}

def real_prerequisite(id, run_as, **more):
    return Case(id, msi="wine", timeout=240, cwd="C:\\logs", files={
        "prereq.msi": "@prereq", "msiexec.exe": "@tool", "C:\\logs\\msiexec.exe": "@tool"},
        prereqs=[{"Name": "Demo Prerequisite", "InstPath": "#Root#\\prereq.msi", "MsiProd": 1, "RunAs": run_as,
                  "InstParams": 'msiexec /i "#InstPath#" /qn /l*v "#Temp#prereq.log"'}],
        registry={"HKLM\\Software\\Demo Maker\\Demo Prerequisite\\Installed": "2.5.0", **version("1.0.0")},
        exists={"<temp>prereq.log": True, "<media>\\msiexec.exe.started": False, "C:\\logs\\msiexec.exe.started": False},
        **more)

CASES = [
    # ---- What a user sees before the log exists
    Case("missing-ini", x86=True, ini=None, exit=3, boxes=[(ERROR, text(161, "<media>\\setup.ini"))], log=None),
    # ---- Libraries and programs from the system folder only (each with a control that the plant works)
    Case("control-a-careless-load-picks-a-planted-msi-dll", msi="wine", line='"<media>\\tool.exe" load msi.dll',
         files={"msi.dll": "@msi"}, env={"WINEDLLOVERRIDES": "msi=n,b"}, log=None,
         exists={"<media>\\recording_msi.log": True}),
    Case("planted-msi-dll-not-loaded-native-first", x86=True, msi="wine", files={"msi.dll": "@msi"},
         env={"WINEDLLOVERRIDES": "msi=n,b"}, main={"MsiType": "Minor"}, exit=3, log=[text(141, "Minor")],
         exists={"<media>\\recording_msi.log": False}),
    Case("control-a-careless-start-picks-a-planted-msiexec", line='"<media>\\tool.exe" start "msiexec /?"',
         files={"msiexec.exe": "@tool"}, log=None, exists={"<media>\\msiexec.exe.started": True}),
    # A real prerequisite through the system's msiexec (started, or through the shell with RunAs), never one planted
    # in the media or the current folder; then the upgrade in the same prefix.
    [real_prerequisite("real-prerequisite-through-the-systems-msiexec", 0),
     Case("real-upgrade", msi="wine", timeout=240, files={"demo.msi": "@demo2"}, main={"UpdateDisable": 2},
          exists=PAYLOAD, registry=version("2.0.0"))],
    real_prerequisite("real-prerequisite-through-the-systems-msiexec-runas", 1, private=True),
    # Media under a folder with a blank: a search for "C:\media\Setup Files\tool.exe ..." takes C:\media\Setup.exe
    # first. The checked component's own file starts, its command unquoted; a temporary folder beyond the code page
    # keeps the setup log and the installer's.
    Case("control-a-careless-start-picks-a-program-at-a-blank", folder=BLANK_MEDIA, files={"C:\\media\\Setup.exe": "@tool"},
         line=f'"<media>\\tool.exe" start "{BLANK_MEDIA}\\tool.exe exit 0"', log=None,
         exists={"C:\\media\\Setup.exe.started": True}),
    Case("checked-component-started-under-a-blank-not-a-planted-program", x86=True, args="/i /passive",
         folder=BLANK_MEDIA, temp="C:\\temp\\Временные файлы", files={"tool.exe": "@tool", "C:\\media\\Setup.exe": "@tool"},
         prereqs=[{**RUNTIME, "Sha256": "<sha256:tool.exe>", "InstParams": "#InstPath# exit 0 C:\\logs\\runtime.marker"}],
         ran=done("runtime"), exists={"C:\\media\\Setup.exe.started": False},
         calls=["MsiEnableLogW|8159|<log>|1", INSTALL]),
    # ---- Registry views, system folders, libraries, condition programs' pipes and the environment
    # Both programs: a 32-bit library loads, a 64-bit one does not (the x64 program reads the image); reg, 32-bit,
    # reads the 32-bit view.
    Case("registry-view-and-system-folder-of-32-bit-programs", x86=True, args="/i /passive",
         reg32=f'[{TESTS_KEY}\\Views32]\n"Level"=dword:00000007', reg64=f'[{TESTS_KEY}\\Views64]\n"Level"=dword:00000007',
         files={"C:\\windows\\syswow64\\setup-probe.dll": "@tool", **LIBRARIES},
         prereqs=[comp("View32", "a", **VIEW32), comp("View32 Key64", "b", **VIEW32, Key64=1),
                  comp("View64", "c", **VIEW64), comp("View64 Key64", "d", **VIEW64, Key64=1),
                  comp("System", "e", FilePath="#System#\\setup-probe.dll", FileVer="1.0"),
                  comp("System Absent", "f", FilePath="#System#\\absent-probe.dll", FileVer="1.0"),
                  comp("Library32", "g", FilePath="#Root#\\lib32.dll", FileTryLoad=1),
                  comp("Library64", "h", FilePath="#Root#\\lib64.dll", FileTryLoad=1),
                  comp("Reg", "i", RunExeCond=f'reg query "{TESTS_KEY}\\Views32" /v Level')],
         log=["IsValidFileVersion() failed. Can't get version of file '<system>\\absent-probe.dll'. <*>",
              "IsValidFileVersion() failed. Can't load file '<media>\\lib64.dll'. Error(193)<*>"],
         ran=done("b", "c", "f", "h", "i")),
    # Output in UTF-8, or else in the console's OEM code page (866 for Russian), is read so.
    Case("condition-programs-that-read-input-leave-a-process-or-print-letters", args="/i /passive", env=RUSSIAN,
         prereqs=[*(comp(name, RunExeCond=cond(2, *program)) for name, program, _ in PROGRAMS), RUNTIME],
         log=[f"Process '{seen(cond(2, *program))}' return text '{said}'" for _, program, said in PROGRAMS],
         ran=done("runtime")),
    # Without oci.dll on the Path the client is offered (a unit test holds that).
    Case("oracle-client-found-at-the-end-of-a-long-path", args="/i /passive",
         files={"C:\\logs\\Oracle Client\\oci.dll": "@tool"},
         env={"WINEPATH": ";".join(f"C:\\Program Files\\Vendor {i}\\bin" for i in range(200)) + ";C:\\logs\\Oracle Client"},
         prereqs=[comp("Oracle Instant Client", **MISSING), RUNTIME], ran=done("runtime")),
    # The record named relative to the current folder.
    Case("restart-declined-ends-with-3010", x86=True, args="/i /record record.json", cwd="C:\\logs", answer="n", exit=3010,
         postreqs=[comp("Restarting", code=3010)], boxes=[(CAPTION, S[145], "yesno")],
         ran=done("restarting", code=3010), record=record(exitCode=3010, restart="needed")),
    # ---- The installer's full exit codes (a Unix status keeps 8 bits); the x86 exception chain in the guarded
    # installer calls and after them (the mail call)
    Case("cancelled-in-the-installer-1602", x86=True, args="/i", msi={"InstallProduct": 1602}, exit=1602,
         last="Installation canceled"),
    Case("crash-inside-the-patch-call", x86=True, main={"MsiPath": "fix.msp", "MsiPatch": 1, "Name": "Demo Fix"},
         files={"fix.msp": b"patch"}, logname="Demo Fix", msi=CRASH, exit=3,
         calls=["MsiApplyPatchW|<*>", "Chain|<chain>", "<unwound>"], log=[HARDWARE]),
    Case("mail-the-log-after-a-crash-in-the-installer", x86=True, **MAIL, msi=CRASH, answer="y", boxes=[MAIL_QUESTION],
         calls=["MsiInstallProductW<*>", "Chain|<chain>", "<unwound>"], log=[HARDWARE], last=SENT,
         mails=["Load|<media>\\setup.exe", "MAPISendMailW|0|0|9|0|set", "Chain|<chain>",
                "Message|Log file for 'Demo Product (1.0.0)'|See log file '<logname>' in attachment.|(null)|(null)|(null)|0|null|1|1",
                f"Recipient|1|BootStrapper|SMTP:{ADDRESS}|0|null", "File|0|4294967295|<log>|(null)|null", "Result|0",
                "!MAPILogon", "!MAPILogoff"]),
    # The installer's "file not found" leads to the mail question too; the boxes name the log as the file system
    # has it (GetLongPathName).
    Case("installer-did-not-find-the-package-mail-question-no", args="/i /log c:\\LOGS\\Mail Run.log", **MAIL,
         msi={"InstallProduct": 2}, answer={"Demo Product (1.0.0)": "n"}, logfile="c:\\LOGS\\Mail Run.log",
         mails=["!MAPISendMail"],
         boxes=[(ERROR, text(133, "<media>\\demo.msi")), (ERROR, INTERNAL + "\r\n\r\nLog file:\r\n'c:\\logs\\Mail Run.log'"),
                MAIL_QUESTION]),
    # ---- For deployment tools: a run that never waits shows no window (the boxes and dialogs it skips are Windows')
    Case("never-wait-ends-without-a-window", x86=True, args=f"/i /quiet {RECORD}", answer=None, **MAIL, msi=FAILING,
         mails=["!MAPISendMail"],
         prereqs=[{"Name": "Web Runtime", "Url": "http://downloads.example.invalid/runtime", "InstPath": "#Root#\\absent.exe",
                   **MISSING}, RUNTIME],
         record=record(exitCode=3, stage="installation", installerResult=1603,
                       stoppedAt={"component": "Web Runtime", "reason": "download"})),
    # ---- A real install through Wine's msi.dll, from a folder whose name code page 1252 cannot write
    Case("real-install", x86=True, private=True, findings=[], msi="wine", timeout=240, folder="C:\\media\\Демо Продукт",
         exists=PAYLOAD, registry=version("1.0.0")),
    # ---- For deployment engines: a restart through ExitWindowsEx (Wine ends the prefix's session)
    Case("restart-started-recorded-1641", private=True, args=f"/i /passive {RECORD}", exit=1641,
         postreqs=[comp("Restarting", code=3010)], ran=done("restarting", code=3010),
         record=record(exitCode=1641, restart="started")),
]

# ---- The dialogs, driven as a person would (bench.py: dialog, keys, click) during the run
OK, CANCEL, HEADER, LIST, STATUS, EXPLANATION, LINK = "1", "2", "1001", "10010", "10013", "1004", "1005"
UNTICKED, TICKED, NO_BOX = 0, 1, 2
RU_CAPTION = text(132, "Demo Product", "1.0.0", table=RU)
MANUAL = {"Name": "Manual Component", "Url": "http://downloads.example.invalid/component",
          "InstPath": "#Root#\\absent.exe", "FilePath": "C:\\logs\\manual.dll", "FileVer": "1.0"}

def marked(name, code=0, **keys):  # stays missing after its installer
    return comp(name, "", code, FilePath=f"C:\\logs\\{name.split()[0].lower()}.dll", FileVer="1.0", **keys)

def texts(seen, *controls):
    return [seen["controls"][control]["text"] for control in controls]

def images(seen):
    return [row["image"] for row in seen["controls"][LIST]["rows"]]

def closing_question(names, table=S):
    return table[155] + "".join(text(157, name, table=table) for name in names) + table[158]

def layout_problems(seen):  # controls outside the client area, or overlapping (the explanation reaches into the link)
    controls, c = [(key, ctl["rect"]) for key, ctl in seen["controls"].items() if ctl["visible"]], seen["client"]
    problems = [key for key, r in controls if not (r[0] >= c[0] and r[1] >= c[1] and r[2] <= c[2] and r[3] <= c[3])]
    return problems + [(a, b) for i, (a, r) in enumerate(controls) for b, q in controls[i + 1:]
                       if {a, b} != {EXPLANATION, LINK} and r[0] < q[2] and q[0] < r[2] and r[1] < q[3] and q[1] < r[3]]

def tick_by_click_and_space(bench, run):
    seen = wb.dialog(run, CAPTION)
    assert [*texts(seen, HEADER, OK, CANCEL), seen["focus"]] == [text(129, "Demo Product"), S[130], S[131], 1]
    rows = seen["controls"][LIST]["rows"]
    assert [(row["text"], row["image"]) for row in rows] == [
        ("Ticked Component", TICKED), ("Fixed Component", NO_BOX), ("Unticked Component", UNTICKED)]
    # What the person sees: a ticked box, no picture, an empty box.
    ticked, fixed, unticked = (wb.pixels(bench, row["icon"]) for row in rows)
    assert len(fixed) == 1 and len(ticked) > 1 and len(unticked) > 1 and ticked != unticked
    wb.click(bench, rows[0]["icon"])   # unticks
    wb.click(bench, rows[1]["label"])  # no box: nothing to toggle
    seen = wb.refresh(run, seen, lambda d: images(d) == [UNTICKED, NO_BOX, UNTICKED])
    assert images(seen) == [UNTICKED, NO_BOX, UNTICKED] and seen["controls"][LIST]["selection"] == -1
    for _ in range(4):
        if seen["focus"] != int(LIST):
            wb.keys(bench, seen, "Tab")
            seen = wb.refresh(run, seen)
    wb.keys(bench, seen, "Home", "Down", "Down", "space")  # ticks the third row
    seen = wb.refresh(run, seen, lambda d: images(d) == [UNTICKED, NO_BOX, TICKED])
    assert images(seen) == [UNTICKED, NO_BOX, TICKED] and seen["controls"][LIST]["selection"] == 2
    wb.click(bench, seen["controls"][OK]["rect"])
    box = wb.wait_until(lambda: run.boxes, 30)[0]
    # Under the failing component's error box the dialog names what it installs.
    assert texts(wb.dialog(run, CAPTION), STATUS) == [text(136, "Fixed Component")]
    bench.watcher.press(box, "Return")

def cancel(bench, run):
    wb.click(bench, wb.dialog(run, CAPTION)["controls"][CANCEL]["rect"])

def recheck_in_the_users_language(bench, run):
    main = wb.dialog(run, RU_CAPTION)
    # Its caption as X has it; its texts are the English run's.
    assert wb.xdotool(bench.display, "getwindowname", main["x_window"]).rstrip("\n") == RU_CAPTION
    assert layout_problems(main) == []
    wb.keys(bench, main, "Return")
    seen = wb.dialog(run, RU[149])
    assert (seen["owner"], seen["focus"], layout_problems(seen)) == (main["hwnd"], 1, [])
    assert not wb.refresh(run, main)["enabled"], "the prerequisites dialog takes input under the download dialog"
    assert [seen["caption"], *texts(seen, OK, CANCEL, EXPLANATION, LINK)] == [RU[149], RU[148], RU[131], text(
        164, *["Manual Component"] * 2, "Ask the administrator.", table=RU), text(151, "Manual Component", table=RU)]
    # Recheck while the component is missing: probed again, still open.
    probe = "Can't get version of file 'C:\\logs\\manual.dll'".encode("utf-16-le")
    probes = bench.logs()[0].read_bytes().count(probe)
    wb.keys(bench, seen, "Return")
    assert wb.wait_until(lambda: bench.logs()[0].read_bytes().count(probe) == probes + 1, 15)
    time.sleep(1)
    assert wb.refresh(run, seen) and "later" not in bench.markers()
    # Put in place by hand: Recheck goes on with the next component.
    shutil.copyfile(bench.tools / "tool.exe", bench.prefix.unix("C:\\logs\\manual.dll"))
    wb.click(bench, seen["controls"][OK]["rect"])

def follow_a_link_that_is_no_web_address(bench, run):
    seen = wb.dialog(run, S[149])
    assert seen["owner"] == 0 and [d["caption"] for d in bench.watcher.dialogs(run.pid)] == [S[149]]
    link = seen["controls"][LINK]["rect"]
    wb.click(bench, [link[0] + 4, link[1], link[0] + 8, link[3]])
    time.sleep(2)
    wb.keys(bench, seen, "Escape")

CASES += [
    Case("check-boxes-by-click-and-space-then-a-failing-component", x86=True, args="", during=tick_by_click_and_space,
         prereqs=[marked("Ticked Component", Optional=1), marked("Fixed Component", code=1603),
                  marked("Unticked Component", Optional=0)], answer={ERROR: None, CAPTION: "n"}, exit=3,
         boxes=[(ERROR, text(134, ran("fixed", 1603))),
                (CAPTION, closing_question(["Fixed Component", "Unticked Component"]), "yesno")],
         ran={**done("fixed", code=1603), **done("unticked")}),
    # Cancelled, the run installs nothing and nothing was chosen.
    Case("cancel-runs-no-step", args=f"/i {RECORD}", prereqs=[marked("Some Component", Optional=1)], during=cancel,
         exit=3, last=None,
         record=record(exitCode=3, stage="prerequisites", declined="prerequisites", installerResult=None)),
    # The user's language (Windows') picks the texts and the transform.
    Case("download-dialog-in-the-users-language-rechecks", args="", env=RUSSIAN,
         prereqs=[{**MANUAL, "ChooseDownload": "Ask the administrator."}, marked("Later Component")],
         during=recheck_in_the_users_language, boxes=[(RU_CAPTION, closing_question(["Later Component"], RU), "yesno")],
         ran=done("later"), log=["!Install the component 'Manual Component'"], files={"1049.mst": b"transform"},
         calls=[INSTALL + ' TRANSFORMS="<media>\\1049.mst"']),
    # Unattended, the dialog has no owner.
    Case("download-dialog-opens-web-links-only", args="/i /passive", files={"C:\\logs\\opened.exe": "@tool"},
         prereqs=[{**MANUAL, "Url": "C:\\logs\\opened.exe"}, marked("Later Component")],
         during=follow_a_link_that_is_no_web_address, exists={"C:\\logs\\opened.exe.started": False},
         log=["Download link 'C:\\logs\\opened.exe' is not an http or https address; it is not opened.",
              "!Install the component"], calls=["MsiInstallProductW<*>"]),
]

# ---- The corpus: packages on media saved by different editors; what the checker says for code page 1252 (<*>:
# tests/setupcheck's wording) and what setup.exe does under Wine's (LC_ALL=C.UTF-8).
LATIN = "Médias d'été\\Prödukt Ünïcode ß.msi"
AS_1252 = LATIN.encode().decode("cp1252")  # what setup.exe reads of UTF-8 bytes
CORPUS_PAYLOAD = {"C:\\Program Files (x86)\\Corpus Product\\payload.txt": True}

def corpus(id, encoding, path, files, findings, **expect):
    """[Main] with MsiPath as an editor saves it; a run that installs gets a prefix of its own."""
    ini = ("\ufeff[Main]" if encoding == "utf-16-le" else "[Main]") + f"\r\nMsiPath={path}\r\n"
    return Case(id, msi="wine", private=expect.get("exit", 0) == 0, timeout=240, ini=ini.encode(encoding), files=files,
                findings=findings, **{"logname": "Corpus Product", **expect})

CASES += [
    corpus("corpus-utf-8-without-mark", "utf-8", LATIN, {LATIN: "@corpus-latin"}, x86=True, exit=3, log=None,
           boxes=[(ERROR, text(152, "<media>\\" + AS_1252))],
           findings=['warning: setup.ini: UTF-8 without a byte-order mark: <*>"é" reads as "Ã©"<*>',
                     f'error: Main MsiPath: setup.exe reads "{AS_1252}" in code page 1252<*>"{LATIN}"<*>65001 (UTF-8)']),
    corpus("corpus-cp1252", "cp1252", LATIN, {LATIN: "@corpus-latin"}, x86=True, logname="Pr$dukt $n$code",
           exists=CORPUS_PAYLOAD,
           findings=[f'warning: Main MsiPath: "{LATIN}" has letters beyond ASCII<*>code page is 1252 or 1254']),
    # Read as written, letters beyond the code page included, and found in another letter case.
    corpus("corpus-utf-16-beyond-the-code-page-other-letter-case", "utf-16-le", "ПРÖДУКТ.MSI",
           {"Прöдукт.msi": "@corpus-latin"}, logname="Pr$dukt $n$code", findings=[],
           exists=CORPUS_PAYLOAD),
    corpus("corpus-64-bit-package-of-a-low-schema", "cp1252", "low.msi", {"low.msi": "@corpus-low-schema"},
           exit=3, log=["MsiInstallProduct returned 1620"],
           findings=["error: Main MsiPath: a 64-bit package (x64) needs schema 200 or more, and its summary says 100: the "
                     "installer refuses it with 1620 (an invalid package) and setup.exe stops"]),
]

# ---- Bad input: a row each in docs/robustness.md's table, its first cell the id less "bad-input-"
LONG, NEEDED = 10_000, comp("Runtime", "component", FilePath="#Root#\\missing.dll")
LONG_PARAMS = '"#InstPath#" exit 0 C:\\logs\\component.marker ' + "a" * LONG
LONG_COMMAND = seen(LONG_PARAMS[:2047].replace("#InstPath#", "#Root#\\tool.exe"))
BAD_KEY = "HKEY_LOCAL_MACHINE\\Software\\Demo Maker\\Bad Input Tests"
BIG_INI = "".join(f"[Filler{i}]\r\nKey=" + "f" * 80 + "\r\n" for i in range(40_000)) + \
    "[Main]\r\nMsiPath=demo.msi\r\nMsiProp=FOUND=1\r\n"
LONG_TAIL = ""
while len(LONG_TAIL) < 30_000:
    LONG_TAIL += f" C{len(LONG_TAIL)}=" + "c" * 1100
LONG_LINE = "/i /quiet A=1 B=" + "b" * 1100 + LONG_TAIL + " /log C:\\logs\\tail.log"
CHECKED = {"Name": "Runtime", "InstPath": "#Root#\\checked\\tool.exe", "Sha256": "<sha256:checked\\tool.exe>",
           "InstParams": '"#InstPath#" exit 0 C:\\logs\\runtime.marker', **MISSING}
CHECKED_RAN = '"<media>\\checked\\tool.exe" exit 0 C:\\logs\\runtime.marker'
MEGABYTE = cond(2, "bytes", "1048576")

def registry_row(condition, value, data, holds):
    # The entries' wording is the unit tests'.
    failures = [f"CRegComparer.GetRegValue(<*>'{value}') failed. Error(234)<*>",
                f"IsValidRegCond() failed. Invalid condition '{condition}'<*>"]
    return Case(f"bad-input-registry-{value}-{condition}", reg64=f'[{BAD_KEY}]\n"{value}"={data}',
                prereqs=[{**NEEDED, "FilePath": "", "RegPath": f"{BAD_KEY}\\{value}", "RegCond": condition, "Key64": 1}],
                log=["!CRegComparer", "!IsValidRegCond"] if holds else failures, ran={} if holds else done("component"))

BAD_INPUT = [
    Case("bad-input-ini-of-megabytes", ini=BIG_INI, calls=[INSTALL + "FOUND=1"]),
    Case("bad-input-long-minwinmessage", args="/i", main={"MinWinVersion": "99.0", "MinWinMessage": "m" * LONG}, exit=3,
         boxes=[(ERROR, "m" * 2047)], last="m" * 2047),
    Case("bad-input-long-prereq-instparams", prereqs=[{**NEEDED, "InstParams": LONG_PARAMS}],
         log=[f"MsiInstall({LONG_COMMAND}) return code 0"], ran={"component": [LONG_COMMAND]}),
    Case("bad-input-command-line-of-30000-characters", args=LONG_LINE, logfile="C:\\logs\\tail.log",
         calls=[INSTALL + "A=1"]),
    Case("bad-input-unbalanced-quote-operation", x86=True, args='"/i /quiet', exit=3, boxes=[(S[138], S[137])],
         last="UILevel is set to 5"),
    *[Case(f"bad-input-log-path-{kind}", args=f"/i /quiet /log {path}", log=None,
           calls=[INSTALL])
      for kind, path in (("missing-folder", "C:\\logs\\missing\\folder\\run.log"),
                         ("too-long", "C:\\logs\\" + "l" * 29_000 + ".log"))],
    registry_row("DWORD>=0", "TextAbcd", '"abcd"', False),
    registry_row("STRING=abc", "DwordAbc", "dword:00636261", True),
    Case("bad-input-condition-program-prints-a-megabyte", cut=1,
         prereqs=[comp("Flooding", "component", RunExeCond=MEGABYTE)],
         log=[f"Process '{seen(MEGABYTE)}' return code 2", f"Process '{seen(MEGABYTE)}' return text '0123456789012345<*>"]),
    Case("bad-input-component-installer-crashes", prereqs=[{**NEEDED, "InstParams": '"#InstPath#" crash'}],
         log=['MsiInstall("<media>\\tool.exe" crash) return code -1073741819',
              "MsiInstall('\"<media>\\tool.exe\" crash') failed. Error(-1073741819)'<*>"]),
    Case("bad-input-deployment-tools-handles", x86=True,
         line='"<media>\\tool.exe" inherit C:\\logs\\output.marker "<media>\\setup.exe /i /quiet"',
         prereqs=[{"Name": "Lingering", "InstPath": "#Root#\\tool.exe",
                   "InstParams": '"#InstPath#" inherited C:\\logs\\installer.marker',
                   "RunExeCond": '"#Root#\\tool.exe" inherited C:\\logs\\condition.marker'}],
         ran={"condition": ["absent"], "installer": ["absent"], "output": ["exit code 0, output ended"]}),
    # 32 MB after the program: its check lasts until the watcher waits for its end.
    Case("bad-input-installer-replaced-after-its-check",
         files={"checked\\tool.exe": lambda a: a["tool"].read_bytes() + bytes(1 << 25), "noop.exe": "@noop"},
         line='"<media>\\tool.exe" race "<media>\\noop.exe" "<media>\\checked\\tool.exe" C:\\logs\\race.marker '
              '"<media>\\setup.exe /i /quiet"', prereqs=[CHECKED], ran={"race": ["replaced"], "runtime": [CHECKED_RAN]}),
    Case("bad-input-relative-instpath-and-a-decoy-in-the-current-folder", cwd="C:\\logs",
         files={"checked\\tool.exe": "@tool", "C:\\logs\\checked\\tool.exe": "@noop"},
         prereqs=[{**CHECKED, "InstPath": "checked\\tool.exe"}], ran={"runtime": [CHECKED_RAN]},
         log=[f"MsiInstall({CHECKED_RAN}) return code 0"]),
    Case("bad-input-package-written-during-the-installer-call", main={"Sha256": hashlib.sha256(b"package").hexdigest()},
         calls=[INSTALL, "Package|held"]),
    Case("bad-input-package-of-random-bytes", msi="wine", files={"demo.msi": random.Random(2).randbytes(20_000)}, exit=3,
         boxes=[(ERROR, text(152, "<media>\\demo.msi"))], log=None),
]
CASES += BAD_INPUT
