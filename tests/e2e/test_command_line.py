"""The usage box: a first token that is no operation switch, or an
administrative install without exactly one target, shows the usage text
(whatever the display options say) and ends the run with 3."""

import pytest

import winebench as wb

USAGE_START = "Usage:\n   setup.exe /option [optional parameter]"


@pytest.fixture(scope="module")
def english():
    return wb.read_string_table("neutral")


@pytest.fixture
def product_media(bench, demo_msi):
    return bench.make_media(ini={"Main": {"MsiPath": "demo.msi"}}, files={"demo.msi": demo_msi})


@pytest.mark.parametrize("args", [
    pytest.param(["/passive"], marks=pytest.mark.x86),
    ["/quiet"],
    ["/I"],
    ["/install"],
    ["ABC=DEF"],
    ["/passive", "/i"],
    ["/a"],
    ["/a", "C:\\admin", "/passive"],
    ["-A"],
    ["/a", "C:\\admin", "C:\\other"],
], ids=["passive-first", "quiet-first", "capital-I", "long-switch", "property-first",
        "passive-before-i", "a-without-target", "a-with-target-and-option",
        "dash-A-without-target", "a-with-two-targets"])
def test_malformed_command_line_shows_usage_and_exits_3(bench, product_media, english, args):
    run = bench.run_setup(product_media, args)

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [
        (wb.USAGE_CAPTION, english[137])], run.describe()
    assert english[137].startswith(USAGE_START)
    assert run.boxes[0].buttons == [wb.IDOK] and run.boxes[0].icon, run.describe()


@pytest.mark.parametrize("args", [["/i", "/quiet"], ["-i", "/quiet"], ["/i", "-QUIET"]],
                         ids=["slash-i", "dash-i", "dash-quiet-upper-case"])
def test_install_switch_shows_no_usage(bench, demo_msi, args):
    # MsiType=Minor stops a product run quietly after the command line is read.
    media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi", "MsiType": "Minor"}},
                             files={"demo.msi": demo_msi})
    run = bench.run_setup(media, args)

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
