#!/usr/bin/env python3
"""Mutation testing of the portable core against the native unit tests.

    python3 scripts/mutate.py [--count N] [--seed S]

Copies the sources to build/mutation/tree, lists every simple mutant of the
core's and the media checker's .cpp files (a relational or equality
operator swapped, a boundary moved by one, a condition negated, && and ||
swapped, true and false swapped, a statement dropped, an integer constant
changed), draws a fixed sample with the seed, and for each mutant rebuilds
the unit tests and runs them; a mutant of the checker also meets the
checker's corpus (tests/setupcheck) through the rebuilt Linux setupcheck. A mutant that does not compile is left out of the count; one that
makes a test fail, crash or run over the time limit is killed. Prints the
killed share and writes the survivors to build/mutation/survivors.txt, and
to build/mutation/kills.txt which tests kill each mutant and, per test, how
many mutants it kills and how many of them no other test kills (its own).
Every unit test meets every mutant (after a crash or a hang the tests not
yet run are run again without the one that stopped), and a mutant of the
checker meets the whole corpus too, so that "its own" is exact.
"""

from __future__ import annotations

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
CORE = ("driver", "config", "conditions", "components", "product", "diagnostics", "checker")
WORK = REPO / "build" / "mutation"
TEST_TIMEOUT = 10  # seconds; the unit tests take well under one, so only a hang meets it

# (name, pattern, replacement); a pattern must not match inside a string or
# a comment (those parts of a line are blanked before matching).
OPERATORS = [
    ("< to <=", r" < ", " <= "), ("<= to <", r" <= ", " < "),
    ("> to >=", r" > ", " >= "), (">= to >", r" >= ", " > "),
    ("< to >", r" < ", " > "), ("> to <", r" > ", " < "),
    ("== to !=", r" == ", " != "), ("!= to ==", r" != ", " == "),
    ("&& to ||", r" && ", " || "), ("|| to &&", r" \|\| ", " && "),
    ("true to false", r"\btrue\b", "false"), ("false to true", r"\bfalse\b", "true"),
]


def blank_strings_and_comments(line: str) -> str:
    """The line with string and character literals and // comments replaced
    by blanks of the same length, so that offsets stay valid."""
    out, i, quote = [], 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\" and i + 1 < len(line):
                out.append("  ")
                i += 2
                continue
            out.append(" " if c != quote else c)
            if c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def matching_paren(text: str, open_index: int) -> int:
    depth = 0
    for i in range(open_index, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def mutants_of(path: Path) -> list[tuple[str, int, str, str]]:
    """(file, line number, kind, mutated line) for every mutant of a file."""
    found = []
    rel = str(path.relative_to(REPO))
    in_block_comment = False
    for number, line in enumerate(path.read_text().splitlines(), 1):
        stripped = line.strip()
        if in_block_comment:
            in_block_comment = "*/" not in stripped
            continue
        if stripped.startswith("/*"):
            in_block_comment = "*/" not in stripped
            continue
        if not stripped or stripped.startswith(("#", "//")):
            continue
        code = blank_strings_and_comments(line)
        for name, pattern, replacement in OPERATORS:
            for match in re.finditer(pattern, code):
                found.append((rel, number, name, line[:match.start()] + replacement + line[match.end():]))
        for match in re.finditer(r"(?<![\w.])(\d+)(?![\w.])", code):
            value = int(match.group(1))
            for changed in {value + 1, value - 1} - {-1}:
                found.append((rel, number, f"constant {value} to {changed}",
                              line[:match.start()] + str(changed) + line[match.end():]))
        for match in re.finditer(r"\b(if|while) \(", code):
            close = matching_paren(code, match.end() - 1)
            if close > 0:
                inner = line[match.end():close]
                found.append((rel, number, "condition negated",
                              line[:match.end()] + "!(" + inner + ")" + line[close:]))
        if (stripped.endswith(";") and not stripped.startswith(("return", "break", "continue", "case", "default"))
                and "(" in code and "=" not in code.split("(")[0] and code.count("(") == code.count(")")):
            found.append((rel, number, "statement dropped", line[:len(line) - len(line.lstrip())] + ";"))
    return found


def run(command: list[str], cwd: Path, timeout: float | None = None) -> subprocess.CompletedProcess:
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True, timeout=timeout)


