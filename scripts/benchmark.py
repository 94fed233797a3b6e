#!/usr/bin/env python3
"""Times the x64 build of setup.exe (dist/x64/setup.exe, or $SETUP_EXE) under
Wine's 64-bit loader, in pairs whose order alternates, and prints medians:

1. a real quiet install: `setup.exe /i /quiet` against `msiexec /i Demo.msi
   /quiet` for the same package, each in a fresh copy of the same prefix;
   the ratio of the two;
2. the program's own start-up: in one running prefix where the recording
   installer double (tests/e2e/tools/recording_msi.cpp) answers every call at
   once, the time from starting `setup.exe /i /quiet` to its installer call,
   against starting noop.exe, a program that only starts and exits; the
   ratio and the difference of the two.

    python3 scripts/benchmark.py [pairs] [start-up pairs]
                                 (defaults 5 and 15; 0 skips a part; after scripts/build.sh)
"""

import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "tests" / "e2e"))
import bench as wb  # noqa: E402

PAIRS = int(sys.argv[1]) if len(sys.argv) > 1 else 5
STARTUP_PAIRS = int(sys.argv[2]) if len(sys.argv) > 2 else 15


def wine_env(prefix: Path) -> dict:
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    # Wine's 32-bit parts run emulated here (see tests/e2e/run.sh).
    env.setdefault("QEMU_RESERVED_VA", "0x81000000")
    env.pop("DISPLAY", None)
    return env


def run(prefix: Path, args: list) -> float:
    env = wine_env(prefix)
    start = time.monotonic()
    subprocess.run([wb.WINE, *args], env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run([wb.WINESERVER, "-w"], env=env, check=True)
    elapsed = time.monotonic() - start
    subprocess.run([wb.WINESERVER, "-k"], env=env)
    return elapsed


def pairs(count: int, commands: dict, timed) -> dict:
    """Times each command `count` times, in pairs whose order alternates."""
    times = {name: [] for name in commands}
    for i in range(count):
        order = list(commands) if i % 2 == 0 else list(reversed(list(commands)))
        for name in order:
            times[name].append(timed(name, commands[name]))
        print(f"pair {i + 1}: " + ", ".join(f"{n} {times[n][-1]:.3f} s" for n in commands),
              flush=True)
    return times


def real_install(work: Path, base: Path) -> None:
    def timed(name: str, args: list) -> float:
        copy = work / f"run-{name.replace('.', '_')}"
        shutil.copytree(base, copy, symlinks=True)
        try:
            return run(copy, args)
        finally:
            shutil.rmtree(copy)

    times = pairs(PAIRS, {
        "setup.exe": [r"C:\Demo\setup.exe", "/i", "/quiet"],
        "msiexec": ["msiexec", "/i", r"C:\Demo\Demo.msi", "/quiet"],
    }, timed)
    setup = statistics.median(times["setup.exe"])
    msiexec = statistics.median(times["msiexec"])
    print(f"median setup.exe /i /quiet:         {setup:.2f} s")
    print(f"median msiexec /i Demo.msi /quiet: {msiexec:.2f} s")
    print(f"ratio: {setup / msiexec:.3f} ({(setup / msiexec - 1) * 100:+.1f}%)")


def start_up(work: Path, base: Path) -> None:
    path = work / "startup"
    shutil.copytree(base, path, symlinks=True)
    prefix = wb.Prefix(path, display=None)
    tools = wb.tools_dir("x64")
    wb.install_doubles(prefix, "x64", tools)
    call_log = wb.system_folder(prefix, "x64") / "recording_msi.log"
    wb.script_msi(call_log.parent, {})

    def installer_called() -> bool:
        return call_log.exists() and "MsiInstallProductW|" in call_log.read_text("utf-8", "replace")

    shutil.copy(tools / "noop.exe", path / "drive_c" / "noop.exe")
    env = prefix.env()

    def timed(name: str, args: list) -> float:
        call_log.unlink(missing_ok=True)
        start = time.monotonic()
        process = subprocess.Popen([wb.WINE, *args], env=env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        called = None
        while name == "setup.exe" and called is None:
            if installer_called():
                called = time.monotonic() - start
            elif process.poll() is not None:
                raise RuntimeError("setup.exe ended without calling the installer")
            else:
                time.sleep(0.001)
        code = process.wait(60)
        if code != 0:
            raise RuntimeError(f"{name} ended with {code}")
        return called if called is not None else time.monotonic() - start

    commands = {
        "setup.exe": [r"C:\Demo\setup.exe", "/i", "/quiet"],
        "noop.exe": [r"C:\noop.exe"],
    }
    prefix.start_server()
    try:
        # The session's services start with the first program; each program
        # runs once before the timed pairs.
        for name, args in commands.items():
            timed(name, args)
        times = pairs(STARTUP_PAIRS, commands, timed)
    finally:
        prefix.stop_server()
    setup = statistics.median(times["setup.exe"])
    noop = statistics.median(times["noop.exe"])
    own = statistics.median(s - n for s, n in zip(times["setup.exe"], times["noop.exe"]))
    print(f"median setup.exe /i /quiet to its installer call: {setup:.3f} s")
    print(f"median noop.exe, start to exit:                   {noop:.3f} s")
    print(f"ratio: {setup / noop:.2f}; setup.exe's own start-up (median of the pairs' "
          f"differences): {own * 1000:.0f} ms")


def main() -> None:
    work = Path(tempfile.mkdtemp(prefix="setup-bench."))
    try:
        base = work / "base"
        env = wine_env(base)
        subprocess.run([wb.WINE, "wineboot", "-i"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([wb.WINESERVER, "-w"], env=env, check=True)
        media = base / "drive_c" / "Demo"
        media.mkdir(parents=True)
        subprocess.run(["wixl", "-a", "x64", "-o", str(media / "Demo.msi"), "demo.wxs"],
                       cwd=REPO / "tests" / "e2e" / "packages", check=True)
        shutil.copy(wb.setup_exe(), media / "setup.exe")
        (media / "setup.ini").write_text("[Main]\r\nMsiPath=Demo.msi\r\n")
        # Wine finishes setting up a prefix on its first program start; let
        # that happen in the base, not in the timed runs.
        run(base, ["cmd", "/c", "exit"])
        print(f"{wb.setup_exe()}, {wb.WINE}", flush=True)
        if PAIRS:
            real_install(work, base)
        if STARTUP_PAIRS:
            start_up(work, base)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
