"""Driving the setup's two dialogs as a person would, and reading back what
the person would see.

* DialogProbe: tools/dialogprobe.exe running in the prefix; it lists the
  dialogs on the desktop with their caption, owner, rectangles, the control
  that has the focus and every control (text, rectangle, state), and the
  rows of a list view with their item images.
* Input goes through X, as a person's would: xdotool gives the dialog's X
  window the focus and types keys, or moves the pointer and clicks.
  (Wine hands a key to the window that has the focus, whatever X window the
  event names; with no window manager the first window of a program is
  never activated, so the focus is always given explicitly.)
* Screenshots of each dialog and box are kept as artefacts of the test in
  build/e2e-artifacts/dialogs/<test>/.
"""

from __future__ import annotations

import dataclasses
import json
import queue
import re
import shutil
import subprocess
import threading
import time
from pathlib import Path
from typing import Callable, Iterable, Optional

import winebench as wb

ARTIFACTS_DIR = wb.REPO / "build" / "e2e-artifacts" / "dialogs"

# Controls of the prerequisites dialog (template 129).
IDOK, IDCANCEL = 1, 2
PREREQ_HEADER, PREREQ_LIST, PREREQ_STATUS = 1001, 10010, 10013
# Controls of the download dialog (template 201).
DOWNLOAD_EXPLANATION, DOWNLOAD_LINK = 1004, 1005

# Item images of the prerequisites list.
UNTICKED, TICKED, NO_BOX = 0, 1, 2

# The static control that holds a message box's text.
MESSAGE_BOX_TEXT_ID = 0xFFFF

Rect = tuple[int, int, int, int]


def inside(inner: Rect, outer: Rect) -> bool:
    return (inner[0] >= outer[0] and inner[1] >= outer[1]
            and inner[2] <= outer[2] and inner[3] <= outer[3])


def overlap(a: Rect, b: Rect) -> bool:
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def centre(rect: Rect) -> tuple[int, int]:
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2


def width(rect: Rect) -> int:
    return rect[2] - rect[0]


def height(rect: Rect) -> int:
    return rect[3] - rect[1]


@dataclasses.dataclass
class ListItem:
    text: str
    image: int
    icon: Optional[Rect]
    label: Optional[Rect]


@dataclasses.dataclass
class Control:
    id: int
    cls: str
    text: str
    rect: Rect
    visible: bool
    enabled: bool
    style: int
    items: Optional[list[ListItem]] = None
    selection_mark: Optional[int] = None


@dataclasses.dataclass
class Dialog:
    hwnd: int
    pid: int
    owner: int
    caption: str
    enabled: bool
    rect: Rect
    client: Rect
    x_window: int
    focus: int
    controls: dict[int, Control]

    @property
    def is_message_box(self) -> bool:
        return MESSAGE_BOX_TEXT_ID in self.controls

    def text(self, control_id: int) -> str:
        return self.controls[control_id].text

    @property
    def items(self) -> list[ListItem]:
        items = self.controls[PREREQ_LIST].items
        assert items is not None, "the list view's rows could not be read"
        return items

    def images(self) -> list[int]:
        return [item.image for item in self.items]

    def describe(self) -> str:
        lines = [f"dialog {self.caption!r} pid={self.pid} owner={self.owner} x={self.x_window} rect={self.rect} "
                 f"client={self.client} focus={self.focus}"]
        for control in self.controls.values():
            lines.append(f"    {control.id} {control.cls} {control.text!r} {control.rect}"
                         f"{'' if control.visible else ' hidden'}{'' if control.enabled else ' disabled'}")
            for item in control.items or []:
                lines.append(f"        row {item.text!r} image={item.image} icon={item.icon}")
        return "\n".join(lines)


def _rect(value) -> Optional[Rect]:
    return tuple(value) if value else None  # type: ignore[return-value]


def _dialog(raw: dict) -> Dialog:
    controls = {}
    for entry in raw["controls"]:
        items = None
        if "items" in entry and entry["items"] is not None:
            items = [ListItem(item["text"], item["image"], _rect(item["icon"]), _rect(item["label"]))
                     for item in entry["items"] if item is not None]
        controls[entry["id"]] = Control(entry["id"], entry["class"], entry["text"], _rect(entry["rect"]),
                                        entry["visible"], entry["enabled"], entry["style"], items,
                                        entry.get("selection_mark"))
    return Dialog(raw["hwnd"], raw["pid"], raw["owner"], raw["caption"], raw["enabled"],
                  _rect(raw["rect"]), _rect(raw["client"]), raw["x_window"], raw["focus"],
                  controls)


