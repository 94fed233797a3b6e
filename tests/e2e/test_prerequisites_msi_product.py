"""A prerequisite proved present by the install state of its own package
(MsiProd, InstPath), and installed through an msiexec command line whose
"#InstPath#" and "#Temp#" the setup fills in.

Everything is real here: Wine's installer answers for the prerequisite
package (packages/prereq.wxs), installs it when asked, and installs the
product."""

import pytest

import prereq_bench as pb


@pytest.fixture(autouse=True)
def _tools(tools):
    pb.require_tools(tools)


@pytest.mark.private_prefix
@pytest.mark.parametrize("installed_before", [True, False], ids=["already-installed", "missing"])
def test_msi_product_probe_installs_the_package_only_when_missing(bench, demo_msi, prereq_msi,
                                                                  installed_before):
    media = bench.make_media(ini=pb.setup_ini({"MsiPath": "demo.msi"}, prereqs=[{
        "Name": "Demo Prerequisite",
        "InstPath": "#Root#\\prereq.msi",
        "InstParams": 'msiexec /i "#InstPath#" /qn /l*v "#Temp#prereq.log"',
        "MsiProd": "1",
    }]), files={"demo.msi": demo_msi, "prereq.msi": prereq_msi})
    if installed_before:
        result = bench.prefix.wine(["msiexec", "/i", media.windows("prereq.msi"), "/qn"])
        assert result.returncode == 0 and pb.prereq_installed(bench), result
        bench.clear_temp()

    run = bench.run_setup(media, pb.PASSIVE, timeout=180)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert pb.reg_query(bench, "HKLM\\Software\\Demo Maker\\Demo Product", "Version").returncode == 0, \
        "the product was not installed"
    assert pb.prereq_installed(bench)
    # The installer's own log, in the temporary folder that "#Temp#" named,
    # exists only when the setup ran the component's command.
    installer_log = bench.temp_dir / "prereq.log"
    assert installer_log.exists() == (not installed_before), \
        [path.name for path in bench.temp_dir.iterdir()]
    if not installed_before:
        text = installer_log.read_bytes().decode("utf-16-le" if installer_log.read_bytes()[:2] == b"\xff\xfe"
                                                 else "latin-1", "replace")
        assert "prereq.msi" in text.lower(), text[:2000]
