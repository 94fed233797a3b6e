"""The media of media.txt (README.md), the report's two forms, media that cannot be read, wrong commands."""

import json

import pytest

from conftest import DEMO_CODE, HERE, check

ENCODINGS = {"plain": str.encode, "latin-1": lambda t: t.encode("latin-1"),
             "utf-16": lambda t: b"\xff\xfe" + t.encode("utf-16-le"), "utf-8-bom": lambda t: b"\xef\xbb\xbf" + t.encode()}


def load_media():
    for block in (HERE / "media.txt").read_text(encoding="utf-8").split("\n== ")[1:]:
        head, expect = block.split("\n-- expect:")
        title, *ini = head.split("\n")
        options = dict(line[3:].split(": ", 1) for line in ini if line.startswith("-- "))
        ini = "\r\n".join(line for line in ini if not line.startswith("-- ")).strip() + "\r\n"
        yield pytest.param(ini, options, [line for line in expect.split("\n") if line], id=title)


@pytest.mark.parametrize("ini, options, expect", load_media())
def test_medium(ini, options, expect, media):
    program = options.get("program", "setup.exe")
    media(b"[Main]\r\nMsiPth=decoy.msi\r\n")  # read only if install.ini is not
    folder = media(ENCODINGS[options.get("ini", "plain")](ini), options.get("files", ""), program[:-4] + ".ini")
    run = check(folder / program if program != "setup.exe" else folder, "--json",
                *(["--codepage", options["codepage"]] if "codepage" in options else []))
    findings = [f"{f['section'] or 'setup.ini'}{' ' + f['key'] if f['key'] else ''}: {f['reason']}"
                for f in json.loads(run.stdout)["findings"]]
    def sections(items):  # in the file's order; the order within a section is the checks'
        return [item.split(":")[0].split(" ")[0].lower() for item in items]
    assert (sorted(findings), sections(findings), run.returncode) == (
        sorted(expect), sections(expect), 1 if expect else 0), run.stderr


def test_report_as_json_and_as_lines(media):
    folder = media(b"[Main]\nMsiPath=product.msi\nName=Demo\nLangId=1031\n", "product.msi=demo")
    transform = "no transform 1031.mst beside the program: the package installs without one"
    ignored = "ignored: only a patch run (MsiPatch=1) shows it"
    run = check(folder, "--json")
    assert (run.returncode, json.loads(run.stdout)) == (1, {
        "media": str(folder), "ini": "setup.ini",
        "package": {"path": "product.msi", "opened": True, "ProductCode": DEMO_CODE, "ProductVersion": "1.0.0",
                    "ProductName": "Demo Product", "Template": "x64;1033", "platform": "x64", "ALLUSERS": "1",
                    "schema": 200, "wordCount": 2},
        "findings": [{"section": "Main", "key": "LangId", "reason": transform, "severity": "error"},
                     {"section": "Main", "key": "Name", "reason": ignored, "severity": "warning"}]})
    run = check(folder)
    assert (run.returncode, run.stdout.splitlines()) == (1, [
        f"Main LangId: {transform}", f"Main Name: {ignored}",
        f'2 findings in setup.ini; package product.msi: "Demo Product" 1.0.0, ProductCode {DEMO_CODE}, '
        'Template "x64;1033"'])


@pytest.mark.parametrize("target", ["no-such-folder", ".", "install.exe"])
def test_media_without_configuration_exit_2(target, tmp_path):
    (tmp_path / "setup.ini.bak").write_text("[Main]\nMsiPath=product.msi\n")
    run = check(tmp_path / target, "--json")
    ini = "install.ini" if target == "install.exe" else "setup.ini"
    assert (run.returncode, json.loads(run.stdout)["error"]) == (2, f"cannot read the media: no {ini} in {tmp_path / target}")


@pytest.mark.parametrize("args, error", [
    *[(args, "usage: setupcheck ") for args in (
        ["--json"], ["--detect", "--deploy", "m"], ["--deploy", "intune", "m", "--json"], ["m", "--out", "dir"],
        ["--deploy", "winget", "m", "--id", "A.B"], ["--detect", "m", "--codepage", "1251"],
        ["--deploy", "winget", "m", "--id", "A.B", "--url", "https://a", "--sha256", "0" * 64, "--zip", "m.zip", "--out", "d"])],
    ([".", "--codepage", "1255"],
     "setupcheck: no table for code page 1255; --codepage takes 932, 1250, 1251, 1252, 1253, 1254, 1257, 65001\n")])
def test_wrong_command_exit_2(args, error):
    run = check(*args)
    assert (run.returncode, run.stderr[:len(error)]) == (2, error)