def unit_test_names(tests: Path, cwd: Path) -> list[str]:
    """Suite.Name of every unit test, as --gtest_list_tests gives them."""
    names, suite = [], ""
    for line in run([str(tests), "--gtest_list_tests"], cwd, TEST_TIMEOUT).stdout.splitlines():
        if not line.strip():
            continue
        if line.startswith(" "):
            names.append(suite + line.split()[0])
        else:
            suite = line.split()[0]
    return names


def failing_unit_tests(tests: Path, cwd: Path) -> set[str]:
    """The unit tests that fail, crash or hang. After a crash or a hang the
    tests not yet run are run again without those that stopped the program;
    a program that fails without a failing test counts as one test of its own."""
    failing: set[str] = set()
    while True:
        command = [str(tests)] + ([f"--gtest_filter=-{':'.join(sorted(failing))}"] if failing else [])
        try:
            result = run(command, cwd, TEST_TIMEOUT)
            output, code, stopped = result.stdout, result.returncode, False
        except subprocess.TimeoutExpired as error:
            output, code, stopped = error.stdout or "", None, True
            if isinstance(output, bytes):
                output = output.decode(errors="replace")
        started, ended, failed = [], set(), set()
        for state, name in re.findall(r"^\[ *(RUN|OK|FAILED|SKIPPED) *\] (\S+)", output, re.M):
            if state == "RUN":
                started.append(name)
            else:
                ended.add(name)
                if state == "FAILED":
                    failed.add(name)
        failing |= failed & set(started)
        unfinished = [name for name in started if name not in ended]
        if unfinished and (stopped or code != 0) and unfinished[-1] not in failing:
            failing.add(unfinished[-1])
            continue
        if stopped or (code != 0 and not failed):
            failing.add("(the unit test program: " + ("no end within the time limit)" if stopped else
                                                       f"exit code {code} without a failing test)"))
        return failing


def corpus_tests(tree: Path, setupcheck: Path, report: Path) -> dict[str, bool] | None:
    """Every test of the checker's corpus (tests/setupcheck), as file::test,
    and whether it fails against this setupcheck; None when the corpus did
    not run to its end."""
    try:
        subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider", f"--junitxml={report}",
                        str(tree / "tests" / "setupcheck")], cwd=tree, capture_output=True, text=True,
                       timeout=TEST_TIMEOUT * 5, env={**os.environ, "SETUPCHECK": str(setupcheck)})
        cases = ElementTree.parse(report).getroot().iter("testcase")
    except (subprocess.TimeoutExpired, OSError, ElementTree.ParseError):
        return None
    finally:
        report.unlink(missing_ok=True)
    return {f"{case.get('classname', '').rpartition('.')[2]}::{case.get('name')}":
            any(child.tag in ("failure", "error") for child in case) for case in cases}


