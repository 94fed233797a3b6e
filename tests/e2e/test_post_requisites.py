"""Post-requisite programs ([PostReq0], [PostReq1], ...): run in section
order after the product has been freshly installed, each whatever the one
before it returned, and not at all when the product's version was already
on the machine."""

import pytest

import prereq_bench as pb


@pytest.fixture(autouse=True)
def _tools(tools):
    pb.require_tools(tools)


def post_requisite_media(bench, demo_msi):
    marker = pb.marker_path("post")
    component = "#Root#\\component.exe"
    postreqs = [
        # A failing program does not stop the ones after it.
        {"Name": "Failing Post Step", "InstPath": component,
         "InstParams": f'"#InstPath#" 1603 {marker} first'},
        {"Name": "Second Post Step", "InstPath": component,
         "InstParams": f'"#InstPath#" 0 {marker} second'},
        {"Name": "Third Post Step", "InstPath": component,
         "InstParams": f'"#InstPath#" 0 {marker} third'},
    ]
    return bench.make_media(ini=pb.setup_ini({"MsiPath": "demo.msi"}, postreqs=postreqs),
                            files={"demo.msi": demo_msi, "component.exe": bench.tools / "component.exe"})


def post_steps_run(bench):
    return [line.split()[-1] for line in pb.markers(bench).get("post", "").splitlines()]


@pytest.mark.private_prefix
def test_post_requisites_run_after_a_fresh_install_but_not_when_the_version_is_installed(bench, demo_msi):
    media = post_requisite_media(bench, demo_msi)

    first = bench.run_setup(media, pb.PASSIVE, timeout=180)
    assert first.exit_code == 0, first.describe()
    assert first.boxes == [], first.describe()
    assert pb.reg_query(bench, "HKLM\\Software\\Demo Maker\\Demo Product", "Version").returncode == 0, \
        "the product was not installed"
    assert post_steps_run(bench) == ["first", "second", "third"], first.describe()
    # Their commands were formed from InstParams with #InstPath# replaced.
    expected = f'"{media.windows("component.exe")}" 0 {pb.marker_path("post")} second'
    assert expected in pb.markers(bench)["post"].splitlines(), pb.markers(bench)

    # The same version again: nothing is freshly installed, nothing runs.
    (bench.prefix.drive_c / "logs" / "post.marker").unlink()
    bench.clear_temp()
    again = bench.run_setup(media, pb.PASSIVE, timeout=180)
    assert again.exit_code == 0, again.describe()
    assert post_steps_run(bench) == [], again.describe()
