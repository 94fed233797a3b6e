"""One run at a time per package: a second run for the same MsiPath value
ends with 3 and shows nothing while the first still runs; runs for other
packages are not held back, and a package in a subfolder of the medium
takes part like any other."""

import pytest

import winebench as wb

MSI_TYPE_REFUSED = "The setup was authored with an incorrect operation type 'Minor' and cannot continue.\r\n"

PACKAGE_PATHS = [pytest.param("demo.msi", id="beside-setup"),
                 pytest.param("packages\\demo.msi", id="in-subfolder")]


def held_back_media(bench, demo_msi, msi_path, name, **main):
    return bench.make_media(ini={"Main": {"MsiPath": msi_path, **main}},
                            files={msi_path.replace("\\", "/"): demo_msi}, name=name)


def start_waiting_at_a_box(bench, media):
    """A first run at the full level that stays at a box shown after it took
    the guard (the operation-type refusal; the Windows-version box comes too
    early)."""
    run = bench.start_setup(media, ["/i"], answer=wb.leave_open)
    box = run.wait_for_box()
    assert box is not None, run.describe()
    return run, box


def refused_type_logged(bench, log_windows):
    return MSI_TYPE_REFUSED in bench.read_log(log_windows).entries


@pytest.mark.parametrize("msi_path", PACKAGE_PATHS)
def test_second_run_for_the_same_package_exits_3_silently(bench, demo_msi, msi_path):
    first_media = held_back_media(bench, demo_msi, msi_path, "first", MsiType="Minor")
    # Alone, the second run logs the operation-type refusal; held back by
    # the first, it stops before that check.
    second_media = held_back_media(bench, demo_msi, msi_path, "second", MsiType="Minor")
    bench.make_folder("logs")

    first, box = start_waiting_at_a_box(bench, first_media)
    try:
        second = bench.run_setup(second_media, ["/i", "/quiet", "/log", "C:\\logs\\second.log"])
        assert second.exit_code == 3, second.describe()
        assert second.boxes == [], second.describe()
        entries = bench.read_log("C:\\logs\\second.log").entries
        assert entries[:1] == ["UILevel is set to 2\r\n"] and MSI_TYPE_REFUSED not in entries, entries
    finally:
        bench.answerer.answer(box, wb.KEY_OK)
    assert first.wait() == 3, first.describe()

    # With the first run gone, the same second run reaches the check.
    again = bench.run_setup(second_media, ["/i", "/quiet", "/log", "C:\\logs\\again.log"])
    assert again.exit_code == 3, again.describe()
    assert refused_type_logged(bench, "C:\\logs\\again.log"), again.describe()


def test_runs_for_different_packages_do_not_exclude_each_other(bench, demo_msi):
    first_media = held_back_media(bench, demo_msi, "demo.msi", "first", MsiType="Minor")
    other_media = held_back_media(bench, demo_msi, "other.msi", "other", MsiType="Minor")
    bench.make_folder("logs")

    first, box = start_waiting_at_a_box(bench, first_media)
    try:
        other = bench.run_setup(other_media, ["/i", "/quiet", "/log", "C:\\logs\\other.log"])
        assert other.exit_code == 3, other.describe()
        assert refused_type_logged(bench, "C:\\logs\\other.log"), other.describe()
    finally:
        bench.answerer.answer(box, wb.KEY_OK)
    assert first.wait() == 3, first.describe()


def test_package_in_a_subfolder_runs_past_the_single_instance_check(bench, demo_msi):
    media = held_back_media(bench, demo_msi, "packages\\demo.msi", "m1", MsiType="Minor")
    bench.make_folder("logs")
    run = bench.run_setup(media, ["/i", "/quiet", "/log", "C:\\logs\\run.log"])

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    assert refused_type_logged(bench, "C:\\logs\\run.log"), run.describe()
