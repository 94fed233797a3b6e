"""The language transform: a file named after a language identifier with
".mst" beside setup.exe, chosen by LangId of setup.ini or by the user's
language, goes to the installer as TRANSFORMS="..." at the end of the
command line; every decision is logged. The recording msi.dll shows the
command line; any file of the right name serves as the transform."""

import pytest

import product_runs as pr

PACKAGE_BYTES = b"package: the recording msi.dll opens any file"
TRANSFORM_BYTES = b"transform: only its name matters here"


def langid_entries(entries):
    return [entry for entry in entries if "LangId" in entry]


def the_command_line(recording_msi):
    calls = recording_msi.calls("MsiInstallProductA")
    assert len(calls) == 1, recording_msi.describe()
    return calls[0].args[1]


@pytest.mark.parametrize("msi_prop, command_line", [
    ("DEMOPROP=1", 'DEMOPROP=1 TRANSFORMS="{transform}"'),
    (None, ' TRANSFORMS="{transform}"'),
], ids=["after-the-properties", "alone-with-its-blank"])
def test_configured_language_with_its_transform(bench, recording_msi, msi_prop, command_line):
    main = {"LangId": 1049}
    if msi_prop:
        main["MsiProp"] = msi_prop
    media = pr.demo_media(bench, PACKAGE_BYTES, main=main, files={"1049.mst": TRANSFORM_BYTES})
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert run.exit_code == 0, run.describe()
    transform = media.windows("1049.mst")
    assert the_command_line(recording_msi) == command_line.format(transform=transform), \
        recording_msi.describe()
    entries = pr.the_run_log(bench).entries
    assert langid_entries(entries) == ["LangId 1049 is set from ini file\r\n",
                                       f"LangId transform is {transform}\r\n"], entries


def test_configured_language_without_its_transform_never_falls_back(bench, recording_msi):
    # 1033.mst lies there too: a configured language is not traded for another.
    media = pr.demo_media(bench, PACKAGE_BYTES, main={"LangId": 1049, "MsiProp": "DEMOPROP=1"},
                          files={"1033.mst": TRANSFORM_BYTES})
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert run.exit_code == 0, run.describe()
    assert the_command_line(recording_msi) == "DEMOPROP=1", recording_msi.describe()
    entries = pr.the_run_log(bench).entries
    assert langid_entries(entries) == ["LangId 1049 is set from ini file\r\n",
                                       "LangId transform not found\r\n"], entries


def test_folder_named_like_the_transform_counts_as_found(bench, recording_msi):
    media = pr.demo_media(bench, PACKAGE_BYTES, main={"LangId": 1049},
                          files={"1049.mst/inside.txt": b"a folder, not a file"})
    run = bench.run_setup(media, ["/i", "/quiet"])

    assert run.exit_code == 0, run.describe()
    assert the_command_line(recording_msi) == f' TRANSFORMS="{media.windows("1049.mst")}"', \
        recording_msi.describe()


@pytest.mark.parametrize("with_transform", [True, False], ids=["transform-present", "no-transform"])
def test_user_language_chooses_the_transform(bench, recording_msi, with_transform):
    files = {"1049.mst": TRANSFORM_BYTES} if with_transform else {}
    media = pr.demo_media(bench, PACKAGE_BYTES, main={"MsiProp": "DEMOPROP=1"}, files=files)
    run = bench.run_setup(media, ["/i", "/quiet"], locale="ru_RU.UTF-8")

    assert run.exit_code == 0, run.describe()
    entries = pr.the_run_log(bench).entries
    transform = media.windows("1049.mst")
    if with_transform:
        assert langid_entries(entries) == ["User LangId is 1049\r\n",
                                           f"LangId transform is {transform}\r\n"], entries
        assert the_command_line(recording_msi) == f'DEMOPROP=1 TRANSFORMS="{transform}"', \
            recording_msi.describe()
    else:
        # The primary language of 1049 is 1049 again: tried once more.
        assert langid_entries(entries) == [
            "User LangId is 1049\r\n",
            "Language transform for LangId 1049 not found, trying primary language\r\n",
            "Primary LangId is 1049\r\n",
            "Primary LangId transform not found\r\n"], entries
        assert the_command_line(recording_msi) == "DEMOPROP=1", recording_msi.describe()
