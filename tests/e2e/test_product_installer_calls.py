"""What the run asks of the installer library and what it makes of the
answers, seen through the recording msi.dll: the user-interface level, the
installer's log directed into the setup log, the command line of an install,
an administrative install and an upgrade, the installer's results (cancel,
restart needed, package not found, failure) and a crash inside the library."""

import re

import pytest

import msi_double
import product_runs as pr
import winebench as wb

PACKAGE_BYTES = b"package: the recording msi.dll opens any file"

STAMP = r"Setup\.exe \[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\]: "


def install_calls(recording_msi):
    return [call.args for call in recording_msi.calls("MsiInstallProductA")]


@pytest.mark.parametrize("args, level", [pytest.param(["/i", "/quiet"], "2", marks=pytest.mark.x86),
                                         (["/i", "/passive"], "67"), ([], "5")],
                         ids=["quiet", "passive", "full"])
def test_install_sets_the_level_hands_over_the_log_and_passes_the_properties(
        bench, recording_msi, args, level, arch):
    media = pr.demo_media(bench, PACKAGE_BYTES, main={"MsiProp": "DEMOPROP=1"})
    run = bench.run_setup(media, args)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    log = pr.the_run_log(bench)
    calls = recording_msi.describe()
    assert install_calls(recording_msi) == [[media.windows("demo.msi"), "DEMOPROP=1"]], calls
    assert [call.args for call in recording_msi.calls("MsiSetInternalUI")] == [[level, "null"]], calls
    assert ([call.args for call in recording_msi.calls("MsiEnableLogA")]
            == [[pr.INSTALLER_LOG_MODE, log.windows, pr.APPEND]]), calls
    names = recording_msi.names()
    install = names.index("MsiInstallProductA")
    assert names[install - 1] == "MsiEnableLogA", calls
    # Inside the guarded call, the thread's exception chain is intact.
    assert recording_msi.chains() == [msi_double.CHAIN_INTACT[arch]], calls
    assert names.index("MsiSetInternalUI") < install - 1, calls

    # The setup log's own entries, then the announced command line, an empty
    # line, the installer's text (8-bit, appended), and the result.
    assert log.mixed.raw[:2] == b"\xff\xfe", log.mixed.raw[:64]
    assert log.entries[0] == f"UILevel is set to {level}\r\n", log.text
    assert re.search(STAMP + r"Calling MsiInstallProduct with command line: DEMOPROP=1\r\n"
                     r"\r\n\r\n"
                     + re.escape(msi_double.INSTALLER_LOG_LINE)
                     + STAMP + r"Setup complete\r\n\Z", log.text), log.text
    assert ("8-bit", msi_double.INSTALLER_LOG_LINE) in log.mixed.segments, log.mixed.segments


def test_administrative_install_passes_only_the_target_and_asks_nothing(bench, recording_msi):
    # Neither the properties of the ini file nor a transform are part of it.
    media = pr.demo_media(bench, PACKAGE_BYTES, main={"MsiProp": "DEMOPROP=1", "LangId": 1049},
                          files={"1049.mst": b"transform"})
    run = bench.run_setup(media, '/a "C:\\Admin Point"')

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    calls = recording_msi.describe()
    command_line = 'TARGETDIR="C:\\Admin Point"  ACTION=ADMIN'
    assert install_calls(recording_msi) == [[media.windows("demo.msi"), command_line]], calls
    assert [call.args for call in recording_msi.calls("MsiSetInternalUI")] == [["67", "null"]], calls
    assert "MsiQueryProductStateA" not in recording_msi.names(), calls
    log = pr.the_run_log(bench)
    assert f"Calling MsiInstallProduct with command line: {command_line}\r\n" in log.entries, log.text
    assert not [entry for entry in log.entries if "LangId" in entry], log.text


@pytest.mark.parametrize("state", [{"ProductState": 5, "InstalledVersion": "1.0.0"},
                                   {"ProductState": 1}],
                         ids=["same-version-installed", "advertised"])
def test_product_of_the_same_version_gets_the_properties_without_a_question(
        bench, recording_msi, state):
    recording_msi.script(State=state)
    # UpdateDisable=1 refuses upgrades of older versions only.
    media = pr.demo_media(bench, PACKAGE_BYTES, main={"MsiProp": "DEMOPROP=1", "UpdateDisable": 1})
    run = bench.run_setup(media, [])

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert install_calls(recording_msi) == [[media.windows("demo.msi"), "DEMOPROP=1"]], \
        recording_msi.describe()
    assert pr.SETUP_COMPLETE in pr.the_run_log(bench).entries


