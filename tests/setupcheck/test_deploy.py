"""setupcheck --deploy (docs/deployment.md)."""

import json
from pathlib import Path

import jsonschema
import pytest
import yaml

from conftest import DEMO_CODE, PATCH_CODE, check

SCHEMAS = Path(__file__).resolve().parents[2] / "third_party" / "winget-manifest-schemas"
X64 = ("MsiPath=demo.msi; MinWinVersion=6.1; MinWinServicePack=1", "demo.msi=demo")
INTEL = ("MsiPath=demo.msi; Os32Need=1; AdminNeed=0", "demo.msi=intel")
PATCH = "MsiPath=fix.msp; MsiPatch=1"
CODES = [[0, "success"], [1602, "failed"], [1618, "retry"], [1641, "hardReboot"], [3010, "softReboot"], [3, "failed"]]
WINGET = {"--id": "DemoMaker.DemoProduct", "--url": "https://example.com/demo.zip", "--sha256": "AB" * 32}


@pytest.fixture
def medium(media):
    """The media of [Main]'s keys ("KEY=VALUE; ...") and the files."""
    return lambda keys, files: media(("[Main]\r\n" + keys.replace("; ", "\r\n") + "\r\n").encode(), files)


def deploy(*args) -> str:
    run = check("--deploy", *args)
    assert (run.returncode, run.stderr) == (0, ""), run.stdout
    return run.stdout


def options(changed: dict = {}) -> list[str]:
    return [item for pair in {**WINGET, **changed}.items() for item in pair]


@pytest.mark.parametrize("ini, expect", [
    (X64, {"kind": "product", "uninstall": f"msiexec.exe /x {DEMO_CODE} /qn /norestart",
           "detection": {"productCode": DEMO_CODE, "productVersion": "1.0.0", "operator": "greaterThanOrEqual"},
           "requirements": {"minimumWindows": "6.1", "servicePack": "1", "architectures": ["x64"], "administrator": True}}),
    (INTEL, {"requirements": {"minimumWindows": None, "servicePack": None, "architectures": ["x86"],
                              "administrator": False}}),
    ((PATCH + "; Name=Demo Fix; VersionTarget=1.0.1", "fix.msp=patch"),
     {"kind": "patch", "name": "Demo Fix", "version": "1.0.1", "publisher": None, "uninstall": None,
      "install": 'setup.exe /i /quiet /norestart /record "%TEMP%\\Demo Fix-setup.json"',
      "detection": {"patchCode": PATCH_CODE, "productCodes": [DEMO_CODE]},
      "requirements": {"minimumWindows": None, "servicePack": None, "architectures": ["x86", "x64", "arm64"],
                       "administrator": True}}),
], ids=["x64-product", "x86-only-product", "patch"])
def test_definitions(ini, expect, medium):
    definitions = json.loads(deploy(medium(*ini), "--json"))
    assert {key: definitions[key] for key in expect} == expect
    assert [[c["code"], c["type"]] for c in definitions["returnCodes"]] == CODES


def test_definitions_as_text(medium):
    assert deploy(medium(*X64)).splitlines()[:6] == [
        "Demo Product 1.0.0 by Demo Maker: a product",
        'install:      setup.exe /i /quiet /norestart /record "%TEMP%\\Demo Product-setup.json"',
        f"uninstall:    msiexec.exe /x {DEMO_CODE} /qn /norestart",
        f"detection:    ProductCode {DEMO_CODE} installed, ProductVersion 1.0.0 or later",
        "requirements: Windows 6.1 Service Pack 1 or later; x64; administrator rights", "return codes:"]


