"""A msi.dll planted beside setup.exe (as in a Downloads folder) is never
loaded: the program takes the Windows Installer library from the system
folder only. Wine prefers its built-in msi.dll anyway, so the runs also
force native libraries first (msi=n,b), under which a careless load of
"msi.dll" does pick the plant, as the control case shows."""

import pytest

OVERRIDES = [pytest.param(None, id="wine-defaults"), pytest.param("msi=n,b", id="native-first")]


@pytest.fixture
def planted_media(bench, demo_msi):
    # MsiType=Minor ends the run after the package has been read.
    return bench.make_media(ini={"Main": {"MsiPath": "demo.msi", "MsiType": "Minor"}},
                            files={"demo.msi": demo_msi, "msi.dll": bench.tools / "msi.dll",
                                   "loadlib.exe": bench.tools / "loadlib.exe"})


def test_control_a_careless_load_picks_the_plant(bench, planted_media):
    run = bench.start(planted_media.windows("loadlib.exe"), ["msi.dll"], dll_overrides="msi=n,b")
    assert run.wait() == 0, run.describe()
    marker = planted_media.path("msi.dll.loaded")
    assert marker.exists(), "the planted library was not loaded by a program that searches its folder"
    assert planted_media.windows("loadlib.exe") in marker.read_text(errors="replace")


@pytest.mark.x86
@pytest.mark.parametrize("overrides", OVERRIDES)
def test_planted_msi_dll_is_never_loaded(bench, planted_media, overrides):
    run = bench.run_setup(planted_media, ["/i", "/quiet"], dll_overrides=overrides)

    assert not planted_media.path("msi.dll.loaded").exists(), run.describe()
    # The run did use the installer library: the log is named after the
    # product name read from the package.
    assert run.exit_code == 3, run.describe()
    assert [path.name.startswith("Demo Product Setup (") for path in bench.temp_logs()] == [True], \
        run.describe()
