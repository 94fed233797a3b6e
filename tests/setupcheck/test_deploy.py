"""setupcheck --deploy (docs/deployment.md)."""

import base64
import hashlib
import io
import json
import os
import zipfile
from pathlib import Path
from xml.etree import ElementTree

import jsonschema
import pytest
import yaml
from cryptography.hazmat.primitives import hashes, hmac, padding
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

from conftest import DEMO_CODE, PATCH_CODE, check

SCHEMAS = Path(__file__).resolve().parents[2] / "third_party" / "winget-manifest-schemas"
X64 = ("MsiPath=demo.msi; MinWinVersion=6.1; MinWinServicePack=1", "demo.msi=demo")
PRODUCT, PATCH = "MsiPath=demo.msi", "MsiPath=fix.msp; MsiPatch=1"
CODES = [[0, "success"], [1602, "failed"], [1618, "retry"], [1638, "failed"], [1641, "hardReboot"], [3010, "softReboot"],
         [3, "failed"]]
AS_USER = ": the engines install it as the signed-in user, who must be an administrator: setup.exe asks for administrator rights\n"
DUAL = "Main MsiPath: the product is dual-purpose (ALLUSERS=2)"
# The longest identifier (eight parts, one of 32 characters) and a digest in both letter cases.
WINGET = {"--id": "DemoMaker." + "Demo" * 8 + ".A.B.C.D.E.F", "--url": "https://example.com/demo.zip",
          "--sha256": "0fF" * 21 + "a"}


@pytest.fixture
def medium(media):
    """[Main]'s keys ("KEY=VALUE; ...") and the files, with an x86 setup.exe unless they name one."""
    return lambda keys, files: media(("[Main]\r\n" + keys.replace("; ", "\r\n")).encode(), "setup.exe=unsigned " + files)


def deploy(*args) -> str:
    run = check("--deploy", *args)
    assert (run.returncode, run.stderr) == (0, ""), run.stdout
    return run.stdout


def options(changed: dict = {}) -> list[str]:
    return [str(item) for pair in {**WINGET, **changed}.items() if pair[1] is not None for item in pair]


@pytest.mark.parametrize("ini, expect", [
    (X64, {"kind": "product", "uninstall": f"msiexec.exe /x {DEMO_CODE} /qn /norestart", "scope": "machine",
           "detection": {"productCode": DEMO_CODE, "productVersion": "1.0.0", "operator": "greaterThanOrEqual"},
           "requirements": {"minimumWindows": "6.1", "servicePack": "1", "architectures": ["x64"], "administrator": True}}),
    (("MsiPath=demo.msi; Os32Need=1; AdminNeed=0; MinWinVersion=10.0", "demo.msi=intel"),
     {"requirements": {"minimumWindows": "10.0", "servicePack": None, "architectures": ["x86"], "administrator": False}}),
    ((PATCH + "; Name=Demo Fix; VersionTarget=1.0.1", "fix.msp=patch"),
     {"kind": "patch", "name": "Demo Fix", "version": "1.0.1", "publisher": None, "uninstall": None, "scope": None,
      "install": 'setup.exe /i /quiet /norestart /record "%TEMP%\\Demo Fix-setup.json"',
      "detection": {"patchCode": PATCH_CODE, "productCodes": [DEMO_CODE]},
      "requirements": {"minimumWindows": None, "servicePack": None, "architectures": ["x86", "x64", "arm64"],
                       "administrator": True}}),
], ids=["x64-product", "x86-only-product", "patch"])
def test_definitions(ini, expect, medium):
    definitions = json.loads(deploy(medium(*ini), "--json"))
    assert ({key: definitions[key] for key in expect}, [[c["code"], c["type"]] for c in definitions["returnCodes"]]) == (
        expect, CODES)


