"""A patch run (MsiPatch=1): the question at the full level, the basic user
interface of the installer whatever the run's level, MsiApplyPatchA with
the patch, no install package, the default type and the properties; the
patch-specific failure text; and a patch run without the installer library.
Wine's installer cannot apply patches (and wixl cannot build them): the
recording msi.dll stands in, and any file serves as the patch."""

import re

import pytest

import msi_double
import product_runs as pr
import winebench as wb

STAMP = r"Setup\.exe \[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\]: "
QUESTION = "Do you want to apply patch '1.0.0' to 'Demo Fix'?"
CAPTION = "Demo Fix Update"


def patch_calls(recording_msi):
    return [call.args for call in recording_msi.calls("MsiApplyPatchA")]


def test_patch_at_the_full_level_asks_then_applies_with_the_basic_interface(bench, recording_msi):
    media = pr.patch_media(bench, main={"MsiProp": "PATCHPROP=1"})
    run = bench.run_setup(media, [], answer=wb.answer_with(wb.KEY_YES))

    assert run.exit_code == 0, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [(CAPTION, QUESTION)], run.describe()
    assert run.boxes[0].buttons == [wb.IDYES, wb.IDNO] and run.boxes[0].icon, run.describe()
    log = pr.the_run_log(bench)
    calls = recording_msi.describe()
    assert patch_calls(recording_msi) == [[media.windows("fix.msp"), "(null)", "0", "PATCHPROP=1"]], calls
    assert "MsiInstallProductA" not in recording_msi.names(), calls
    # The run's level first, then the log, the basic level and the patch.
    tail = [str(call) for call in recording_msi.calls()
            if call.name in ("MsiSetInternalUI", "MsiEnableLogA", "MsiApplyPatchA")]
    assert tail == ["MsiSetInternalUI|5|null",
                    f"MsiEnableLogA|{pr.INSTALLER_LOG_MODE}|{log.windows}|{pr.APPEND}",
                    "MsiSetInternalUI|3|null",
                    f"MsiApplyPatchA|{media.windows('fix.msp')}|(null)|0|PATCHPROP=1"], calls
    assert re.search(STAMP + re.escape(QUESTION + "\r\n")
                     + STAMP + r"Calling MsiApplyPatch with command line: PATCHPROP=1\r\n"
                     r"\r\n\r\n" + re.escape(msi_double.INSTALLER_LOG_LINE)
                     + STAMP + r"Setup complete\r\n\Z", log.text), log.text
    assert pr.AUTO_UPGRADING not in log.entries, log.text


def test_patch_declined_at_the_full_level_calls_no_installer(bench, recording_msi):
    media = pr.patch_media(bench)
    run = bench.run_setup(media, [], answer=wb.answer_with(wb.KEY_NO))

    assert run.exit_code == 0, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [(CAPTION, QUESTION)], run.describe()
    names = recording_msi.names()
    assert "MsiApplyPatchA" not in names and "MsiEnableLogA" not in names, recording_msi.describe()


@pytest.mark.parametrize("args, level", [pytest.param(["/i", "/quiet"], "2", marks=pytest.mark.x86),
                                         (["/i", "/passive"], "67")], ids=["quiet", "passive"])
def test_unattended_patch_asks_nothing_and_still_uses_the_basic_interface(
        bench, recording_msi, args, level, arch):
    media = pr.patch_media(bench, main={"MsiProp": "PATCHPROP=1"})
    run = bench.run_setup(media, args)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert [call.args[0] for call in recording_msi.calls("MsiSetInternalUI")] == [level, "3"], \
        recording_msi.describe()
    assert patch_calls(recording_msi) == [[media.windows("fix.msp"), "(null)", "0", "PATCHPROP=1"]], \
        recording_msi.describe()
    assert recording_msi.chains() == [msi_double.CHAIN_INTACT[arch]], recording_msi.describe()
    entries = pr.the_run_log(bench).entries
    question = entries.index(QUESTION + "\r\n")
    assert entries[question + 1] == pr.AUTO_UPGRADING, entries


def test_patch_on_an_administrative_image_names_the_image(bench, recording_msi):
    media = pr.patch_media(bench)
    run = bench.run_setup(media, '/a "C:\\Admin Point"')

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert patch_calls(recording_msi) == [[media.windows("fix.msp"), "C:\\Admin Point", "1", ""]], \
        recording_msi.describe()


def test_patch_for_another_version_reports_why(bench, recording_msi):
    recording_msi.script(Result={"ApplyPatch": 1642})
    media = pr.patch_media(bench)
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    log = pr.the_run_log(bench)
    log.assert_failure_reported(pr.PATCH_NOT_APPLICABLE, 1642)
    assert pr.SETUP_COMPLETE not in log.entries, log.text


def test_patch_without_the_installer_library_fails_before_calling_it(bench):
    # No child process runs in a patch run, so the environment's override
    # reaches setup.exe alone.
    media = pr.patch_media(bench, main={"MsiProp": "PATCHPROP=1"})
    run = bench.run_setup(media, ["/i", "/quiet"], dll_overrides="msi=d")

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    log = pr.the_run_log(bench)
    log.assert_failure_reported(pr.INTERNAL_ERROR, 1603)
    assert "Calling MsiApplyPatch" not in log.text and QUESTION not in log.text, log.text