@pytest.mark.parametrize("keys, files, form, finding", [
    ("MsiPath=demo.msi", "demo.msi=nocode", "",
     "MsiPath: the package has no ProductCode that setup.exe can read (at most 259 characters)"),
    ("MsiPath=demo.msi", "demo.msi=nomaker", "", "MsiPath: the package has no Manufacturer: the definitions name the publisher"),
    ("MsiPath=demo.msi", "demo.msi=intel64", "",
     'MsiPath: the package is for "Intel64": the installer installs Intel, x64 and Arm64 packages and refuses it '
     'with 1633 (an unsupported platform), so setup.exe stops'),
    ("MsiPath=demo.msi; Os32Need=1", "demo.msi=demo", "",
     "Os32Need: 32-bit x86 Windows only, but the package is for x64: no Windows runs the media"),
    ("MsiPath=demo.msi; MinWinVersion=11.0", "demo.msi=demo", "",
     "MinWinVersion: 11.0 is above 10.0, the version Windows 10 and 11 report: setup.exe refuses every Windows"),
    ("MsiPath=demo.msi", "demo.msi=arm64", "intune",
     "MsiPath: the package is for Arm64, which the Win32 app's applicableArchitectures cannot name"),
    (PATCH, "fix.msp=text", "", "MsiPath: fix.msp does not open as a patch"),
    (PATCH, "fix.msp=patch-uncoded", "",
     "MsiPath: the patch's summary has no revision number that begins with its patch code (a GUID)"),
    (PATCH, "fix.msp=patch-untargeted", "",
     "MsiPath: the patch's summary Template names no product code that it applies to (setupcheck reads 63 characters of it)"),
    (PATCH, "fix.msp=patch", "intune", "MsiPatch: the intune definitions describe a product, which a patch is not"),
])
def test_media_without_definitions_exit_2(keys, files, form, finding, medium):
    folder = medium(keys, files)
    run = check("--deploy", *[form][:bool(form)], folder)
    assert (run.returncode, run.stdout, run.stderr) == (
        2, f"Main {finding}\n", f"setupcheck: no deployment definitions for {folder}: the findings above stand in the way\n")


def test_intune_body(medium):
    app = json.loads(deploy("intune", medium(*X64)))
    assert {key: app[key] for key in ("@odata.type", "publisher", "setupFilePath", "applicableArchitectures", "rules")} == {
        "@odata.type": "#microsoft.graph.win32LobApp", "publisher": "Demo Maker", "setupFilePath": "setup.exe",
        "applicableArchitectures": "x64",
        "rules": [{"@odata.type": "#microsoft.graph.win32LobAppProductCodeRule", "ruleType": "detection",
                   "productCode": DEMO_CODE, "productVersionOperator": "greaterThanOrEqual", "productVersion": "1.0.0"}]}
    assert ([[c["returnCode"], c["type"]] for c in app["returnCodes"]], app["installExperience"]["runAsAccount"]) == (
        CODES, "system")


@pytest.mark.parametrize("ini, architecture", [(X64, "x64"), (INTEL, "x86")])
def test_winget_manifests_follow_the_schemas(ini, architecture, medium, tmp_path_factory):
    if not SCHEMAS.is_dir():
        pytest.fail(f"the package manager's schemas are missing: {SCHEMAS}")
    out = tmp_path_factory.mktemp("manifests")
    assert deploy("winget", medium(*ini), *options(), "--out", out).startswith(
        "wrote DemoMaker.DemoProduct.yaml, DemoMaker.DemoProduct.installer.yaml, DemoMaker.DemoProduct.locale.en-US.yaml to ")
    manifests = {path.name: yaml.safe_load(path.read_text()) for path in out.iterdir()}
    for manifest in manifests.values():
        jsonschema.validate(manifest, json.loads((SCHEMAS / f"manifest.{manifest['ManifestType']}.1.28.0.json").read_text()))
    installer = manifests["DemoMaker.DemoProduct.installer.yaml"]
    assert (installer["ProductCode"], installer["Installers"][0]["Architecture"]) == (DEMO_CODE, architecture)
    assert {c["InstallerReturnCode"]: c["ReturnResponse"] for c in installer["ExpectedReturnCodes"]} == {
        1602: "cancelledByUser", 1618: "installInProgress", 1641: "rebootInitiated", 3010: "rebootRequiredToFinish"}


@pytest.mark.parametrize("change, error", [
    ({"--id": "Demo"}, "--id must be PUBLISHER.PRODUCT: two to eight parts of 1 to 32 characters, without blanks or \\/:*?\"<>|"),
    ({"--url": "ftp://example.com/demo.zip"}, "--url must begin with http:// or https://"),
    ({"--sha256": "AB"}, "--sha256 must be 64 hexadecimal digits"),
    ({"--out": "/no-such-folder"}, "cannot write DemoMaker.DemoProduct.yaml in /no-such-folder"),
])
def test_winget_arguments_refused(change, error, medium, tmp_path_factory):
    run = check("--deploy", "winget", medium(*X64), *options({"--out": str(tmp_path_factory.mktemp("out")), **change}))
    assert (run.returncode, run.stderr) == (2, f"setupcheck: {error}\n")