@pytest.mark.parametrize("installed, reinstall_mode, command_line", [
    ("0.9.0", None, pr.DEFAULT_REINSTALL),
    ("", None, pr.DEFAULT_REINSTALL),
    ("0.9.0", "REINSTALL=ALL REINSTALLMODE=amus", "REINSTALL=ALL REINSTALLMODE=amus"),
], ids=["older", "version-unreadable", "DefaultReinstallmode"])
def test_unattended_upgrade_of_an_older_version_reinstalls_without_properties_or_transform(
        bench, recording_msi, installed, reinstall_mode, command_line):
    recording_msi.script(State={"ProductState": 5, "InstalledVersion": installed})
    main = {"MsiProp": "DEMOPROP=1", "LangId": 1049, "UpdateDisable": 2}
    if reinstall_mode:
        main["DefaultReinstallmode"] = reinstall_mode
    media = pr.demo_media(bench, PACKAGE_BYTES, main=main, files={"1049.mst": b"transform"})
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert install_calls(recording_msi) == [[media.windows("demo.msi"), command_line]], \
        recording_msi.describe()
    entries = pr.the_run_log(bench).entries
    question = entries.index(pr.UPGRADE_QUESTION + "\r\n")
    assert entries[question + 1] == pr.AUTO_UPGRADING, entries
    assert f"Calling MsiInstallProduct with command line: {command_line}\r\n" in entries, entries


@pytest.mark.parametrize("key, upgraded", [(wb.KEY_YES, True), (wb.KEY_NO, False)], ids=["yes", "no"])
def test_upgrade_at_the_full_level_asks_first(bench, recording_msi, key, upgraded):
    recording_msi.script(State={"ProductState": 5, "InstalledVersion": "0.9.0"})
    media = pr.demo_media(bench, PACKAGE_BYTES)
    run = bench.run_setup(media, [], answer=wb.answer_with(key))

    assert run.exit_code == 0, run.describe()
    assert len(run.boxes) == 1, run.describe()
    box = run.boxes[0]
    assert (box.caption, box.text) == ("Demo Product (1.0.0) Setup", pr.UPGRADE_QUESTION), run.describe()
    assert box.buttons == [wb.IDYES, wb.IDNO] and box.icon, run.describe()
    entries = pr.the_run_log(bench).entries
    assert pr.UPGRADE_QUESTION + "\r\n" in entries and pr.AUTO_UPGRADING not in entries, entries
    if upgraded:
        assert install_calls(recording_msi) == [[media.windows("demo.msi"), pr.DEFAULT_REINSTALL]], \
            recording_msi.describe()
    else:
        names = recording_msi.names()
        assert "MsiInstallProductA" not in names and "MsiEnableLogA" not in names, \
            recording_msi.describe()


@pytest.mark.parametrize("state, result, code", [
    ({"ProductState": 5, "InstalledVersion": "2.0.0"}, pr.NEWER_INSTALLED, 3000),
    ({"ProductState": 5, "InstalledVersion": "0.9.0"}, pr.MINOR_UPDATE_DISABLED, 7086),
], ids=["newer-installed", "older-installed-update-disabled"])
def test_refused_upgrade_calls_no_installer(bench, recording_msi, state, result, code):
    recording_msi.script(State=state)
    media = pr.demo_media(bench, PACKAGE_BYTES, main={"UpdateDisable": 1})
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    names = recording_msi.names()
    assert "MsiInstallProductA" not in names and "MsiEnableLogA" not in names, recording_msi.describe()
    log = pr.the_run_log(bench)
    assert result + "\r\n" in log.entries, log.text
    assert log.failure_report(code), log.text


@pytest.mark.x86
def test_cancel_inside_the_installer_exits_1602_without_a_failure_report(bench, recording_msi):
    recording_msi.script(Result={"InstallProduct": 1602})
    media = pr.demo_media(bench, PACKAGE_BYTES)
    run = bench.run_setup(media, [])

    assert run.exit_code == 1602, run.describe()
    assert run.boxes == [], run.describe()
    log = pr.the_run_log(bench)
    assert log.entries[-1] == "Installation canceled\r\n", log.text
    assert "BSInstall() failed" not in log.text and pr.INTERNAL_ERROR not in log.text, log.text


