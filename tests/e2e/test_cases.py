"""Runs every case of cases.py (README.md, "A case"); a list of cases runs in order in one prefix of its own."""

import datetime
import hashlib
import json
import re
import time
import warnings

import pytest

import bench as wb
from cases import CASES

@pytest.mark.parametrize("steps", [pytest.param(steps, id=steps[0].id, marks=[pytest.mark.x86] if steps[0].x86 else [])
                                   for steps in (item if isinstance(item, list) else [item] for item in CASES)])
def test_case(steps, make_bench, artefacts):
    bench = make_bench(doubles=steps[0].msi != "wine", private=len(steps) > 1 or steps[0].private)
    for case in steps:
        try:
            run_case(bench.reset(), case, artefacts)
        except AssertionError:
            if not any(WINE_START_FAILED in log.read_bytes() for log in bench.logs(case.temp)):
                raise
            warnings.warn(f"{case.id}: Wine did not start a child of setup.exe (1359); the case runs once more")
            run_case(bench.reset(), case, artefacts)

# Now and then Wine's loader ends before a new process starts, and CreateProcess fails with ERROR_INTERNAL_ERROR
# (like the silent ends of the loader that bench.Run tries again); setup.exe logs it as it logs any failed start.
WINE_START_FAILED = "failed. Error(1359)".encode("utf-16-le")

def fill(value, places):  # texts, and lists, tuples and dicts of them
    if isinstance(value, (list, tuple)):
        return type(value)(fill(item, places) for item in value)
    if isinstance(value, dict):
        return {key: fill(item, places) for key, item in value.items()}
    for key, text in places.items() if isinstance(value, str) else ():
        value = value.replace(key, text)
    return value

def run_case(bench, case, artefacts):
    prefix = bench.prefix
    if case.msi != "wine":
        bench.script_doubles(case.msi)
    files = {path: artefacts[value[1:]] if isinstance(value, str) else value(artefacts) if callable(value) else value
             for path, value in case.files.items()}
    digests = {f"<sha256:{path}>": hashlib.sha256(value if isinstance(value, bytes) else value.read_bytes()).hexdigest()
               for path, value in files.items()}
    media = bench.make_media(re.sub(r"[^\w-]", "-", case.id)[:40], fill(case.setup_ini(), digests), files, case.folder)
    errors = None
    if case.findings is not None:  # the finding that the test programs are unsigned aside
        found = [f for f in wb.check_media(prefix.unix(media))["findings"] if "Authenticode" not in f["reason"]]
        said = [f"{f['severity']}: {f['section'] or 'setup.ini'}{' ' + f['key'] if f['key'] else ''}: {f['reason']}"
                for f in found]
        assert len(said) == len(case.findings) and all(map(wb.matches, case.findings, said)), said
        errors = [f for f in found if f["severity"] == "error"]
    x86 = bench.arch == "x86"
    places = {"<media>": media, "<temp>": case.temp + "\\" if case.temp else prefix.temp_windows,
              "<chain>": "valid" if x86 else "none", "<system>": f"C:\\windows\\{'system32' if x86 else 'syswow64'}",
              "<unwound>": "RtlUnwind|clears ebx, esi, edi, ebp" if x86 else "!RtlUnwind"}
    for view, text in (("32", case.reg32), ("64", case.reg64)):
        if text:
            prefix.reg_import(fill(text, places), view)

    line = fill(case.line or f'"<media>\\setup.exe" {case.args}', places)
    if case.temp:  # Wine takes the temporary folder from the registry: cmd sets it for the run
        prefix.unix(case.temp).mkdir(parents=True, exist_ok=True)
        line = f'cmd /c "set TEMP={case.temp}&& set TMP={case.temp}&& {line}"'
    started = time.time()
    run = bench.start(line, answers=case.answer, env=case.env, cwd=case.cwd)
    if case.during:
        case.during(bench, run)
    run.wait(case.timeout)
    assert run.exit_code is not None, f"no exit code within {run.seconds:.0f} s\n{run.describe()}"
    strangers = [box for box in bench.watcher.boxes if not run.owns(box) and box["shown_at"] >= run.started]
    assert not strangers, f"boxes of other programs (a crash dialog?): {strangers}"
    assert not wb.CRASH_REPORT.search(run.output(1)), run.describe()
    assert errors != [] or run.exit_code == 0, f"setupcheck finds no error in the media, but setup.exe failed\n{run.describe()}"
    assert run.exit_code == case.exit, run.describe()

    # The log: at the path given, or in the temporary folder (named after the product and the start minute).
    logs = bench.logs(case.temp)
    if case.log is None:
        planted = {prefix.unix(path) for path in case.files if ":" in path}
        found = logs + [path for path in (prefix.path / "drive_c" / "logs").rglob("*")
                        if path.suffix not in (".marker", ".started", ".json") and path not in planted]
        assert not found, f"logs where none should be: {found}\n{run.describe()}"
    else:
        if case.logfile:
            places["<log>"] = fill(case.logfile, places)
            raw = prefix.unix(places["<log>"]).read_bytes()
        else:
            minutes = {f"{datetime.datetime.fromtimestamp(moment):%Y.%m.%d %H.%M}"
                       for moment in range(int(started) - 60, int(time.time()) + 61, 30)}
            assert len(logs) == 1 and logs[0].name in {f"{case.logname} Setup ({minute}).log" for minute in minutes}, \
                f"logs in the temporary folder: {logs}\n{run.describe()}"
            places["<log>"], raw = places["<temp>"] + logs[0].name, logs[0].read_bytes()
            # The installer's log in the same file (a line of the recording msi.dll)
            assert not case.temp or wb.INSTALLER_LOG_LINE in raw, "no installer's log in the setup log"
        places["<logname>"] = places["<log>"].rsplit("\\", 1)[-1]
        entries, cut = wb.setup_entries(raw, strict=case.msi != "wine")
        lines = [entry.removesuffix("\r\n") for entry in entries]
        wb.in_order(fill(case.log, places), lines, "setup log")
        assert case.last is None or wb.matches(fill(case.last, places), lines[-1]), f"last entry {lines[-1][:300]!r}"
        assert cut == case.cut, f"{cut} entries cut at {wb.ENTRY_LIMIT} characters"

    boxes = [(box["caption"], box["text"], {(1,): "ok", (6, 7): "yesno"}.get(tuple(box["buttons"]), str(box["buttons"])))
             for box in run.boxes]
    assert boxes == [fill(tuple(box) + ("ok",) * (3 - len(box)), places) for box in case.boxes], run.describe()
    assert all(box["icon"] for box in run.boxes), "a box without its icon"
    wb.in_order(fill(case.calls, places), bench.double_log("msi"), "recording msi.dll")
    wb.in_order(fill(case.mails, places), bench.double_log("mapi32"), "recording MAPI32.DLL")
    assert bench.markers() == {name: "".join(line + "\r\n" for line in fill(lines, places))
                               for name, lines in case.ran.items()}, run.describe()
    for path, exists in case.exists.items():
        assert prefix.unix(fill(path, places)).exists() == exists, fill(path, places)
    for value, expected in case.registry.items():
        key, name = value.rsplit("\\", 1)
        output = prefix.wine(["reg", "query", key, "/v", name]).stdout.decode("utf-8", "replace").split()
        assert (output[output.index("REG_SZ") + 1] if "REG_SZ" in output else None) == expected, (value, output)
    if case.record is not None:
        assert json.loads(prefix.unix("C:\\logs\\record.json").read_bytes()) == fill(case.record, places)
