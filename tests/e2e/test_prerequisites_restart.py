"""A component that asks for a restart (exit code 3010) in an unattended
run: no question, the log says so, and the machine is restarted, so the
run itself ends with 0. Under Wine the restart ends the prefix's session
(wineboot --end-session), hence a prefix of its own for each case.

The components are tools/component.exe; the product step is the recording
msi.dll's."""

import pytest

import prereq_bench as pb
import winebench as wb


@pytest.fixture(autouse=True)
def _tools(tools):
    pb.require_tools(tools)


@pytest.mark.private_prefix
@pytest.mark.parametrize("kind", ["prerequisite", "post-requisite"])
def test_component_asking_for_a_restart_restarts_without_asking(bench, recording_msi, kind):
    marker = pb.marker_path("restarting")
    section = {"Name": "Restarting Component", "InstPath": "#Root#\\component.exe",
               "InstParams": f'"#InstPath#" 3010 {marker}'}
    if kind == "prerequisite":
        # Missing: its registry value is never written.
        section.update(RegPath=pb.TEST_KEY + "\\Never Written\\Value", RegCond="DWORD>=1")
        ini = pb.setup_ini({"MsiPath": "demo.msi"}, prereqs=[section])
    else:
        ini = pb.setup_ini({"MsiPath": "demo.msi"}, postreqs=[section])
    media = bench.make_media(ini=ini, files={"demo.msi": b"read by the recording msi.dll only",
                                             "component.exe": bench.tools / "component.exe"})

    run = bench.run_setup(media, pb.PASSIVE)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    command = f'"{media.windows("component.exe")}" 3010 {marker}'
    assert pb.markers(bench).get("restarting") == command + "\r\n", run.describe()
    assert len(recording_msi.calls("MsiInstallProductA")) == 1, recording_msi.describe()
    raw = pb.only_log_bytes(bench, run)
    assert pb.has_entry(raw, f"MsiInstall({command}) return code 3010\r\n"), pb.readable(raw)
    assert pb.has_entry(raw, "Auto-reboot in passive mode\r\n"), pb.readable(raw)
    # The restart comes last, after the product.
    assert pb.entry_position(raw, "Auto-reboot in passive mode") > \
        pb.entry_position(raw, "Calling MsiInstallProduct") >= 0, pb.readable(raw)


@pytest.mark.x86
def test_declined_restart_at_the_full_level_ends_with_3010(bench, recording_msi):
    # The full 32-bit exit code reaches the caller.
    section = {"Name": "Restarting Component", "InstPath": "#Root#\\component.exe",
               "InstParams": f'"#InstPath#" 3010 {pb.marker_path("restarting")}'}
    media = bench.make_media(ini=pb.setup_ini({"MsiPath": "demo.msi"}, postreqs=[section]),
                             files={"demo.msi": b"read by the recording msi.dll only",
                                    "component.exe": bench.tools / "component.exe"})

    run = bench.run_setup(media, [], answer=wb.answer_with(wb.KEY_NO))

    assert run.exit_code == 3010, run.describe()
    assert [box.text for box in run.boxes] == [
        "You must restart your system for the configuration changes to take effect. "
        "Do you want restart now?"], run.describe()
