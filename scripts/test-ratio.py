#!/usr/bin/env python3
"""Prints the tests' share of the code, by lines and by characters.

Tests: the git-tracked files under tests/ except Markdown. Code: the
git-tracked .c, .cpp, .h and .hpp files outside tests/, scripts/,
resources/, docs/ and cmake/. Lines are line ends; characters are counted
as the files' UTF-8 bytes, as the project's figures always were (a letter
beyond ASCII counts two or three). Only prints: it never fails the caller.
"""
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
NOT_CODE = ("tests/", "scripts/", "resources/", "docs/", "cmake/")
CODE = (".c", ".cpp", ".h", ".hpp")
PARTS = [("unit", ("tests/unit/", "tests/fuzz/")), ("end to end", ("tests/e2e/",)),
         ("checker corpus", ("tests/setupcheck/",))]


def measure(paths):
    lines = chars = 0
    for path in paths:
        data = (ROOT / path).read_bytes()
        lines += data.count(b"\n")
        chars += len(data)
    return lines, chars


def main():
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True).stdout
    files = [name for name in files.decode("utf-8").split("\0") if name and (ROOT / name).is_file()]
    tests = [name for name in files if name.startswith("tests/") and not name.endswith(".md")]
    code = [name for name in files if name.endswith(CODE) and not name.startswith(NOT_CODE)]
    test_lines, test_chars = measure(tests)
    code_lines, code_chars = measure(code)
    print(f"tests {test_lines:,} lines, {test_chars:,} characters (UTF-8 bytes); "
          f"code {code_lines:,} lines, {code_chars:,} characters")
    print(f"ratio {test_lines / code_lines:.3f} by lines, {test_chars / code_chars:.3f} by characters")
    split = []
    for name, prefixes in PARTS:
        part_lines, part_chars = measure([path for path in tests if path.startswith(prefixes)])
        split.append(f"{name} {part_lines:,} lines, {part_chars:,} characters")
    print("tests: " + "; ".join(split))


if __name__ == "__main__":
    try:
        main()
    except Exception as error:  # a measure, never a reason to fail the tests
        print(f"test-ratio: not measured: {error}", file=sys.stderr)
