"""One run at a time per package: a second run for the same MsiPath value
ends with 3 and shows nothing while the first still runs."""

import winebench as wb

MSI_TYPE_REFUSED = "The setup was authored with an incorrect operation type 'Minor' and cannot continue.\r\n"


def test_second_run_for_the_same_package_exits_3_silently(bench, demo_msi):
    # The first run waits at its "Windows too old" box.
    first_media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi", "MinWinVersion": "11.0"}},
                                   files={"demo.msi": demo_msi}, name="first")
    # Alone, the second run would log the operation-type refusal; held back
    # by the first, it stops before that check.
    second_media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi", "MsiType": "Minor"}},
                                    files={"demo.msi": demo_msi}, name="second")
    (bench.prefix.drive_c / "logs").mkdir()

    first = bench.start_setup(first_media, ["/i"], answer=wb.leave_open)
    box = first.wait_for_box()
    assert box is not None, first.describe()
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
    assert MSI_TYPE_REFUSED in bench.read_log("C:\\logs\\again.log").entries


def test_runs_for_different_packages_do_not_exclude_each_other(bench, demo_msi):
    first_media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi", "MinWinVersion": "11.0"}},
                                   files={"demo.msi": demo_msi}, name="first")
    other_media = bench.make_media(ini={"Main": {"MsiPath": "other.msi", "MsiType": "Minor"}},
                                   files={"other.msi": demo_msi}, name="other")
    (bench.prefix.drive_c / "logs").mkdir()

    first = bench.start_setup(first_media, ["/i"], answer=wb.leave_open)
    box = first.wait_for_box()
    assert box is not None, first.describe()
    try:
        other = bench.run_setup(other_media, ["/i", "/quiet", "/log", "C:\\logs\\other.log"])
        assert other.exit_code == 3, other.describe()
        assert MSI_TYPE_REFUSED in bench.read_log("C:\\logs\\other.log").entries
    finally:
        bench.answerer.answer(box, wb.KEY_OK)
    assert first.wait() == 3, first.describe()


def test_package_in_a_subfolder_counts_as_another_instance(bench, demo_msi):
    # The guard's name would hold a backslash after "Global\", which Windows
    # (and Wine) refuse to create; a guard that cannot be created is taken
    # for another run, so the run ends there, silently, before the
    # operation-type check.
    media = bench.make_media(ini={"Main": {"MsiPath": "packages\\demo.msi", "MsiType": "Minor"}},
                             files={"packages/demo.msi": demo_msi})
    run = bench.run_setup(media, ["/i"])

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    logs = bench.temp_logs()
    assert len(logs) == 1, run.describe()
    entries = bench.read_log(logs[0]).entries
    assert entries == ["UILevel is set to 5\r\n"], entries
