"""A component installed through "msiexec ..." runs the system's Windows
Installer program, never an msiexec.exe that a stranger dropped beside
setup.exe (a Downloads folder) or in the folder it was started from: such a
program would run with the setup's administrator rights.

The prerequisite package (packages/prereq.wxs) is installed for real by the
system's msiexec; the product step is the recording msi.dll's."""

import pytest

import prereq_bench as pb


@pytest.fixture(autouse=True)
def _tools(tools):
    pb.require_tools(tools)


def test_control_a_careless_start_of_msiexec_picks_the_plants(bench):
    # The planted program is detectable: a program that lets Windows search
    # for "msiexec" starts the one beside itself, and, when none lies there,
    # the one in its current folder.
    plant = (bench.tools / "planted-msiexec.exe").read_bytes()
    beside = bench.make_media(files={"exitcode.exe": bench.tools / "exitcode.exe", "msiexec.exe": plant})
    run = bench.start(beside.windows("exitcode.exe"), "msiexec /?")
    run.wait()
    assert beside.path("msiexec.exe.started").exists(), run.describe()

    elsewhere = bench.make_media(files={"exitcode.exe": bench.tools / "exitcode.exe"})
    current, _ = bench.make_folder("logs")
    (current / "msiexec.exe").write_bytes(plant)
    run = bench.start(elsewhere.windows("exitcode.exe"), "msiexec /?", cwd=current)
    run.wait()
    assert (current / "msiexec.exe.started").exists(), run.describe()


@pytest.mark.private_prefix
@pytest.mark.parametrize("run_as", [0, 1], ids=["create-process", "runas"])
def test_planted_msiexec_is_never_started_for_a_component(bench, recording_msi, prereq_msi, run_as):
    plant = bench.tools / "planted-msiexec.exe"
    media = bench.make_media(
        ini=pb.setup_ini({"MsiPath": "demo.msi"}, prereqs=[{
            "Name": "Demo Prerequisite",
            "InstPath": "#Root#\\prereq.msi",
            "InstParams": 'msiexec /i "#InstPath#" /qn',
            "RunAs": run_as,
            # Present once its package has written its value (64-bit view).
            "RegPath": "HKEY_LOCAL_MACHINE\\Software\\Demo Maker\\Demo Prerequisite\\Installed",
            "RegCond": "STRING=" + pb.PREREQ_VERSION,
            "Key64": 1,
        }]),
        files={"demo.msi": b"read by the recording msi.dll only", "prereq.msi": prereq_msi,
               "msiexec.exe": plant})
    current, _ = bench.make_folder("logs")
    (current / "msiexec.exe").write_bytes(plant.read_bytes())

    run = bench.run_setup(media, pb.PASSIVE, cwd=current)

    started = [path for path in (media.path("msiexec.exe.started"), current / "msiexec.exe.started")
               if path.exists()]
    assert started == [], "a planted msiexec.exe was started: " + "; ".join(
        path.read_text("utf-8", "replace") for path in started)
    assert run.exit_code == 0, run.describe()
    assert pb.prereq_installed(bench), "the system's msiexec did not install the prerequisite package"
    assert recording_msi.calls("MsiInstallProductA"), recording_msi.describe()