@pytest.mark.parametrize("keys, files, form, finding", [
    (PRODUCT, "demo.msi=nocode", "", "MsiPath: the package has no ProductCode that setup.exe can read (at most 259 characters)"),
    (PRODUCT, "demo.msi=nomaker", "", "MsiPath: the package has no Manufacturer: the definitions name the publisher"),
    (PRODUCT, "demo.msi=intel64", "",
     'MsiPath: the package is for "Intel64": the installer installs Intel, x64 and Arm64 packages and refuses it with '
     '1633 (an unsupported platform), so setup.exe stops'),
    (PRODUCT + "; Os32Need=1", "demo.msi=demo", "",
     "Os32Need: 32-bit x86 Windows only, but the package is for x64: no Windows runs the media"),
    (PRODUCT + "; Os32Need=1", "demo.msi=intel setup.exe=x64", "",
     "Os32Need: 32-bit x86 Windows only, but setup.exe is an x64 program: no Windows runs the media"),
    (PRODUCT, "demo.msi=arm64 setup.exe=x64", "",
     "MsiPath: the package is for Arm64, but setup.exe is an x64 program: no Windows runs the media"),
    (PRODUCT, "demo.msi=demo setup.exe=text", "",
     "setup.exe: not found, or no Windows program: the definitions take the Windows architectures from it"),
    (PRODUCT + "; MinWinVersion=10.1", "demo.msi=demo", "",
     "MinWinVersion: 10.1 is above 10.0, the version Windows 10 and 11 report: setup.exe refuses every Windows"),
    (PRODUCT, "demo.msi=arm64", "intune",
     "MsiPath: the package is for Arm64, which the Win32 app's applicableArchitectures cannot name"),
    (PATCH, "fix.msp=text", "", "MsiPath: fix.msp does not open as a patch"),
    (PATCH, "fix.msp=patch-uncoded", "",
     "MsiPath: the patch's summary has no revision number that begins with its patch code (a GUID)"),
    (PATCH, "fix.msp=patch-untargeted", "",
     "MsiPath: the patch's summary Template names no product code that it applies to (setupcheck reads 63 characters "
     "of it)"),
    (PATCH, "fix.msp=patch", "intune", "MsiPatch: the intune definitions describe a product, which a patch is not"),
])
def test_media_without_definitions_exit_2(keys, files, form, finding, medium):
    folder = medium(keys, files)
    run = check("--deploy", *[form][:bool(form)], folder)
    assert (run.returncode, run.stdout, run.stderr) == (
        2, ("" if finding.startswith("setup.exe") else "Main ") + finding + "\n",
        f"setupcheck: no deployment definitions for {folder}: the findings above stand in the way\n")


@pytest.mark.parametrize("keys, files, intune, winget, findings", [
    (PRODUCT, "demo.msi=intel", ("x86,x64", "system", "perMachine"), ("x86", "machine"), ""),
    (PRODUCT, "demo.msi=intel setup.exe=x64", ("x64", "system", "perMachine"), ("x64", "machine"), ""),
    (PRODUCT, "demo.msi=peruser", ("x64", "user", "perUser"), ("x64", "user"),
     "Main MsiPath: the product installs per user (no ALLUSERS)" + AS_USER),
    (PRODUCT, "demo.msi=dual", ("x64", "system", "dualPurpose"), ("x64", "machine"),
     DUAL + ": setup.exe runs with administrator rights, so it installs per machine and the engines install it as "
     "the system (MSIINSTALLPERUSER=1 would install it per user)\n"),
    ("MsiPath=demo.msi; MsiProp=MSIINSTALLPERUSER=1", "demo.msi=dual", ("x64", "user", "dualPurpose"), ("x64", "user"),
     DUAL + " and MSIINSTALLPERUSER=1 installs it per user" + AS_USER),
    ("MsiPath=demo.msi; MsiProp=A=1 ALLUSERS=", "demo.msi=demo", ("x64", "user", "perMachine"), ("x64", "user"),
     "Main MsiProp: the product installs per user (no ALLUSERS)" + AS_USER),
], ids=["x86-program-intel-package", "x64-program-intel-package", "per-user", "dual-purpose",
        "dual-purpose-per-user", "allusers-emptied-last"])
