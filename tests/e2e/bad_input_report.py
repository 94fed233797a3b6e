"""A pytest plugin that writes the bad-input table: one row per case of
test_bad_input.py with what the program does with the input, its exit code,
how long the run took and whether the case passed, as a Markdown table in
build/e2e-artifacts/bad-input.md (relative to the repository).

test_bad_input.py loads it (pytest_plugins); a case fills its row through
the test's user properties: "input", "behaviour" (what the program is
expected to do, stated before the run), "observed" (exit code and time, set
after the run). The table is written only when every case of the suite ran,
so that running a selection of them leaves the last whole table in place."""

from __future__ import annotations

import datetime
from pathlib import Path

import pytest

import winebench as wb

TABLE = wb.REPO / "build" / "e2e-artifacts" / "bad-input.md"
SUITE = "test_bad_input.py"

_rows: dict[str, dict[str, str]] = {}
_collected: set[str] = set()


def _cell(text: str) -> str:
    return " ".join(str(text).split()).replace("|", "\\|")


def pytest_itemcollected(item: pytest.Item) -> None:
    if Path(str(item.fspath)).name == SUITE:
        _collected.add(item.nodeid)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item: pytest.Item, call: pytest.CallInfo):
    outcome = yield
    report = outcome.get_result()
    if Path(str(item.fspath)).name != SUITE:
        return
    row = _rows.setdefault(item.nodeid, {"result": "not run"})
    row.update({key: str(value) for key, value in item.user_properties})
    if report.when == "setup" and report.failed:
        row["result"] = "error in setup"
    elif report.when == "call":
        if report.passed:
            row["result"] = "passed"
        elif report.skipped:
            row["result"] = "skipped"
        else:
            message = getattr(report.longrepr, "reprcrash", None)
            first = message.message.splitlines()[0] if message is not None else "failed"
            row["result"] = f"FAILED: {first[:160]}"


def pytest_sessionfinish(session: pytest.Session, exitstatus: int) -> None:
    # Only a run of every case makes the table; a selection leaves it alone.
    if not _rows or not _collected <= _rows.keys():
        return
    lines = [
        f"Bad input, {datetime.datetime.now():%Y-%m-%d %H:%M}, program {wb.setup_exe().relative_to(wb.REPO) if wb.setup_exe().is_relative_to(wb.REPO) else wb.setup_exe()}"
        f" (`tests/e2e/run.sh -k bad_input`)",
        "",
        "| Input | What the program does | Exit code, time | Result |",
        "|---|---|---|---|",
    ]
    for row in _rows.values():
        observed = row.get("observed", "-")
        if row.get("observed_note"):
            observed += f"; {row['observed_note']}"
        lines.append(f"| {_cell(row.get('input', '?'))} | {_cell(row.get('behaviour', '?'))} "
                     f"| {_cell(observed)} | {_cell(row['result'])} |")
    TABLE.parent.mkdir(parents=True, exist_ok=True)
    TABLE.write_text("\n".join(lines) + "\n", encoding="utf-8")
