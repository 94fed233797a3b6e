"""Fixtures of the end-to-end bench: the display, the Wine prefixes, the
locales, the packages and the per-test Bench. See winebench.py for the parts.

Prefixes: one base prefix is made per session with wineboot -i. Tests share
one copy of it, which is cleaned between tests (every process of the prefix
ended, the temporary folder emptied, the media folders removed); a test
marked private_prefix, one that may install a product or change the
prefix, gets a copy of its own (cp -a, about 2 s), removed afterwards.
"""

from __future__ import annotations

import os
import shutil
import subprocess
from pathlib import Path
from typing import Callable, Iterator, Optional

import pytest

import msi_double
import winebench as wb

LOCALES = ("ru_RU.UTF-8", "it_IT.UTF-8", "ja_JP.UTF-8", "sv_SE.UTF-8")


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line(
        "markers", "private_prefix: the test gets a Wine prefix of its own, removed afterwards")
    config.addinivalue_line(
        "markers", "x86: in the suite that runs the shipped x86 program (run.sh -m x86)")


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item: pytest.Item, call: pytest.CallInfo) -> Iterator[None]:
    """In CI a skipped test is a failure: the machine must be able to run
    every case (32-bit Wine included)."""
    outcome = yield
    report = outcome.get_result()
    if report.skipped and os.environ.get("CI") == "true":
        report.outcome = "failed"
        report.longrepr = f"skipped in CI, where every case must run: {report.longrepr}"


# --------------------------------------------------------------------------
# The program and the helpers


@pytest.fixture(scope="session")
def program(tmp_path_factory: pytest.TempPathFactory) -> Path:
    """A copy of the program under test taken at the start of the session,
    so that a rebuild while the bench runs changes nothing under it."""
    path = wb.setup_exe()
    if not path.is_file():
        pytest.fail(f"the program under test is missing: {path} (build it, or set SETUP_EXE)",
                    pytrace=False)
    snapshot = tmp_path_factory.mktemp("program") / "setup.exe"
    shutil.copyfile(path, snapshot)
    return snapshot


@pytest.fixture(scope="session")
def arch(program: Path) -> str:
    return wb.pe_architecture(program)


@pytest.fixture(scope="session")
def tools(arch: str) -> Path:
    folder = wb.tools_dir(arch)
    missing = [name for name in ("exitcode.exe", "boxwatch.exe", "loadlib.exe", "msi.dll")
               if not (folder / name).is_file()]
    if missing:
        pytest.fail(f"helper programs missing in {folder}: {', '.join(missing)} "
                    f"(build the mingw-{arch} preset, or set E2E_TOOLS_DIR)", pytrace=False)
    return folder


# --------------------------------------------------------------------------
# Display, locales, prefixes


@pytest.fixture(scope="session")
def display() -> Iterator[str]:
    server = wb.Xvfb()
    try:
        yield server.display
    finally:
        server.stop()


@pytest.fixture(scope="session")
def locale_path(tmp_path_factory: pytest.TempPathFactory) -> Optional[Path]:
    """A folder for LOCPATH with the locales that the system lacks, made by
    localedef from the definitions of Debian's locales package; None when
    the system has them all."""
    available = subprocess.run(["locale", "-a"], capture_output=True, text=True,
                               check=False).stdout.lower().replace("utf8", "utf-8").split()
    missing = [name for name in LOCALES if name.lower() not in available]
    if not missing:
        return None
    folder = tmp_path_factory.mktemp("locales")
    for name in missing:
        source = name.split(".")[0]
        result = subprocess.run(["localedef", "-i", source, "-f", "UTF-8", str(folder / name)],
                                capture_output=True, text=True, check=False)
        # localedef warns (exit 1) on harmless details; the files are what counts.
        if not (folder / name / "LC_CTYPE").exists():
            pytest.fail(f"localedef could not make {name}: {result.stderr}", pytrace=False)
    return folder


@pytest.fixture(scope="session")
def base_prefix(tmp_path_factory: pytest.TempPathFactory, tools: Path) -> Iterator[wb.WinePrefix]:
    root = tmp_path_factory.mktemp("wine")
    prefix = wb.make_base_prefix(root / "base")
    try:
        yield prefix
    finally:
        shutil.rmtree(root, ignore_errors=True)


@pytest.fixture(scope="session")
def shared_host(base_prefix: wb.WinePrefix, display: str, tools: Path) -> Iterator[wb.PrefixHost]:
    with wb.host_on_copy(base_prefix, "shared", display, tools) as host:
        yield host


@pytest.fixture(scope="session")
def recording_double(tools: Path) -> Path:
    """tools/recording_msi.cpp as built for the program's architecture."""
    double = tools / "recording" / "msi.dll"
    if not double.is_file():
        pytest.fail(f"the recording msi.dll is missing: {double} (build the target e2e_recording_msi)",
                    pytrace=False)
    return double


