"""Public properties reach Wine's installer: those of the command line
replace MsiProp of setup.ini as a whole; without any on the command line,
MsiProp is used. The package (packages/props.wxs) records the values of
MYPROP and OTHERPROP that the installer saw in a registry value."""

import subprocess

import pytest

import product_runs as pr
import winebench as wb

SEEN_KEY = "HKLM\\Software\\Demo Maker\\Props Product"
INI_PROPERTIES = "MYPROP=from-ini OTHERPROP=from-ini"


@pytest.fixture(scope="module")
def props_msi(tmp_path_factory):
    output = tmp_path_factory.mktemp("props") / "props.msi"
    result = subprocess.run(["wixl", "-a", "x64", "-o", str(output), str(wb.PACKAGES_DIR / "props.wxs")],
                            capture_output=True, text=True, timeout=60, check=False)
    if result.returncode != 0 or not output.exists():
        pytest.fail(f"wixl failed: {result.stderr}", pytrace=False)
    return output


@pytest.mark.private_prefix
@pytest.mark.parametrize("args, seen", [
    ('/i /quiet MYPROP="two words"', "two words|"),
    ("/i /quiet", "from-ini|from-ini"),
], ids=["command-line-replaces-MsiProp", "MsiProp-without-command-line-properties"])
def test_installer_receives_the_public_properties(bench, props_msi, args, seen):
    media = pr.demo_media(bench, props_msi, main={"MsiProp": INI_PROPERTIES}, msi_path="props.msi")
    run = bench.run_setup(media, args, timeout=180)

    assert run.exit_code == 0, run.describe()
    # Wine's installer log (in the setup log) lists the properties it saw.
    assert pr.registry_value(bench, SEEN_KEY, "Seen") == seen, pr.the_run_log(bench).text[-3000:]