@pytest.mark.parametrize("result", [3010, 1641])
def test_installer_success_with_restart_result_exits_0_without_a_restart_question(
        bench, recording_msi, result):
    recording_msi.script(Result={"InstallProduct": result})
    media = pr.demo_media(bench, PACKAGE_BYTES)
    run = bench.run_setup(media, [])

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    log = pr.the_run_log(bench)
    assert log.entries[-1] == f"MsiInstallProduct returned {result}\r\n", log.text
    assert pr.RESTART_QUESTION not in log.text and "BSInstall() failed" not in log.text, log.text


def test_package_not_found_by_the_installer_is_shown_then_reported_as_a_failure(bench, recording_msi):
    recording_msi.script(Result={"InstallProduct": 2})
    media = pr.demo_media(bench, PACKAGE_BYTES)
    run = bench.run_setup(media, [])

    text = f"Setup was unable to find the file\n'{media.windows('demo.msi')}'."
    log = pr.the_run_log(bench)
    # Nothing was installed: after its own box the run gives the failure
    # report and ends as failed.
    assert run.exit_code == 3, run.describe()
    assert ([(box.caption, box.text) for box in run.boxes]
            == [(wb.INSTALLATION_ERROR, text),
                (wb.INSTALLATION_ERROR, pr.log_file_box_text(pr.INTERNAL_ERROR, log.windows))]), \
        run.describe()
    assert run.boxes[0].buttons == [wb.IDOK] and run.boxes[0].icon, run.describe()
    log.assert_failure_reported(pr.INTERNAL_ERROR, 2, after=text)


def test_installer_failure_at_the_full_level_shows_the_reason_and_the_log(bench, recording_msi):
    recording_msi.script(Result={"InstallProduct": 1603})
    media = pr.demo_media(bench, PACKAGE_BYTES)
    run = bench.run_setup(media, [])

    assert run.exit_code == 3, run.describe()
    log = pr.the_run_log(bench)
    assert ([(box.caption, box.text) for box in run.boxes]
            == [(wb.INSTALLATION_ERROR, pr.log_file_box_text(pr.INTERNAL_ERROR, log.windows))]), \
        run.describe()
    assert run.boxes[0].buttons == [wb.IDOK] and run.boxes[0].icon, run.describe()
    report = log.assert_failure_reported(pr.INTERNAL_ERROR, 1603, after="MsiInstallProduct returned 1603")
    text = log.mixed.texts("utf-16")
    # The log goes on to the mail offer, which has no address here.
    assert text.index("]: " + pr.NO_MAIL_ADDRESS) > report.start(), text


@pytest.mark.parametrize("kind", ["install", "patch"])
def test_crash_inside_the_installer_is_logged_and_the_run_ends_normally(
        bench, recording_msi, arch, tmp_path, kind):
    if not pr.architecture_runs(bench, arch, tmp_path):
        pytest.skip(f"this Wine cannot run {arch} programs, so the {arch} build's "
                    "structured-exception guard cannot be exercised here")
    recording_msi.script(Result={"Crash": 1})
    if kind == "install":
        media, entry = pr.demo_media(bench, PACKAGE_BYTES), "MsiInstallProductA"
    else:
        media, entry = pr.patch_media(bench), "MsiApplyPatchA"
    run = bench.run_setup(media, ["/i", "/quiet"])

    # The exit code is the run's own, not the access violation's
    # (0xC0000005), and Wine's debugger never started.
    assert run.exit_code == 3, run.describe()
    assert "Unhandled" not in run.stderr and "winedbg" not in run.stderr, run.describe()
    assert run.boxes == [], run.describe()
    assert [call.name for call in recording_msi.calls(entry)] == [entry], recording_msi.describe()
    log = pr.the_run_log(bench)
    crash_entry = "Hardware exception occur. Exception code 0xC0000005."
    log.assert_failure_reported(pr.INTERNAL_ERROR, 1603, after=crash_entry)
    text = log.mixed.texts("utf-16")
    crash = text.index("]: " + crash_entry + "\r\n")
    assert pr.SETUP_COMPLETE not in log.entries, text
    if kind == "install":
        assert text.index("]: MsiInstallProduct returned 1603\r\n") > crash, text
