"""The product through Wine's own installer: a quiet install on a clean
machine, and the versions of one product (one ProductCode) meeting each
other: the same version installs again, a newer installed version refuses
the package, an older one is refused when UpdateDisable=1 and upgraded in
an unattended run otherwise.

Wine's installer truncates the setup log when it runs and writes its own
8-bit text into it: after an installer call only the entries that follow it
remain (the recording msi.dll tests show the lines before it, and the exact
upgrade command line)."""

import pytest

import product_runs as pr
import winebench as wb

PAYLOAD = ("Program Files", "Demo Product", "payload.txt")


def installed_version(bench):
    return pr.registry_value(bench, pr.DEMO_KEY, "Version")


def payload_installed(bench):
    path = bench.prefix.drive_c.joinpath(*PAYLOAD)
    return path.is_file() and path.read_bytes() == (wb.PACKAGES_DIR / "payload.txt").read_bytes()


def install_first(bench, package, version):
    """The product as a user installed it before: setup.exe /i /quiet."""
    media = pr.demo_media(bench, package, name="installed-before")
    run = bench.run_setup(media, ["/i", "/quiet"], timeout=180)
    assert run.exit_code == 0, run.describe()
    assert installed_version(bench) == version
    bench.clear_temp()


@pytest.fixture(scope="module")
def demo_2_msi(make_package):
    """Demo Product 2.0.0, the same ProductCode as demo_msi (1.0.0)."""
    return make_package(ProductName="Demo Product", ProductVersion="2.0.0")


@pytest.mark.private_prefix
def test_quiet_install_on_a_clean_machine(bench, demo_msi):
    media = pr.demo_media(bench, demo_msi)
    run = bench.run_setup(media, ["/i", "/quiet"], timeout=180)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert payload_installed(bench)
    assert installed_version(bench) == "1.0.0"
    # Wine's installer rewrote the file with its own text; the setup log's
    # entries after the call follow it, in UTF-16.
    log = pr.the_run_log(bench)
    kinds = [kind for kind, _ in log.mixed.segments]
    assert kinds[0] == "8-bit" and kinds[-1] == "utf-16", log.mixed.segments[:3]
    assert log.entries[-1] == pr.SETUP_COMPLETE, log.text


@pytest.mark.private_prefix
def test_same_version_installed_installs_again(bench, demo_msi):
    install_first(bench, demo_msi, "1.0.0")
    media = pr.demo_media(bench, demo_msi, main={"UpdateDisable": 1})
    run = bench.run_setup(media, ["/i", "/quiet"], timeout=180)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert installed_version(bench) == "1.0.0" and payload_installed(bench)
    assert pr.the_run_log(bench).entries[-1] == pr.SETUP_COMPLETE


@pytest.mark.private_prefix
def test_newer_version_installed_refuses_the_package(bench, demo_msi, demo_2_msi):
    install_first(bench, demo_2_msi, "2.0.0")
    media = pr.demo_media(bench, demo_msi)
    run = bench.run_setup(media, [], timeout=180)

    assert run.exit_code == 3, run.describe()
    log = pr.the_run_log(bench)
    assert ([(box.caption, box.text) for box in run.boxes]
            == [(wb.INSTALLATION_ERROR, pr.log_file_box_text(pr.NEWER_INSTALLED, log.windows))]), \
        run.describe()
    log.assert_failure_reported(pr.NEWER_INSTALLED, 3000)
    assert "Calling MsiInstallProduct" not in log.text, log.text
    assert installed_version(bench) == "2.0.0"


@pytest.mark.private_prefix
def test_older_version_installed_with_update_disabled_refuses_the_upgrade(bench, demo_msi, demo_2_msi):
    install_first(bench, demo_msi, "1.0.0")
    media = pr.demo_media(bench, demo_2_msi, main={"UpdateDisable": 1})
    run = bench.run_setup(media, ["/i", "/quiet"], timeout=180)

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    log = pr.the_run_log(bench)
    log.assert_failure_reported(pr.MINOR_UPDATE_DISABLED, 7086)
    assert "Calling MsiInstallProduct" not in log.text and pr.UPGRADE_QUESTION not in log.text, log.text
    assert installed_version(bench) == "1.0.0"


@pytest.mark.private_prefix
def test_older_version_installed_is_upgraded_in_a_quiet_run(bench, demo_msi, demo_2_msi):
    install_first(bench, demo_msi, "1.0.0")
    media = pr.demo_media(bench, demo_2_msi, main={"UpdateDisable": 2})
    run = bench.run_setup(media, ["/i", "/quiet"], timeout=180)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert pr.the_run_log(bench).entries[-1] == pr.SETUP_COMPLETE
    assert installed_version(bench) == "2.0.0"
    assert payload_installed(bench)
