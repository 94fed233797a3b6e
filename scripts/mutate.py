#!/usr/bin/env python3
"""Mutation testing of the portable core against the native unit tests.

    python3 scripts/mutate.py [--count N] [--seed S] [--jobs J]

Copies the sources to build/mutation/tree, lists every simple mutant of the
core's and the media checker's .cpp files (a relational or equality
operator swapped, a boundary moved by one, a condition negated, && and ||
swapped, true and false swapped, a statement dropped, an integer constant
changed), draws a fixed sample with the seed, and for each mutant rebuilds
the unit tests and runs them; a mutant of the checker also meets the
checker's corpus (tests/setupcheck) through the rebuilt Linux setupcheck. A mutant that does not compile is left out of the count; one that
makes a test fail, crash or run over the time limit is killed. Prints the
killed share and writes the survivors to build/mutation/survivors.txt.
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
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
CORE = ("driver", "config", "conditions", "components", "product", "diagnostics", "checker")
WORK = REPO / "build" / "mutation"
TEST_TIMEOUT = 60

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
    configured = run(["cmake", "-S", str(tree), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug"],
                     tree)
    if configured.returncode != 0:
        print(configured.stdout + configured.stderr, file=sys.stderr)
        return 2
    built = run(["cmake", "--build", str(build), "--target", "unit_tests", "setupcheck"], tree)
    if built.returncode != 0:
        print(built.stdout + built.stderr, file=sys.stderr)
        return 2
    tests = build / "tests" / "unit" / "unit_tests"
    if run([str(tests)], tree, TEST_TIMEOUT).returncode != 0:
        print("the unit tests fail without any mutant", file=sys.stderr)
        return 2

    candidates = []
    for folder in CORE:
        for path in sorted((REPO / folder).glob("*.cpp")):
            candidates += mutants_of(path)
    sample = random.Random(args.seed).sample(candidates, min(args.count, len(candidates)))

    killed, survived, uncompiled = 0, [], 0
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
            if run(["cmake", "--build", str(build), "--target", *targets], tree).returncode != 0:
                uncompiled += 1
                verdict = "does not compile"
            else:
                try:
                    result = run([str(tests)], tree, TEST_TIMEOUT)
                    dead = result.returncode != 0
                    if not dead and checker:
                        corpus = subprocess.run([sys.executable, "-m", "pytest", "-q", "-x", "-p", "no:cacheprovider",
                                                 str(tree / "tests" / "setupcheck")], cwd=tree, capture_output=True,
                                                text=True, timeout=TEST_TIMEOUT * 5,
                                                env={**os.environ, "SETUPCHECK": str(build / "setupcheck")})
                        dead = corpus.returncode != 0
                except subprocess.TimeoutExpired:
                    dead = True
                if dead:
                    killed += 1
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
    return 0


if __name__ == "__main__":
    sys.exit(main())
