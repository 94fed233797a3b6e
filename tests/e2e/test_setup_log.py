"""The setup log: a UTF-16 file that a deployment tool finds in the
temporary folder under the product's name and the start time, or at the
path given after the log option.

The runs stop before the product installation (MsiType=Minor): when Wine's
installer runs, it truncates the file handed to MsiEnableLogA and rewrites
it in 8-bit text, which would hide the setup log's own entries."""

import datetime

import pytest

import winebench as wb


def first_line_problems(log: wb.SetupLog, run: wb.SetupRun, ui_level: int) -> list[str]:
    problems = []
    if not log.has_bom:
        problems.append(f"no byte-order mark FF FE: starts with {log.raw[:4]!r}")
    lines = log.lines
    if not lines:
        return problems + ["the log is empty"]
    first = lines[0]
    stamp = wb.log_stamp_time(first)
    if stamp is None:
        problems.append(f"the first line has no time stamp: {first!r}")
    else:
        start = run.started_at.replace(microsecond=0) - datetime.timedelta(minutes=1)
        end = run.ended_at + datetime.timedelta(minutes=1)
        if not start <= stamp <= end:
            problems.append(f"time stamp {stamp} outside the run ({run.started_at} to {run.ended_at})")
        expected = f"Setup.exe [{stamp:%Y.%m.%d %H:%M:%S}]: UILevel is set to {ui_level}\r\n"
        if first != expected:
            problems.append(f"first line {first!r}, expected {expected!r}")
    return problems


STOPS_BEFORE_INSTALL = {"Main": {"MsiPath": "demo.msi", "MsiType": "Minor"}}


@pytest.mark.parametrize("product, main, name", [
    ("Demo Product", {}, "Demo Product"),
    # What no file name may hold becomes "$": the log stays in the
    # temporary folder, not in a stream of another file or another folder.
    ("Demo: Edition", {}, "Demo$ Edition"),
    ("Demo Product", {"MsiPatch": 1, "Name": "..\\..\\Escape", "MsiType": "Stop"}, "..$..$Escape"),
], ids=["plain", "colon", "patch-name-with-dots"])
def test_default_log_is_named_after_product_and_start_time(bench, make_package, product, main, name):
    ini = {"Main": {**STOPS_BEFORE_INSTALL["Main"], **main}}
    package = make_package(ProductName=product, ProductVersion="1.0.0")
    media = bench.make_media(ini=ini, files={"demo.msi": package})
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert not run.timed_out, run.describe()
    assert run.boxes == [], run.describe()
    logs = bench.temp_logs()
    allowed = {wb.default_log_name(name, minute)
               for minute in wb.minutes_between(run.started_at, run.ended_at)}
    assert len(logs) == 1 and logs[0].name in allowed, (
        f"logs in the temporary folder: {[path.name for path in logs]}, expected one of "
        f"{sorted(allowed)}\n{run.describe()}")
    log = bench.read_log(logs[0])
    assert first_line_problems(log, run, ui_level=2) == [], log.text[:500]


@pytest.mark.parametrize("path", ["C:\\logs\\setup run.log", '"C:\\logs\\setup run.log"'],
                         ids=["bare", "quoted"])
def test_log_option_takes_the_whole_rest_of_the_line_as_path(bench, demo_msi, path):
    media = bench.make_media(ini=STOPS_BEFORE_INSTALL, files={"demo.msi": demo_msi})
    logs, _ = bench.make_folder("logs")
    run = bench.run_setup(media, "/i /quiet /log " + path)

    assert not run.timed_out, run.describe()
    target = logs / "setup run.log"
    assert sorted(path.name for path in logs.iterdir()) == ["setup run.log"], run.describe()
    assert first_line_problems(bench.read_log(target), run, ui_level=2) == []
    assert bench.temp_logs() == []


def test_log_option_before_another_option_leaves_no_log(bench, demo_msi):
    # The path is "C:\logs\run.log /quiet", which cannot be opened; the
    # display option still counts.
    media = bench.make_media(ini=STOPS_BEFORE_INSTALL, files={"demo.msi": demo_msi})
    logs, _ = bench.make_folder("logs")
    run = bench.run_setup(media, "/i /log C:\\logs\\run.log /quiet")

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    assert list(logs.iterdir()) == []
    assert bench.temp_logs() == []


def test_log_entries_are_appended_to_an_existing_file(bench, demo_msi):
    media = bench.make_media(ini=STOPS_BEFORE_INSTALL, files={"demo.msi": demo_msi})
    logs, _ = bench.make_folder("logs")
    earlier = b"earlier 8-bit text\r\n"
    (logs / "run.log").write_bytes(earlier)
    run = bench.run_setup(media, ["/i", "/quiet", "/log", "C:\\logs\\run.log"])

    assert run.exit_code == 3, run.describe()
    raw = (logs / "run.log").read_bytes()
    assert raw.startswith(earlier), raw[:80]
    appended = raw[len(earlier):]
    assert not appended.startswith(b"\xff\xfe"), "a second byte-order mark was written"
    text = appended.decode("utf-16-le")
    assert wb.LOG_STAMP.match(text) and "UILevel is set to 2\r\n" in text, text[:300]
