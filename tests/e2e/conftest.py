"""Fixtures: the display, the locales, the Wine prefixes, the packages, a Bench per test."""

from __future__ import annotations

import datetime
import os
import shutil
import subprocess
from pathlib import Path

import pytest

import bench as wb

LOCALES = ("ru_RU.UTF-8",)
BAD_INPUT_TABLE = wb.REPO / "build" / "e2e-artifacts" / "bad-input.md"


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("markers", "x86: in the suite that runs the shipped x86 program (run.sh -m x86)")
    config.addinivalue_line("markers", "x86_only: needs the x86 program (32-bit Windows); left out of the x64 suite")
    config.bad_input_rows = {}


def pytest_collection_modifyitems(config: pytest.Config, items: list) -> None:
    """Cases that only the x86 program can run are deselected, not skipped, elsewhere."""
    if wb.pe_architecture(wb.setup_exe()) == "x86":
        return
    kept = [item for item in items if not item.get_closest_marker("x86_only")]
    config.hook.pytest_deselected(items=[item for item in items if item not in kept])
    items[:] = kept


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item: pytest.Item, call: pytest.CallInfo):
    outcome = yield
    report = outcome.get_result()
    # In CI a skipped test is a failure: the machine must run every case.
    if report.skipped and os.environ.get("CI") == "true":
        report.outcome = "failed"
        report.longrepr = f"skipped in CI, where every case must run: {report.longrepr}"
    properties = dict(item.user_properties)
    if "input" in properties and report.when == "call":
        result = "passed" if report.passed else "FAILED: " + str(report.longrepr).splitlines()[-1][:160]
        item.config.bad_input_rows[item.nodeid] = (properties, result)


def pytest_sessionfinish(session: pytest.Session) -> None:
    """The bad-input table, when every row of it ran (a selection leaves the last whole table)."""
    rows = session.config.bad_input_rows
    from cases import BAD_INPUT
    if len(rows) < len(BAD_INPUT):
        return
    lines = [f"Bad input, {datetime.datetime.now():%Y-%m-%d %H:%M}, program {os.environ.get('SETUP_EXE', 'dist/x64/setup.exe')}",
             "", "| Input | What the program does | Exit code, time | Result |", "|---|---|---|---|"]
    for properties, result in rows.values():
        observed = properties["observed"] + (f"; {properties['observed_note']}" if "observed_note" in properties else "")
        lines.append("| " + " | ".join(" ".join(cell.split()).replace("|", "\\|") for cell in (
            properties["input"], properties["behaviour"], observed, result)) + " |")
    BAD_INPUT_TABLE.parent.mkdir(parents=True, exist_ok=True)
    BAD_INPUT_TABLE.write_text("\n".join(lines) + "\n", encoding="utf-8")


@pytest.fixture(scope="session")
def program(tmp_path_factory) -> Path:
    """A copy taken at the start: a rebuild while the bench runs changes nothing."""
    if not wb.setup_exe().is_file():
        pytest.fail(f"the program under test is missing: {wb.setup_exe()} (build it, or set SETUP_EXE)", pytrace=False)
    return Path(shutil.copy(wb.setup_exe(), tmp_path_factory.mktemp("program") / "setup.exe"))


@pytest.fixture(scope="session")
def arch(program: Path) -> str:
    return wb.pe_architecture(program)


@pytest.fixture(scope="session")
def tools(arch: str) -> Path:
    folder = wb.tools_dir(arch)
    missing = [name for name in ("tool.exe", "recording/msi.dll", "recording/mapi32.dll") if not (folder / name).is_file()]
    if missing:
        pytest.fail(f"helper programs missing in {folder}: {missing} (build the e2e_* targets)", pytrace=False)
    return folder