def write_kills(path: Path, heading: str, kills: dict[str, set[str]], tests: list[str]) -> int:
    """kills.txt: per test its kills and its own kills, then per killed mutant
    the tests that kill it. Returns how many tests kill none of their own."""
    counts = {name: [0, 0] for name in tests}
    for killers in kills.values():
        for name in killers:
            counts.setdefault(name, [0, 0])[0] += 1
            if len(killers) == 1:
                counts[name][1] += 1
    without = sum(1 for _, own in counts.values() if own == 0)
    lines = [heading, "", f"Per test: the mutants it kills, and its own (killed by no other test); "
             f"{without} of {len(counts)} tests kill none of their own.", "", " kills   own  test"]
    for name, (killed, own) in sorted(counts.items(), key=lambda item: (-item[1][1], -item[1][0], item[0])):
        lines.append(f"{killed:6} {own:5}  {name}")
    lines += ["", "Per killed mutant: the tests that kill it", ""]
    for mutant, killers in kills.items():
        lines += [mutant, "    " + ", ".join(sorted(killers))]
    path.write_text("\n".join(lines) + "\n")
    return without


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--count", type=int, default=320)
    parser.add_argument("--seed", type=int, default=2026)
    args = parser.parse_args()

    tree = WORK / "tree"
    build = WORK / "build"
    # A fresh tree and build: copied sources keep their times, which an old
    # build could take for up to date.
    for folder in (tree, build):
        if folder.exists():
            shutil.rmtree(folder)
    shutil.copytree(REPO, tree, ignore=shutil.ignore_patterns("build", "dist", ".git"))
    # Each mutant rebuilds its file and, after it, the file restored: a
    # compiler cache makes the second build a copy.
    launcher = [f"-DCMAKE_{language}_COMPILER_LAUNCHER=ccache" for language in ("C", "CXX")] if shutil.which("ccache") else []
    configured = run(["cmake", "-S", str(tree), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug", *launcher],
                     tree)
    if configured.returncode != 0:
        print(configured.stdout + configured.stderr, file=sys.stderr)
        return 2
    built = run(["cmake", "--build", str(build), "-j2", "--target", "unit_tests", "setupcheck"], tree)
    if built.returncode != 0:
        print(built.stdout + built.stderr, file=sys.stderr)
        return 2
    tests = build / "tests" / "unit" / "unit_tests"
    if run([str(tests)], tree, TEST_TIMEOUT).returncode != 0:
        print("the unit tests fail without any mutant", file=sys.stderr)
        return 2
    corpus_report = WORK / "corpus.xml"
    corpus = corpus_tests(tree, build / "setupcheck", corpus_report)
    if not corpus or any(corpus.values()):
        print(f"the checker's corpus does not pass without any mutant (pytest for {sys.executable}?)", file=sys.stderr)
        return 2
    every_test = unit_test_names(tests, tree) + sorted(corpus)

    candidates = []
    for folder in CORE:
        for path in sorted((REPO / folder).glob("*.cpp")):
            candidates += mutants_of(path)
    sample = random.Random(args.seed).sample(candidates, min(args.count, len(candidates)))

    killed, survived, uncompiled = 0, [], 0
    kills: dict[str, set[str]] = {}
    started = time.monotonic()
    for index, (rel, number, kind, mutated) in enumerate(sample, 1):
        target = tree / rel
        original = target.read_text()
        lines = original.splitlines(keepends=True)
        ending = "\n" if lines[number - 1].endswith("\n") else ""
        lines[number - 1] = mutated + ending
        target.write_text("".join(lines))
        checker = rel.startswith("checker/")
        targets = ["unit_tests"] + (["setupcheck"] if checker else [])
        try:
            if run(["cmake", "--build", str(build), "-j2", "--target", *targets], tree).returncode != 0:
                uncompiled += 1
                verdict = "does not compile"
            else:
                killers = failing_unit_tests(tests, tree)
                if checker:
                    corpus = corpus_tests(tree, build / "setupcheck", corpus_report)
                    killers |= ({name for name, failed in corpus.items() if failed} if corpus is not None
                                else {"(the checker's corpus: no end within the time limit)"})
                if killers:
                    killed += 1
                    kills[f"{rel}:{number}: {kind}: {mutated.strip()}"] = killers
                    verdict = "killed"
                else:
                    survived.append(f"{rel}:{number}: {kind}: {mutated.strip()}")
                    verdict = "SURVIVED"
        finally:
            target.write_text(original)
        print(f"[{index}/{len(sample)}] {rel}:{number} {kind}: {verdict}", flush=True)
    # Leave the build matching the sources.
    run(["cmake", "--build", str(build), "--target", "unit_tests"], tree)

    counted = killed + len(survived)
    share = killed / counted if counted else 0.0
    (WORK / "survivors.txt").write_text("\n".join(survived) + "\n")
    print(f"mutants: {len(sample)} drawn of {len(candidates)} (seed {args.seed}); "
          f"{uncompiled} do not compile; {killed} of {counted} killed ({share:.1%}); "
          f"{len(survived)} survive (build/mutation/survivors.txt); "
          f"{time.monotonic() - started:.0f} s")
    heading = (f"Which tests kill which mutants: {killed} killed of {len(sample)} drawn (seed {args.seed}); "
               "the unit tests meet every mutant, the checker's corpus (tests/setupcheck) those of checker/.")
    without = write_kills(WORK / "kills.txt", heading, kills, every_test)
    print(f"kills per test: build/mutation/kills.txt ({without} tests kill none of their own)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
