"""Prerequisites proved present by the version resource of a file
(FilePath, FileVer): a file older than required, or missing, makes the
component needed, and the setup log says why. The version library that
reads version resources is bound at run time, never imported: the shipped
images do not name it, and the probe still works.

tools/versioned.rc gives two libraries the file versions 1.2.3.4 and
2.0.0.0; the product step is the recording msi.dll's."""

import re
import shutil

import pytest

import prereq_bench as pb
import winebench as wb


@pytest.fixture(autouse=True)
def _tools(tools):
    pb.require_tools(tools)


@pytest.mark.parametrize("library, file_ver, installed", [
    ("versioned-1.2.3.4.dll", "2.0", True),
    ("versioned-1.2.3.4.dll", "1.0", False),
    ("versioned-2.0.0.0.dll", "2.0", False),
    (None, "1.0", True),
], ids=["1.2.3.4-older-than-2.0", "1.2.3.4-newer-than-1.0", "2.0.0.0-equal-to-2.0", "missing-file"])
def test_file_version_probe_decides(bench, recording_msi, library, file_ver, installed):
    files = {"demo.msi": b"read by the recording msi.dll only",
             "component.exe": bench.tools / "component.exe"}
    if library:
        files["runtime\\runtime.dll"] = bench.tools / library
    marker = pb.marker_path("runtime")
    media = bench.make_media(ini=pb.setup_ini({"MsiPath": "demo.msi"}, prereqs=[{
        "Name": "Runtime",
        "InstPath": "#Root#\\component.exe",
        "InstParams": f'"#InstPath#" 0 {marker}',
        "FilePath": "#Root#\\runtime\\runtime.dll",
        "FileVer": file_ver,
    }]), files=files)

    run = bench.run_setup(media, pb.PASSIVE)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    raw = pb.only_log_bytes(bench, run)
    path = media.windows("runtime\\runtime.dll")
    command = f'"{media.windows("component.exe")}" 0 {marker}'
    assert (pb.markers(bench).get("runtime") == command + "\r\n") == installed, \
        (pb.markers(bench), pb.readable(raw))
    assert pb.has_entry(raw, f"MsiInstall({command}) return code 0\r\n") == installed, pb.readable(raw)
    too_old = (f"IsValidFileVersion() failed. Current version(1.2.3.4) of file '{path}' early of "
               f"required file vesion(2.0.0.0).\r\n")
    assert pb.has_entry(raw, too_old) == (library == "versioned-1.2.3.4.dll" and installed), pb.readable(raw)
    no_version = f"IsValidFileVersion() failed. Can't get version of file '{path}'. "
    assert pb.has_entry(raw, no_version) == (library is None), pb.readable(raw)
    assert recording_msi.calls("MsiInstallProductA"), recording_msi.describe()


@pytest.mark.x86
def test_system_macro_names_the_system_folder_of_32_bit_programs(bench, recording_msi, arch):
    # The library lies in the 32-bit system folder only; both builds find it
    # there. Their #System# texts differ: the x86 program reads system32,
    # which Windows redirects for it; the x64 one names syswow64 itself.
    shutil.copyfile(bench.tools / "versioned-2.0.0.0.dll",
                    bench.prefix.drive_c / "windows" / "syswow64" / "setup-probe.dll")
    marker = pb.marker_path("absent")
    files = {"demo.msi": b"read by the recording msi.dll only",
             "component.exe": bench.tools / "component.exe"}
    common = {"InstPath": "#Root#\\component.exe", "FileVer": "2.0"}
    media = bench.make_media(ini=pb.setup_ini({"MsiPath": "demo.msi"}, prereqs=[
        {"Name": "Present", "FilePath": "#System#\\setup-probe.dll", **common,
         "InstParams": f'"#InstPath#" 0 {pb.marker_path("present")}'},
        {"Name": "Absent", "FilePath": "#System#\\absent-probe.dll", **common,
         "InstParams": f'"#InstPath#" 0 {marker}'},
    ]), files=files)

    run = bench.run_setup(media, pb.PASSIVE)

    assert run.exit_code == 0, run.describe()
    raw = pb.only_log_bytes(bench, run)
    assert sorted(pb.markers(bench)) == ["absent"], pb.readable(raw)
    system = {"x86": "C:\\windows\\system32", "x64": "C:\\windows\\syswow64"}[arch]
    assert pb.has_entry(raw, f"IsValidFileVersion() failed. Can't get version of file "
                             f"'{system}\\absent-probe.dll'. "), pb.readable(raw)


IMAGES = [
    pytest.param((wb.REPO / "dist" / "x64" / "setup.exe", "x86_64-w64-mingw32-objdump"), id="x64"),
    pytest.param((wb.REPO / "dist" / "setup.exe", "i686-w64-mingw32-objdump"), id="x86"),
]


@pytest.mark.parametrize("image", IMAGES)
def test_version_library_is_not_imported(image):
    # Imported, version.dll would be searched for beside the program before
    # WinMain runs. (Under Wine a planted version.dll cannot be tested: its
    # own user32 loads the library first.)
    path, objdump = image
    if not path.is_file():
        pytest.skip(f"{path} is not built here")
    if shutil.which(objdump) is None:
        pytest.fail(f"{objdump} is missing (binutils-mingw-w64)", pytrace=False)
    headers = wb.objdump_private_headers(objdump, path)
    imported = {name.lower() for name in re.findall(r"^\s*DLL Name:\s*(\S+)", headers, re.M)}
    assert imported, "no import table found"
    assert "version.dll" not in imported, sorted(imported)
    # Nor any of its entries through another name.
    assert not re.search(r"\b(GetFileVersionInfo\w*|VerQueryValue\w*)\b", headers), \
        "version entries in the import table"