@pytest.fixture(scope="session")
def artefacts(program: Path, tools: Path, tmp_path_factory) -> dict:
    """What cases name by "@...": the program, the helpers, the packages (wixl)."""
    folder = tmp_path_factory.mktemp("packages")

    def package(name: str, source: str, *defines: str) -> Path:
        subprocess.run(["wixl", "-a", "x64", "-o", str(folder / name), *defines, str(wb.E2E_DIR / "packages" / source)],
                       check=True, capture_output=True, timeout=60)
        return folder / name

    def corpus(name: str, arch: str = "x64", defines: tuple = (), codepage: int = 0, product: str = "",
               template: str = "") -> Path:
        path, utf8 = folder / f"{name}.msi", dict(os.environ, LC_ALL="C.UTF-8")
        subprocess.run(["wixl", "-a", arch, "-o", str(path), *(arg for define in defines for arg in ("-D", define)),
                        str(wb.E2E_DIR / "packages" / "corpus.wxs")], check=True, capture_output=True, timeout=60, env=utf8)
        if codepage:
            (folder / "_ForceCodepage.idt").write_text(f"\r\n\r\n{codepage}\t_ForceCodepage\r\n")
            subprocess.run(["msibuild", str(path), "-i", str(folder / "_ForceCodepage.idt"), "-q",
                            f"UPDATE `Property` SET `Value`='{product}' WHERE `Property`='ProductName'"],
                           check=True, capture_output=True, env=utf8)
        if template:
            subprocess.run(["msibuild", str(path), "-s", "Corpus Product", "Corpus Maker", template], check=True,
                           capture_output=True, env=utf8)
        return path

    from cases import CORPUS
    return {"setup": program, "tool": tools / "tool.exe", "msi": tools / "recording" / "msi.dll",
            "setupcheck": wb.REPO / "dist" / "setupcheck.exe",
            "demo": package("demo.msi", "demo.wxs"), "demo2": package("demo2.msi", "demo.wxs", "-D", "ProductVersion=2.0.0"),
            "prereq": package("prereq.msi", "prereq.wxs"),
            **{name: corpus(name, **recipe) for name, recipe in CORPUS.items()}}


@pytest.fixture(scope="session")
def display():
    process, display = wb.start_xvfb()
    yield display
    wb.stop_process(process)


@pytest.fixture(scope="session")
def locales(tmp_path_factory):
    """A LOCPATH with the locales the system lacks (localedef), made on first use."""
    made: list[Path] = []

    def folder():
        if not made:
            available = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower().replace("utf8", "utf-8")
            made.append(tmp_path_factory.mktemp("locales"))
            for name in (name for name in LOCALES if name.lower() not in available.split()):
                subprocess.run(["localedef", "-i", name.split(".")[0], "-f", "UTF-8", str(made[0] / name)],
                               capture_output=True, check=False)  # warns (exit 1) on harmless details
        return made[0]
    return folder


@pytest.fixture(scope="session")
def prefixes(tmp_path_factory, display: str, arch: str, tools: Path):
    """The base prefix and its copy with the recording doubles."""
    root = tmp_path_factory.mktemp("wine")
    base = wb.make_base_prefix(root / "base", display)
    doubles = base.copy(root / "doubles")
    wb.install_doubles(doubles, arch, tools)
    yield {False: base, True: doubles}
    shutil.rmtree(root, ignore_errors=True)


@pytest.fixture(scope="session")
def shared_hosts(prefixes: dict, tools: Path):
    hosts = {doubles: wb.Host(prefix.copy(prefix.path.with_name(prefix.path.name + "-shared")), tools)
             for doubles, prefix in prefixes.items()}
    yield hosts
    for host in hosts.values():
        host.kill_everything()


@pytest.fixture
def make_bench(request, prefixes: dict, shared_hosts: dict, program: Path, arch: str, locales, tmp_path: Path):
    """make_bench(doubles=True, private=False): a Bench on the shared host with
    (or without) the recording doubles, or on a copy of its own."""
    made: list[tuple[wb.Bench, bool]] = []

    def make(doubles: bool = True, private: bool = False) -> wb.Bench:
        host = (wb.Host(prefixes[doubles].copy(tmp_path / "prefix"), shared_hosts[doubles].tools) if private
                else shared_hosts[doubles])
        made.append((wb.Bench(host, program, arch, locales), private))
        return made[-1][0]

    yield make
    for bench, private in made:
        errors = bench.host._watcher.errors if bench.host._watcher else []
        if private or errors or bench.host.left_behind():
            bench.host.kill_everything()
        if private:
            shutil.rmtree(bench.prefix.path, ignore_errors=True)
        assert not errors, f"the bench could not answer the boxes: {errors}"
