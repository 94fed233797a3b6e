"""What a user sees when the configuration file or the package beside the
program cannot be read: a plain error box before anything else, whatever
the command line asks for, and exit code 3."""

import pytest

import winebench as wb


@pytest.mark.parametrize("args", [[], ["/quiet"], pytest.param(["/i", "/quiet"], marks=pytest.mark.x86),
                                  ["/i", "/passive"]],
                         ids=["no-arguments", "quiet", "install-quiet", "install-passive"])
def test_missing_ini_shows_its_full_path_and_exits_3(bench, args):
    media = bench.make_media(ini=None)
    run = bench.run_setup(media, args)

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [
        (wb.INSTALLATION_ERROR, f"Can't find ini file:\r\n'{media.ini_windows}'")], run.describe()
    assert run.boxes[0].buttons == [wb.IDOK] and run.boxes[0].icon, run.describe()


def test_missing_ini_creates_no_log_in_the_temporary_folder(bench):
    media = bench.make_media(ini=None)
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert run.exit_code == 3, run.describe()
    assert bench.temp_logs() == []


def test_ini_is_found_by_the_program_name_not_by_setup(bench, demo_msi):
    # A copy named install.exe reads install.ini; a setup.ini beside it is
    # not its configuration.
    media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi"}}, files={"demo.msi": demo_msi})
    media.path("install.exe").write_bytes(bench.program.read_bytes())
    run = bench.start(media.windows("install.exe"), ["/quiet"])
    run.wait()

    assert run.exit_code == 3, run.describe()
    assert [box.text for box in run.boxes] == [
        f"Can't find ini file:\r\n'{media.windows('install.ini')}'"], run.describe()


@pytest.mark.parametrize("ini, files, shown_path", [
    ({"Main": {"MsiPath": "missing.msi"}}, {}, "missing.msi"),
    ({"Main": {"MsiPath": "packages\\missing.msi"}}, {}, "packages\\missing.msi"),
    ({"Main": {"MsiPath": "not-a-package.msi"}}, {"not-a-package.msi": b"plain text, no package\r\n"},
     "not-a-package.msi"),
    ({"Other": {"MsiPath": "demo.msi"}}, {}, ""),
], ids=["missing-file", "missing-file-in-subfolder", "not-a-package", "no-main-section"])
def test_unreadable_package_shows_its_path_and_exits_3(bench, ini, files, shown_path):
    media = bench.make_media(ini=ini, files=files)
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert run.exit_code == 3, run.describe()
    expected = f"Can't read installation property from file:\n'{media.windows_dir}\\{shown_path}'."
    assert [(box.caption, box.text) for box in run.boxes] == [(wb.INSTALLATION_ERROR, expected)], \
        run.describe()
    assert bench.temp_logs() == []


def test_package_is_unreadable_without_the_installer_library(bench, demo_msi):
    # msi=d makes Wine refuse to load msi.dll at all.
    media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi"}}, files={"demo.msi": demo_msi})
    run = bench.run_setup(media, ["/i", "/quiet"], dll_overrides="msi=d")

    assert run.exit_code == 3, run.describe()
    assert [box.text for box in run.boxes] == [
        f"Can't read installation property from file:\n'{media.windows_dir}\\demo.msi'."], \
        run.describe()