class DialogProbe:
    """tools/dialogprobe.exe in a prefix, asked for the dialogs on demand."""

    def __init__(self, prefix: wb.WinePrefix, exe: Path) -> None:
        prefix.start_server()
        self._lines: "queue.Queue[Optional[str]]" = queue.Queue()
        self.process = subprocess.Popen(
            [wb.WINE, str(exe)], env=prefix.env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, start_new_session=True)
        threading.Thread(target=self._read, daemon=True).start()
        first = self._next(30)
        if first is None or json.loads(first).get("event") != "ready":
            self.stop()
            raise RuntimeError("dialogprobe.exe did not start")

    def _read(self) -> None:
        assert self.process.stdout is not None
        for raw in self.process.stdout:
            self._lines.put(raw.decode("ascii", "replace"))
        self._lines.put(None)

    def _next(self, timeout: float) -> Optional[str]:
        try:
            return self._lines.get(timeout=timeout)
        except queue.Empty:
            return None

    def dialogs(self, pid: Optional[int] = None) -> list[Dialog]:
        """The visible dialogs (of one process), message boxes included."""
        assert self.process.stdin is not None
        self.process.stdin.write(f"list {pid or 0}\n".encode())
        self.process.stdin.flush()
        line = self._next(30)
        if line is None:
            raise RuntimeError("dialogprobe.exe did not answer")
        return [_dialog(raw) for raw in json.loads(line)["windows"]]

    def find(self, pid: Optional[int], caption: str) -> Optional[Dialog]:
        """The dialog (not a message box) of the process with this caption."""
        for dialog in self.dialogs(pid):
            if dialog.caption == caption and not dialog.is_message_box:
                return dialog
        return None

    def wait_for(self, run: wb.SetupRun, caption: str, timeout: float = 60,
                 settle: Callable[[Dialog], bool] = lambda dialog: True) -> Dialog:
        """The dialog of the run with this caption, once it is on the screen
        and `settle` holds for it; fails when the run ends or time is up."""
        pid = run.wait_for_pid(timeout)
        deadline = time.monotonic() + timeout
        last: Optional[Dialog] = None
        while time.monotonic() < deadline:
            found = self.find(pid, caption) if pid else None
            if found is not None:
                last = found
                if settle(found):
                    return found
            if run.process.poll() is not None:
                break
            time.sleep(0.1)
        raise AssertionError(
            f"no dialog {caption!r} of the run"
            + (f"; last seen:\n{last.describe()}" if last else "")
            + f"\nthe dialogs now: {[d.caption for d in self.dialogs()]}\n{run.describe()}")

    def refresh(self, dialog: Dialog) -> Optional[Dialog]:
        """The dialog read again; None once it is gone."""
        for found in self.dialogs(dialog.pid):
            if found.hwnd == dialog.hwnd:
                return found
        return None

    def wait_gone(self, dialog: Dialog, timeout: float = 30) -> bool:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.refresh(dialog) is None:
                return True
            time.sleep(0.1)
        return False

    def wait_until(self, dialog: Dialog, predicate: Callable[[Dialog], bool], timeout: float = 10
                   ) -> Dialog:
        """The dialog read again until the predicate holds for it; the last
        reading either way (the caller asserts on it)."""
        deadline = time.monotonic() + timeout
        current = dialog
        while True:
            found = self.refresh(dialog)
            if found is None:
                raise AssertionError(f"the dialog {dialog.caption!r} is gone")
            current = found
            if predicate(current) or time.monotonic() > deadline:
                return current
            time.sleep(0.1)

    def stop(self) -> None:
        if self.process.stdin:
            try:
                self.process.stdin.close()
            except OSError:
                pass
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait(5)


# --------------------------------------------------------------------------
# Input through X


