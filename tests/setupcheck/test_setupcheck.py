"""The Linux setupcheck (dist/linux/setupcheck, or $SETUPCHECK) against the media of media.txt, each with
its findings and exit code; the report's two forms once; media that cannot be read."""

import json
import os
import subprocess
from pathlib import Path

import pytest

HERE = Path(__file__).resolve().parent
PROGRAM = os.environ.get("SETUPCHECK", str(HERE.parent.parent / "dist" / "linux" / "setupcheck"))
DEMO_CODE = "{5A0C6E1B-3F2D-4C8A-9E47-1D2B3C4D5E61}"
ENCODINGS = {"plain": str.encode, "latin-1": lambda t: t.encode("latin-1"),
             "utf-16": lambda t: b"\xff\xfe" + t.encode("utf-16-le"),
             "utf-8-bom": lambda t: b"\xef\xbb\xbf" + t.encode()}


def load_media():
    for block in (HERE / "media.txt").read_text(encoding="utf-8").split("\n== ")[1:]:
        head, expect = block.split("\n-- expect:")
        title, *ini = head.split("\n")
        options = dict(line[3:].split(": ", 1) for line in ini if line.startswith("-- "))
        yield pytest.param([line for line in ini if not line.startswith("-- ")], options,
                           [line for line in expect.split("\n") if line], id=title)


def check(target, *options):
    return subprocess.run([PROGRAM, str(target), *options], capture_output=True, text=True, timeout=60)


@pytest.mark.parametrize("ini, options, expect", load_media())
def test_medium(ini, options, expect, packages, tmp_path):
    for name, _, package in (item.partition("=") for item in options.get("files", "").split()):
        (tmp_path / name).parent.mkdir(exist_ok=True)
        (tmp_path / name).write_bytes(packages[package] if package else b"not a package\r\n")
    program = options.get("program", "setup.exe")
    (tmp_path / "setup.ini").write_text("[Main]\r\nMsiPth=decoy.msi\r\n")  # read only if install.ini is not
    encode = ENCODINGS[options.get("ini", "plain")]
    (tmp_path / program).with_suffix(".ini").write_bytes(encode("\r\n".join(ini).strip() + "\r\n"))

    run = check(tmp_path / program if program != "setup.exe" else tmp_path, "--json",
                *(["--codepage", options["codepage"]] if "codepage" in options else []))

    findings = [f"{f['section']}{' ' + f['key'] if f['key'] else ''}: {f['reason']}"
                for f in json.loads(run.stdout)["findings"]]
    assert sorted(findings) == sorted(expect), run.stderr
    assert run.returncode == (1 if expect else 0)


def test_report_as_json_and_as_lines(packages, tmp_path):
    (tmp_path / "product.msi").write_bytes(packages["demo"])
    (tmp_path / "setup.ini").write_text("[Main]\nMsiPath=product.msi\nName=Demo\nLangId=1031\n")
    transform = "no transform 1031.mst beside the program: the package installs without one"
    ignored = "ignored: only a patch run (MsiPatch=1) shows it"
    run = check(tmp_path, "--json")
    assert run.returncode == 1
    assert json.loads(run.stdout) == {
        "media": str(tmp_path), "ini": "setup.ini",
        "package": {"path": "product.msi", "opened": True, "ProductCode": DEMO_CODE, "ProductVersion": "1.0.0",
                    "ProductName": "Demo Product", "Template": "x64;1033"},
        "findings": [{"section": "Main", "key": "LangId", "reason": transform, "severity": "error"},
                     {"section": "Main", "key": "Name", "reason": ignored, "severity": "warning"}]}
    run = check(tmp_path)
    assert run.returncode == 1
    assert run.stdout.splitlines() == [
        f"Main LangId: {transform}", f"Main Name: {ignored}",
        f'2 findings in setup.ini; package product.msi: "Demo Product" 1.0.0, ProductCode {DEMO_CODE}, '
        'Template "x64;1033"']


@pytest.mark.parametrize("target", ["no-such-folder", ".", "install.exe"])
def test_media_without_configuration_exit_2(target, tmp_path):
    (tmp_path / "setup.ini.bak").write_text("[Main]\nMsiPath=product.msi\n")
    run = check(tmp_path / target, "--json")
    assert run.returncode == 2
    ini = "install.ini" if target == "install.exe" else "setup.ini"
    assert json.loads(run.stdout)["error"] == f"cannot read the media: no {ini} in {tmp_path / target}"


USAGE = ("usage: setupcheck [--detect] MEDIA_FOLDER|PROGRAM.exe [--json]\n"
         "       setupcheck --deploy [intune] MEDIA_FOLDER|PROGRAM.exe [--json]\n"
         "       setupcheck --deploy winget MEDIA_FOLDER|PROGRAM.exe --id PUBLISHER.PRODUCT --url URL --sha256 HEX --out DIR\n"
         "       setupcheck MEDIA_FOLDER|PROGRAM.exe [--json] --codepage N\n")


@pytest.mark.parametrize("args, error", [
    *[(args, USAGE) for args in (["--json"], ["--detect", "--deploy", "m"], ["--deploy", "intune", "m", "--json"],
                                 ["--deploy", "winget", "m", "--id", "A.B"], ["m", "--out", "dir"],
                                 ["--detect", "m", "--codepage", "1251"])],
    ([".", "--codepage", "1255"],
     "setupcheck: no table for code page 1255; --codepage takes 932, 1250, 1251, 1252, 1253, 1254, 1257, 65001\n")])
def test_wrong_command_exit_2(args, error):
    run = subprocess.run([PROGRAM, *args], capture_output=True, text=True)
    assert (run.returncode, run.stderr) == (2, error)