@pytest.fixture(scope="session")
def recording_base_prefix(base_prefix: wb.WinePrefix, recording_double: Path, arch: str,
                          display: str) -> Iterator[wb.WinePrefix]:
    """A copy of the base prefix with the recording msi.dll installed for
    setup.exe (see msi_double.py); the source of the prefixes that use it."""
    prefix = wb.copy_prefix(base_prefix.path, base_prefix.path.parent / "recording-base", display)
    msi_double.install(prefix, arch, recording_double)
    try:
        yield prefix
    finally:
        shutil.rmtree(prefix.path, ignore_errors=True)


@pytest.fixture(scope="session")
def recording_host(recording_base_prefix: wb.WinePrefix, display: str, tools: Path
                   ) -> Iterator[wb.PrefixHost]:
    """The prefix shared by the tests that use the recording msi.dll and
    install nothing for real."""
    with wb.host_on_copy(recording_base_prefix, "recording-shared", display, tools) as host:
        yield host


@pytest.fixture
def recording_msi(bench: wb.Bench, arch: str) -> msi_double.RecordingMsi:
    """The recording msi.dll that setup.exe loads in this test's prefix
    (the bench's prefix, chosen because the test asks for this fixture):
    scripted for the demo package, nothing installed, every call
    succeeding, and an empty call log. See msi_double.py."""
    double = msi_double.RecordingMsi(bench.prefix, arch)
    double.reset()
    return double


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item: pytest.Item, call: pytest.CallInfo):
    outcome = yield
    report = outcome.get_result()
    if report.when == "call":
        item.stash[CALL_FAILED] = report.failed


CALL_FAILED = pytest.StashKey[bool]()


@pytest.fixture
def bench(request: pytest.FixtureRequest, base_prefix: wb.WinePrefix, shared_host: wb.PrefixHost,
          display: str, tools: Path, program: Path, tmp_path: Path) -> Iterator[wb.Bench]:
    private = request.node.get_closest_marker("private_prefix") is not None
    # A test that uses the recording msi.dll runs in a prefix that has it.
    recording = "recording_msi" in request.fixturenames
    if private:
        source = request.getfixturevalue("recording_base_prefix") if recording else base_prefix
        host = wb.PrefixHost(wb.copy_prefix(source.path, base_prefix.path.parent / "private", display),
                             display, tools)
    elif "bench_host" in request.fixturenames:
        # A suite that keeps a shared prefix of its own names it by a
        # fixture "bench_host" (a wb.PrefixHost); see test_log_mail.py.
        host = request.getfixturevalue("bench_host")
    elif recording:
        host = request.getfixturevalue("recording_host")
    else:
        host = shared_host
    bench = wb.Bench(host, program, lambda: request.getfixturevalue("locale_path"))
    bench.clear_scratch()
    bench.clear_temp()
    try:
        yield bench
    finally:
        if request.node.stash.get(CALL_FAILED, False):
            shot = tmp_path / "screen.png"
            if bench.screenshot(shot):
                print(f"screenshot at the end of the test: {shot}")
        errors = host.take_errors()
        for run in bench.runs:
            errors += [f"{run.command}: {problem}" for problem in run.trace_disagreements()
                       if run.ended_at is not None]
        # A shared prefix stays up for the next test only if this one left
        # nothing running; otherwise every process of it is ended.
        if private or host.left_behind() or errors:
            host.kill_everything()
        if private:
            shutil.rmtree(host.prefix.path, ignore_errors=True)
    if errors:
        pytest.fail("the bench could not answer or read the boxes: " + "; ".join(errors), pytrace=False)


# --------------------------------------------------------------------------
# Packages


@pytest.fixture(scope="session")
def make_package(tmp_path_factory: pytest.TempPathFactory) -> Callable[..., Path]:
    """Builds packages/demo.wxs with wixl; variants by keyword (ProductName,
    ProductVersion, ProductCode, UpgradeCode) and arch, each built once."""
    folder = tmp_path_factory.mktemp("packages")
    cache: dict[tuple, Path] = {}

    def build(arch: str = "x64", **defines: str) -> Path:
        key = (arch, tuple(sorted(defines.items())))
        if key not in cache:
            cache[key] = wb.build_package(folder / f"demo{len(cache)}.msi", arch, **defines)
        return cache[key]

    return build


@pytest.fixture(scope="session")
def demo_msi(make_package: Callable[..., Path]) -> Path:
    """Demo Product 1.0.0 for x64."""
    return make_package(ProductName="Demo Product", ProductVersion="1.0.0")


@pytest.fixture(scope="session")
def prereq_msi(tmp_path_factory: pytest.TempPathFactory) -> Path:
    """packages/prereq.wxs: Demo Prerequisite 2.5.0 for x64, a package of
    its own that a prerequisite component installs (see prereq_bench.py)."""
    import prereq_bench
    return prereq_bench.build_prereq_package(tmp_path_factory.mktemp("prereq") / "prereq.msi")
