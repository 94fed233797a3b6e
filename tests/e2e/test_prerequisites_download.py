"""A prerequisite whose package is not on the medium but has a download page
(Url) brings the download dialog even in a quiet run, where nothing else
is shown: the administrator has to fetch the package by hand. Cancelling
it stops the prerequisites, and the unattended run still goes on with the
product.

The dialog is found and answered through X, by its caption, as a person
would; the product step is the recording msi.dll's."""

import re
import time

import pytest

import prereq_bench as pb
import winebench as wb

DOWNLOAD_CAPTION = "Component Download"


@pytest.fixture(autouse=True)
def _tools(tools):
    pb.require_tools(tools)


def x_windows_named(bench, caption):
    pattern = "^" + re.escape(caption) + "$"
    return wb.xdotool(bench.display, "search", "--onlyvisible", "--name", pattern).stdout.split()


def test_download_dialog_in_a_quiet_run_cancel_stops_the_prerequisites(bench, recording_msi):
    missing = {"RegPath": pb.TEST_KEY + "\\Never Written\\Value", "RegCond": "DWORD>=1"}
    media = bench.make_media(ini=pb.setup_ini({"MsiPath": "demo.msi"}, prereqs=[
        {"Name": "Manual Runtime", "Url": "http://downloads.example.invalid/runtime",
         "InstPath": "#Root#\\not-on-the-medium.exe", **missing},
        {"Name": "Later Runtime", "InstPath": "#Root#\\component.exe",
         "InstParams": f'"#InstPath#" 0 {pb.marker_path("later")}', **missing},
    ]), files={"demo.msi": b"read by the recording msi.dll only",
               "component.exe": bench.tools / "component.exe"})

    run = bench.start_setup(media, pb.QUIET)
    found = pb.wait_until(lambda: bool(x_windows_named(bench, DOWNLOAD_CAPTION))
                          or run.process.poll() is not None, 30)
    windows = x_windows_named(bench, DOWNLOAD_CAPTION)
    if not windows:
        run.wait(30)
        pytest.fail(f"no window {DOWNLOAD_CAPTION!r} appeared in the quiet run (found={found})\n"
                    f"{run.describe()}")
    # The run waits for the person.
    time.sleep(0.5)
    assert run.process.poll() is None, run.describe()
    assert pb.markers(bench) == {}, "a component was installed while the dialog was open"

    window = windows[-1]
    for _ in range(5):
        wb.xdotool(bench.display, "windowfocus", "--sync", window, timeout=5)
        wb.xdotool(bench.display, "key", "Escape")
        if pb.wait_until(lambda: not x_windows_named(bench, DOWNLOAD_CAPTION), 3):
            break
    assert not x_windows_named(bench, DOWNLOAD_CAPTION), "Escape left the download dialog open"
    run.wait(60)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert pb.markers(bench) == {}, "the component after the cancelled one was installed"
    assert len(recording_msi.calls("MsiInstallProductA")) == 1, recording_msi.describe()
    raw = pb.only_log_bytes(bench, run)
    assert pb.utf16("Installing prerequisites passively:\r\n  Manual Runtime\r\n  Later Runtime\r\n") in raw, \
        pb.readable(raw)
    assert not pb.has_entry(raw, "Install the component "), pb.readable(raw)
