#!/usr/bin/env python3
"""Times `setup.exe /i /quiet` against `msiexec /i Demo.msi /quiet` for the
same package, each in a fresh copy of the same Wine prefix, in pairs (the
order alternates), and prints both medians and their ratio.

    python3 scripts/benchmark.py [runs]       (default 5; after scripts/build.sh)
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
RUNS = int(sys.argv[1]) if len(sys.argv) > 1 else 5


def wine_env(prefix: Path) -> dict:
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    return env


def run(prefix: Path, args: list) -> float:
    env = wine_env(prefix)
    start = time.monotonic()
    subprocess.run(["wine", *args], env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, check=True)
    elapsed = time.monotonic() - start
    subprocess.run(["wineserver", "-k"], env=env)
    return elapsed


def main() -> None:
    work = Path(tempfile.mkdtemp(prefix="setup-bench."))
    try:
        base = work / "base"
        env = wine_env(base)
        subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, check=True)
        media = base / "drive_c" / "Demo"
        media.mkdir(parents=True)
        subprocess.run(["wixl", "-a", "x64", "-o", str(media / "Demo.msi"), "demo.wxs"],
                       cwd=REPO / "tests" / "e2e" / "packages", check=True)
        shutil.copy(REPO / "dist" / "x64" / "setup.exe", media / "setup.exe")
        (media / "setup.ini").write_text("[Main]\r\nMsiPath=Demo.msi\r\n")
        # Wine finishes setting up a prefix on its first program start; let
        # that happen in the base, not in the timed runs.
        run(base, ["cmd", "/c", "exit"])

        commands = {
            "setup.exe": [r"C:\Demo\setup.exe", "/i", "/quiet"],
            "msiexec": ["msiexec", "/i", r"C:\Demo\Demo.msi", "/quiet"],
        }
        times = {name: [] for name in commands}
        for i in range(RUNS):
            order = list(commands) if i % 2 == 0 else list(reversed(list(commands)))
            for name in order:
                copy = work / f"run-{i}-{name.replace('.', '_')}"
                shutil.copytree(base, copy, symlinks=True)
                times[name].append(run(copy, commands[name]))
                shutil.rmtree(copy)
            print(f"run {i + 1}: " + ", ".join(f"{n} {times[n][-1]:.2f} s" for n in commands),
                  flush=True)
        setup = statistics.median(times["setup.exe"])
        msiexec = statistics.median(times["msiexec"])
        print(f"median setup.exe /i /quiet:         {setup:.2f} s")
        print(f"median msiexec /i Demo.msi /quiet: {msiexec:.2f} s")
        print(f"ratio: {setup / msiexec:.3f} ({(setup / msiexec - 1) * 100:+.1f}%)")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
