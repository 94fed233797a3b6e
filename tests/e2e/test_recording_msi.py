"""The bench's recording msi.dll reaches the program under test alone:
Wine's per-program override prefers it for programs named setup.exe, while
every other program of the prefix (an installer that setup.exe starts, the
bench's helpers) keeps Wine's own msi.dll."""

SYSTEM_MSI = "C:\\windows\\system32\\msi.dll"


def test_the_double_is_loaded_by_programs_named_setup_exe_only(bench, recording_msi):
    loadlib = bench.tools / "loadlib.exe"
    media = bench.make_media(files={"loadlib.exe": loadlib, "renamed/setup.exe": loadlib})

    other = bench.start(media.windows("loadlib.exe"), [SYSTEM_MSI])
    assert other.wait() == 0, other.describe()
    assert recording_msi.loads() == [], recording_msi.describe()

    named_setup = bench.start(media.windows("renamed\\setup.exe"), [SYSTEM_MSI])
    assert named_setup.wait() == 0, named_setup.describe()
    assert recording_msi.loads() == [media.windows("renamed\\setup.exe")], recording_msi.describe()