class Person:
    """Keys and clicks through X at the bench's display."""

    def __init__(self, display: str) -> None:
        self.display = display

    def _xdotool(self, *args: str, timeout: float = 10) -> subprocess.CompletedProcess:
        return wb.xdotool(self.display, *args, timeout=timeout)

    def x_window(self, dialog: Dialog) -> str:
        """The dialog's X window: Wine's own record of it, else the window of
        that caption whose geometry is the dialog's."""
        if dialog.x_window:
            return str(dialog.x_window)
        found = self._xdotool("search", "--name", "^" + re.escape(dialog.caption) + "$").stdout.split()
        for window in found:
            shell = self._xdotool("getwindowgeometry", "--shell", window).stdout
            values = dict(line.split("=", 1) for line in shell.split() if "=" in line)
            if (int(values.get("X", -1)), int(values.get("Y", -1))) == dialog.rect[:2]:
                return window
        raise AssertionError(f"no X window for {dialog.caption!r} at {dialog.rect}: {found}")

    def focus(self, dialog: Dialog) -> None:
        try:
            self._xdotool("windowfocus", "--sync", self.x_window(dialog), timeout=5)
        except subprocess.TimeoutExpired:
            pass

    def keys(self, dialog: Dialog, *keys: str) -> None:
        """Gives the dialog the focus, then types the keys one by one."""
        self.focus(dialog)
        for key in keys:
            self._xdotool("key", key)
            time.sleep(0.15)

    def click(self, point: tuple[int, int]) -> None:
        self._xdotool("mousemove", "--sync", str(point[0]), str(point[1]))
        self._xdotool("click", "1")
        time.sleep(0.15)

    def window_geometry(self, dialog: Dialog) -> tuple[int, int, int, int]:
        """x, y, width, height of the dialog's X window, as X reports them."""
        shell = self._xdotool("getwindowgeometry", "--shell", self.x_window(dialog)).stdout
        values = dict(line.split("=", 1) for line in shell.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def window_name(self, dialog: Dialog) -> str:
        return self._xdotool("getwindowname", self.x_window(dialog)).stdout.rstrip("\n")


# --------------------------------------------------------------------------
# Screenshots


class Shots:
    """Numbered screenshots of one test in its own artefact folder."""

    def __init__(self, display: str, folder: Path) -> None:
        self.display = display
        self.folder = folder
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        self.count = 0
        self.taken: list[Path] = []

    def _path(self, name: str) -> Path:
        self.count += 1
        return self.folder / f"{self.count:02d}-{name}.png"

    def region(self, name: str, rect: Rect) -> Path:
        """The screen's region, as a PNG file."""
        path = self._path(name)
        subprocess.run(["import", "-display", self.display, "-window", "root", "-crop",
                        f"{width(rect)}x{height(rect)}+{rect[0]}+{rect[1]}", "+repage", str(path)],
                       capture_output=True, timeout=30, check=False)
        self.taken.append(path)
        return path

    def dialog(self, name: str, dialog: Dialog) -> Path:
        return self.region(name, dialog.rect)

    def x_window(self, name: str, window: Optional[str]) -> Optional[Path]:
        if not window:
            return None
        path = self._path(name)
        subprocess.run(["import", "-display", self.display, "-window", window, str(path)],
                       capture_output=True, timeout=30, check=False)
        self.taken.append(path)
        return path


def colours_in(path: Path, rect: Rect, origin: tuple[int, int]) -> int:
    """How many distinct colours the screenshot shows in the rectangle (screen
    coordinates; `origin` is the screenshot's top left on the screen)."""
    geometry = f"{width(rect)}x{height(rect)}+{rect[0] - origin[0]}+{rect[1] - origin[1]}"
    result = subprocess.run(["convert", str(path), "-crop", geometry, "+repage", "-format", "%k", "info:"],
                            capture_output=True, text=True, timeout=30, check=True)
    return int(result.stdout.strip())


def pixels_in(path: Path, rect: Rect, origin: tuple[int, int]) -> bytes:
    """The rectangle's pixels as raw RGB bytes."""
    geometry = f"{width(rect)}x{height(rect)}+{rect[0] - origin[0]}+{rect[1] - origin[1]}"
    result = subprocess.run(["convert", str(path), "-crop", geometry, "+repage", "rgb:-"],
                            capture_output=True, timeout=30, check=True)
    return result.stdout


def box_shooter(shots: Shots, answer: Callable[[wb.Box], Optional[str]]) -> wb.AnswerPolicy:
    """An answer policy that first keeps a screenshot of the box."""
    def policy(box: wb.Box) -> Optional[str]:
        shots.x_window("box-" + re.sub(r"[^A-Za-z0-9]+", "-", box.caption).strip("-").lower()[:30]
                       or "box", box.x_window)
        return answer(box)
    return policy


def count_in_log(bench: wb.Bench, text: str) -> int:
    """How many times the setup log (every log of the temporary folder)
    holds the text, as UTF-16."""
    needle = text.encode("utf-16-le")
    return sum(path.read_bytes().count(needle) for path in bench.temp_logs())


def wait_for_count(bench: wb.Bench, text: str, count: int, timeout: float) -> int:
    deadline = time.monotonic() + timeout
    while True:
        found = count_in_log(bench, text)
        if found >= count or time.monotonic() > deadline:
            return found
        time.sleep(0.1)


def names(items: Iterable[ListItem]) -> list[str]:
    return [item.text for item in items]
