"""Refusals of the machine or the configuration after the log exists: what
the user sees at the full level, what an unattended run leaves in the log,
and the exit code a deployment tool gets."""

import pytest

import winebench as wb

MSI_TYPE_REFUSED = "The setup was authored with an incorrect operation type '{}' and cannot continue."
PROCESSOR_REFUSED = "This installation package is not supported by this processor type."
TOO_OLD = "Can't  itstall product.\r\nProduct can installed on {} and above."
INTERNAL_ERROR = "An irrecoverable internal error occured.\r\nLog file:\r\n'{}'"


def media_with(bench, demo_msi, **main):
    return bench.make_media(ini={"Main": {"MsiPath": "demo.msi", **main}}, files={"demo.msi": demo_msi})


def only_log(bench, run):
    logs = bench.temp_logs()
    assert len(logs) == 1, f"logs: {[path.name for path in logs]}\n{run.describe()}"
    return bench.read_log(logs[0])


LEVELS = [pytest.param(["/i"], True, id="full"), pytest.param(["/i", "/quiet"], False, id="quiet"),
          pytest.param(["/i", "/passive"], False, id="passive")]


@pytest.mark.parametrize("msi_type", ["Minor", "Major", "minor", "Repair"])
@pytest.mark.parametrize("args, shown", LEVELS)
def test_wrong_operation_type_for_a_product_is_refused(bench, demo_msi, msi_type, args, shown):
    run = bench.run_setup(media_with(bench, demo_msi, MsiType=msi_type), args)

    text = MSI_TYPE_REFUSED.format(msi_type)
    assert run.exit_code == 3, run.describe()
    expected_boxes = [(wb.INSTALLATION_ERROR, text)] if shown else []
    assert [(box.caption, box.text) for box in run.boxes] == expected_boxes, run.describe()
    assert text + "\r\n" in only_log(bench, run).entries


@pytest.mark.parametrize("args, shown", LEVELS)
def test_32_bit_only_product_is_refused_on_64_bit_windows_with_exit_0(bench, demo_msi, args, shown):
    # The bench's prefixes are 64-bit Wine, whose native processor is x64.
    run = bench.run_setup(media_with(bench, demo_msi, Os32Need=1), args)

    assert run.exit_code == 0, run.describe()
    expected_boxes = [(wb.INSTALLATION_ERROR, PROCESSOR_REFUSED)] if shown else []
    assert [(box.caption, box.text) for box in run.boxes] == expected_boxes, run.describe()
    assert PROCESSOR_REFUSED + "\r\n" in only_log(bench, run).entries


@pytest.mark.parametrize("main, shown_version", [
    ({"MinWinVersion": "11.0"}, "'Windows 11.0'"),
    ({"MinWinVersion": "11"}, "'Windows 11.0'"),
    ({"MinWinVersion": "7.2"}, "'Windows 7.2'"),
    ({"MinWinVersion": "10.5"}, "'Windows 10'"),
    ({"MinWinVersion": "11.0", "MinWinServicePack": "2"}, "'Windows 11.0' (Servi\u00f1e Pack 2)"),
    ({"MinWinVersion": "11.0", "MinWinServicePack": "2.1"}, "'Windows 11.0' (Servi\u00f1e Pack 2.1)"),
], ids=["11.0", "11", "7.2-unnamed", "10.5-named-10", "service-pack", "service-pack-minor"])
def test_windows_too_old_shows_the_required_version_and_exits_3(bench, demo_msi, main, shown_version):
    run = bench.run_setup(media_with(bench, demo_msi, **main), ["/i"])

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [
        (wb.INSTALLATION_ERROR, TOO_OLD.format(shown_version))], run.describe()
    assert run.boxes[0].buttons == [wb.IDOK] and run.boxes[0].icon, run.describe()


def test_windows_too_old_shows_the_configured_message(bench, demo_msi):
    run = bench.run_setup(media_with(bench, demo_msi, MinWinVersion="11.0",
                                     MinWinMessage="Too old\\r\\nSee readme"), ["/i"])

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [
        (wb.INSTALLATION_ERROR, "Too old\r\nSee readme")], run.describe()


@pytest.mark.parametrize("args", [["/i", "/quiet"], ["/i", "/passive"]], ids=["quiet", "passive"])
def test_windows_too_old_is_silent_when_unattended_and_logs_why(bench, demo_msi, args):
    run = bench.run_setup(media_with(bench, demo_msi, MinWinVersion="11.0"), args)

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    log = only_log(bench, run)
    assert log.entries[0] == "UILevel is set to {}\r\n".format(2 if "/quiet" in args else 67)
    assert log.text.endswith("]: " + TOO_OLD.format("'Windows 11.0'") + "\r\n"), log.text


def test_windows_new_enough_goes_on(bench, demo_msi):
    # Wine's new prefix reports Windows 7 (6.1); the run then goes on to the
    # operation-type check, which refuses MsiType=Minor.
    run = bench.run_setup(media_with(bench, demo_msi, MinWinVersion="6.1", MsiType="Minor"),
                          ["/i", "/quiet"])

    assert run.exit_code == 3, run.describe()
    assert MSI_TYPE_REFUSED.format("Minor") + "\r\n" in only_log(bench, run).entries


@pytest.mark.parametrize("main, value, key", [
    ({"MinWinVersion": "6.x"}, "6.x", "MinWinVersion"),
    ({"MinWinVersion": "6.1", "MinWinServicePack": "x"}, "x", "MinWinServicePack"),
], ids=["version", "service-pack"])
def test_invalid_minimum_version_is_an_internal_error_naming_the_log(bench, demo_msi, main, value, key):
    run = bench.run_setup(media_with(bench, demo_msi, **main), ["/i"])

    assert run.exit_code == 3, run.describe()
    log = only_log(bench, run)
    invalid = f"CheckWinVersion() failed. Invalid version '{value}' in variable '{{}}'.\r\n"
    assert invalid.format(key) in log.entries, log.text
    other = {"MinWinVersion": "MinWinServicePack", "MinWinServicePack": "MinWinVersion"}[key]
    assert not any(entry.startswith("CheckWinVersion() failed") and other in entry
                   for entry in log.entries), log.text
    log_path = bench.prefix.temp_windows + log.path.name
    assert [(box.caption, box.text) for box in run.boxes] == [
        (wb.INSTALLATION_ERROR, INTERNAL_ERROR.format(log_path))], run.describe()
