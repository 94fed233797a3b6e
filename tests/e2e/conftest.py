"""Fixtures: the display, the prefixes, the packages, a Bench per test."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest

import bench as wb

@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    report = (yield).get_result()
    if report.skipped and os.environ.get("CI") == "true":
        report.outcome = "failed"
        report.longrepr = f"skipped in CI, where every case must run: {report.longrepr}"

@pytest.fixture(scope="session")
def program(tmp_path_factory):  # a copy: a rebuild while the bench runs changes nothing
    if not wb.setup_exe().is_file():
        pytest.fail(f"the program under test is missing: {wb.setup_exe()} (build it, or set SETUP_EXE)", pytrace=False)
    return Path(shutil.copy(wb.setup_exe(), tmp_path_factory.mktemp("program") / "setup.exe"))

@pytest.fixture(scope="session")
def tools(program):
    folder = wb.tools_dir(wb.pe_architecture(program))
    if missing := [name for name in ("tool.exe", "noop.exe", "recording.dll") if not (folder / name).is_file()]:
        pytest.fail(f"helper programs missing in {folder}: {missing} (build the e2e_* targets)", pytrace=False)
    return folder

@pytest.fixture(scope="session")
def artefacts(program, tools, tmp_path_factory):
    """What cases name by "@...": the helpers, the packages (wixl)."""
    folder, utf8 = tmp_path_factory.mktemp("packages"), dict(os.environ, LC_ALL="C.UTF-8")
    def package(name, *defines, arch="x64"):
        subprocess.run(["wixl", "-a", arch, "-o", str(out := folder / f"{name}.msi"),
                        *(arg for d in defines for arg in ("-D", d)), str(wb.E2E_DIR / "packages" / "demo.wxs")],
                       check=True, capture_output=True, timeout=60, env=utf8)
        return out
    # The corpus: a 64-bit package of a low schema, an x86 one of code page 1252 named beyond ASCII.
    latin = package("corpus-latin", "Corpus=1", "Folder=ProgramFilesFolder", arch="x86")
    (folder / "_ForceCodepage.idt").write_text("\r\n\r\n1252\t_ForceCodepage\r\n")
    subprocess.run(["msibuild", str(latin), "-i", str(folder / "_ForceCodepage.idt"), "-q",
                    "UPDATE `Property` SET `Value`='Prödukt Ünïcode' WHERE `Property`='ProductName'"],
                   check=True, capture_output=True, env=utf8)
    return {"tool": tools / "tool.exe", "noop": tools / "noop.exe", "msi": tools / "recording.dll",
            "setupcheck": wb.REPO / "dist" / "setupcheck.exe", "demo": package("demo"),
            "demo2": package("demo2", "ProductVersion=2.0.0"), "prereq": package("prereq", "Prerequisite=1"),
            "corpus-low-schema": package("low", "Corpus=1", "Schema=100"), "corpus-latin": latin}

@pytest.fixture(scope="session")
def display():
    process, display = wb.start_xvfb()
    yield display
    wb.stop_process(process)

@pytest.fixture(scope="session")
def benches(tmp_path_factory, display, program, tools):
    """The pristine prefixes, without and with the doubles, and a shared bench on a copy of each."""
    root = tmp_path_factory.mktemp("wine")
    pristine = {False: wb.make_base_prefix(root / "base", display)}
    pristine[True] = pristine[False].copy(root / "doubles")
    wb.install_doubles(pristine[True], wb.pe_architecture(program), tools)
    shared = {doubles: wb.Bench(prefix.copy(root / f"shared-{doubles}"), program, tools)
              for doubles, prefix in pristine.items()}
    yield pristine, shared
    for bench in shared.values():
        bench.kill_everything()
    shutil.rmtree(root, ignore_errors=True)

@pytest.fixture
def make_bench(benches, program, tools, tmp_path):
    """make_bench(doubles, private): a Bench on the shared prefix, or on a copy."""
    made, (pristine, shared) = [], benches
    def make(doubles=True, private=False):
        made.append((wb.Bench(pristine[doubles].copy(tmp_path / "prefix"), program, tools) if private else shared[doubles],
                     private))
        return made[-1][0].reset()
    yield make
    for bench, private in made:
        errors = bench._watcher.errors if bench._watcher else []
        if private or errors or bench.left_behind():
            bench.kill_everything()
        if private:
            shutil.rmtree(bench.prefix.path, ignore_errors=True)
        assert not errors, f"the bench could not answer the boxes: {errors}"