def test_definitions_follow_the_program_and_the_package(keys, files, intune, winget, findings, medium, tmp_path_factory):
    """The Win32 app and the manifests (valid by the vendored schemas) take the same architecture and scope."""
    folder = medium(keys, files)
    run = check("--deploy", "intune", folder)
    app = json.loads(run.stdout)
    assert (app["applicableArchitectures"], app["installExperience"]["runAsAccount"],
            app["msiInformation"]["packageType"], run.stderr) == (*intune, findings)
    out = tmp_path_factory.mktemp("manifests")
    run = check("--deploy", "winget", folder, *options(), "--out", out)
    assert (run.returncode, run.stderr) == (0, findings)
    manifests = {path.name: yaml.safe_load(path.read_text()) for path in out.iterdir()}
    for manifest in manifests.values():
        jsonschema.validate(manifest, json.loads((SCHEMAS / f"manifest.{manifest['ManifestType']}.1.28.0.json").read_text()))
    installer = manifests[WINGET["--id"] + ".installer.yaml"]
    assert (installer["Installers"][0]["Architecture"], installer["Scope"], installer["ProductCode"],
            {c["InstallerReturnCode"]: c["ReturnResponse"] for c in installer["ExpectedReturnCodes"]}) == (
        *winget, DEMO_CODE, {1602: "cancelledByUser", 1618: "installInProgress", 1638: "downgrade",
                             1641: "rebootInitiated", 3010: "rebootRequiredToFinish"})


def test_product_as_text_win32_app_and_content_package(medium, tmp_path_factory):
    """The text definitions, the Win32 app and the content package, which an independent reader opens: MAC, cipher,
    digest, sizes and the media (a subfolder too) byte for byte."""
    folder = medium(X64[0], "demo.msi=intel")
    assert deploy(folder).splitlines()[:7] == [
        "Demo Product 1.0.0 by Demo Maker: a product",
        'install:      setup.exe /i /quiet /norestart /record "%TEMP%\\Demo Product-setup.json"',
        f"uninstall:    msiexec.exe /x {DEMO_CODE} /qn /norestart",
        f"detection:    ProductCode {DEMO_CODE} installed, ProductVersion 1.0.0 or later",
        "requirements: Windows 6.1 Service Pack 1 or later; x86, x64 or arm64; administrator rights",
        "scope:        per machine: as the system", "return codes:"]
    (folder / "docs").mkdir()
    (folder / "docs" / "notes.bin").write_bytes(os.urandom(5000))
    out = tmp_path_factory.mktemp("intune") / "new" / "folder"
    assert deploy("intune", folder, "--out", out) == f"wrote app.json, setup.intunewin, content.json to {out}\n"
    app, upload = (json.loads((out / name).read_text()) for name in ("app.json", "content.json"))
    assert ({key: app[key] for key in ("@odata.type", "publisher", "setupFilePath", "fileName", "rules", "msiInformation")},
            [[c["returnCode"], c["type"]] for c in app["returnCodes"]]) == ({
        "@odata.type": "#microsoft.graph.win32LobApp", "publisher": "Demo Maker", "setupFilePath": "setup.exe",
        "fileName": upload["file"]["name"],
        "rules": [{"@odata.type": "#microsoft.graph.win32LobAppProductCodeRule", "ruleType": "detection",
                   "productCode": DEMO_CODE, "productVersionOperator": "greaterThanOrEqual", "productVersion": "1.0.0"}],
        "msiInformation": {"@odata.type": "#microsoft.graph.win32LobAppMsiInformation", "productCode": DEMO_CODE,
                           "productVersion": "1.0.0", "upgradeCode": DEMO_CODE[:-2] + "0}", "requiresReboot": False,
                           "packageType": "perMachine", "productName": "Demo Product", "publisher": "Demo Maker"}}, CODES)
    info = upload["commit"]["fileEncryptionInfo"]
    key, mac_key, iv, mac, digest = (base64.b64decode(info[name]) for name in (
        "encryptionKey", "macKey", "initializationVector", "mac", "fileDigest"))
    with zipfile.ZipFile(out / "setup.intunewin") as package:
        detection = ElementTree.fromstring(package.read("IntuneWinPackage/Metadata/Detection.xml"))
        encrypted = package.read("IntuneWinPackage/Contents/IntunePackage.intunewin")
    assert {item.tag: item.text for item in detection.find("EncryptionInfo")} == {
        name[0].upper() + name[1:]: value for name, value in info.items() if name != "@odata.type"}
    authenticator = hmac.HMAC(mac_key, hashes.SHA256())
    authenticator.update(encrypted[32:])
    decryptor = Cipher(algorithms.AES(key), modes.CBC(iv)).decryptor()
    unpadder = padding.PKCS7(128).unpadder()
    plain = unpadder.update(decryptor.update(encrypted[48:]) + decryptor.finalize()) + unpadder.finalize()
    assert (info["profileIdentifier"], info["fileDigestAlgorithm"], detection.findtext("SetupFile"), encrypted[:48],
            authenticator.finalize(), hashlib.sha256(plain).digest(), upload["file"]["size"],
            upload["file"]["sizeEncrypted"], int(detection.findtext("UnencryptedContentSize"))) == (
        "ProfileVersion1", "SHA256", "setup.exe", mac + iv, mac, digest, len(plain), len(encrypted), len(plain))
    with zipfile.ZipFile(io.BytesIO(plain)) as inner:
        assert {name: inner.read(name) for name in inner.namelist()} == {
            path.relative_to(folder).as_posix(): path.read_bytes() for path in folder.rglob("*") if path.is_file()}


