"""The Linux setupcheck (dist/linux/setupcheck, or $SETUPCHECK) against the
media of media.txt, each with its findings and exit code; the report's two
forms once; media that cannot be read."""

import json
import os
import shutil
import subprocess
from pathlib import Path

import pytest

HERE = Path(__file__).resolve().parent
REPO = HERE.parent.parent
PROGRAM = os.environ.get("SETUPCHECK", str(REPO / "dist" / "linux" / "setupcheck"))
DEMO_CODE = "{5A0C6E1B-3F2D-4C8A-9E47-1D2B3C4D5E61}"
ENCODINGS = {"plain": lambda t: t.encode(), "utf-16": lambda t: b"\xff\xfe" + t.encode("utf-16-le"),
             "utf-8-bom": lambda t: b"\xef\xbb\xbf" + t.encode(), "latin-1": lambda t: t.encode("latin-1")}


def load_media():
    media, case, expecting = [], None, False
    for line in (HERE / "media.txt").read_text(encoding="utf-8").splitlines():
        if line.startswith("== "):
            case = {"title": line[3:], "ini": [], "files": {}, "ini_encoding": "plain",
                    "program": "setup.exe", "expect": []}
            media.append(case)
            expecting = False
        elif case is None or (expecting and not line):
            continue
        elif line.startswith("-- files:"):
            case["files"] = dict((item.split("=") + [""])[:2] for item in line[9:].split())
        elif line.startswith("-- ini:"):
            case["ini_encoding"] = line[7:].strip()
        elif line.startswith("-- program:"):
            case["program"] = line[11:].strip()
        elif line == "-- expect:":
            expecting = True
        else:
            case["expect" if expecting else "ini"].append(line)
    return media


MEDIA = load_media()


@pytest.fixture(scope="session")
def packages(tmp_path_factory):
    folder = tmp_path_factory.mktemp("packages")
    demo, noname = folder / "demo.msi", folder / "noname.msi"
    subprocess.run(["wixl", "-a", "x64", "-o", str(demo), str(REPO / "tests/e2e/packages/demo.wxs")],
                   check=True, capture_output=True)
    shutil.copy(demo, noname)
    subprocess.run(["msibuild", str(noname), "-q", "DELETE FROM `Property` WHERE `Property`='ProductName'"],
                   check=True, capture_output=True)
    return {"demo": demo.read_bytes(), "noname": noname.read_bytes()}


def check(target, *options):
    return subprocess.run([PROGRAM, str(target), *options], capture_output=True, text=True, timeout=60)


def line(finding):
    return f"{finding['section']}{' ' + finding['key'] if finding['key'] else ''}: {finding['reason']}"


@pytest.mark.parametrize("case", MEDIA, ids=[case["title"] for case in MEDIA])
def test_medium(case, packages, tmp_path):
    for name, package in case["files"].items():
        (tmp_path / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / name).write_bytes(packages[package] if package else b"not a package\r\n")
    ini = "\r\n".join(case["ini"]).strip() + "\r\n"
    (tmp_path / case["program"]).with_suffix(".ini").write_bytes(ENCODINGS[case["ini_encoding"]](ini))
    if case["program"] != "setup.exe":
        (tmp_path / "setup.ini").write_text("[Main]\r\nMsiPth=decoy.msi\r\n")

    run = check(tmp_path / case["program"] if case["program"] != "setup.exe" else tmp_path, "--json")

    assert sorted(line(f) for f in json.loads(run.stdout)["findings"]) == sorted(case["expect"]), run.stderr
    assert run.returncode == (1 if case["expect"] else 0)


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


def test_wrong_command_exit_2():
    run = subprocess.run([PROGRAM, "--json"], capture_output=True, text=True)
    assert (run.returncode, run.stderr) == (2, "usage: setupcheck [--detect] MEDIA_FOLDER|PROGRAM.exe [--json]\n")