def test_winget_zip_is_the_same_for_the_same_media(medium, tmp_path_factory):
    folder, written, archives = medium(*X64), tmp_path_factory.mktemp("written"), []
    for when in (1_000_000_000, 1_600_000_000):
        for path in folder.iterdir():
            os.utime(path, (when, when))
        archive, out = written / f"demo{when}.zip", written / f"manifests{when}"
        deploy("winget", folder, *options({"--sha256": None, "--zip": archive}), "--out", out)
        installer = yaml.safe_load((out / f"{WINGET['--id']}.installer.yaml").read_text())
        assert installer["Installers"][0]["InstallerSha256"] == hashlib.sha256(archive.read_bytes()).hexdigest()
        archives.append(archive.read_bytes())
    assert archives[0] == archives[1]
    with zipfile.ZipFile(archive) as media:
        assert sorted(media.namelist()) == media.namelist() == sorted(path.name for path in folder.iterdir())


@pytest.mark.parametrize("change, error", [
    ({"--id": "Demo"}, "--id must be PUBLISHER.PRODUCT: two to eight parts of 1 to 32 characters, without blanks or \\/:*?\"<>|"),
    ({"--url": "ftp://example.com/demo.zip"}, "--url must begin with http:// or https://"),
    *[({"--sha256": digest}, "--sha256 must be 64 hexadecimal digits") for digest in ("AB", "G" * 64)],
    ({"--out": "/dev/null/manifests"}, "cannot make the folder /dev/null/manifests"),
    ({"--sha256": None, "--zip": "{media}/demo.zip"}, "--out and --zip must lie outside the media folder, which is archived whole"),
])
def test_winget_arguments_refused(change, error, medium, tmp_path_factory):
    folder = medium(*X64)
    change = {name: value and value.format(media=folder) for name, value in change.items()}
    run = check("--deploy", "winget", folder, *options({"--out": str(tmp_path_factory.mktemp("out")), **change}))
    assert (run.returncode, run.stderr) == (2, f"setupcheck: {error}\n")
