"""The interactive setup, driven as a person would: the prerequisites dialog
(the missing components, check boxes for the optional ones, Install and
Cancel), the error box of a failing component and the closing question,
the download dialog of a component whose package is not on the medium,
the restart and upgrade questions, the dialogs in the user's language and
at 150 % scaling.

Input goes through X (xdotool): keys typed at the focused dialog, clicks at
the rows and buttons. What the person sees is read back by
tools/dialogprobe.exe (captions, control texts and rectangles, the rows
and their check-box pictures) and by boxwatch.exe (message boxes), and kept
as screenshots in build/e2e-artifacts/dialogs/<test>/.

Components stand in through tools/component.exe (leaves a marker, stays
missing: its FilePath never appears) and tools/placefile.exe (copies a
versioned library to the component's FilePath, so that the probe after the
install finds it present). Tests that need no real product installation
run with the recording msi.dll, which answers for the demo package.
"""

from __future__ import annotations

import re
import shutil
import time

import pytest

import dialog_bench as db
import msi_double
import prereq_bench as pb
import winebench as wb

NEUTRAL = wb.read_string_table("neutral")
CAPTION = "Demo Product (1.0.0) Setup"
DOWNLOAD_CAPTION = NEUTRAL[149]
LIBRARY = "versioned-1.2.3.4.dll"


# --------------------------------------------------------------------------
# Fixtures


@pytest.fixture(autouse=True)
def _tools(tools):
    pb.require_tools(tools)
    missing = [name for name in ("dialogprobe.exe", "placefile.exe") if not (tools / name).is_file()]
    if missing:
        pytest.fail(f"helper programs missing in {tools}: {', '.join(missing)} "
                    "(build the targets e2e_dialogprobe and e2e_placefile)", pytrace=False)


@pytest.fixture(scope="module", autouse=True)
def _report_artifacts(request):
    shutil.rmtree(db.ARTIFACTS_DIR, ignore_errors=True)
    yield
    reporter = request.config.pluginmanager.get_plugin("terminalreporter")
    if reporter is not None and db.ARTIFACTS_DIR.is_dir():
        reporter.write_line(f"\ndialog screenshots: {db.ARTIFACTS_DIR}")


@pytest.fixture
def probe(bench):
    instance = db.DialogProbe(bench.prefix, bench.tools / "dialogprobe.exe")
    try:
        yield instance
    finally:
        instance.stop()


@pytest.fixture
def person(bench):
    return db.Person(bench.display)


@pytest.fixture
def shots(request, bench):
    name = re.sub(r"[^A-Za-z0-9_.-]+", "-", request.node.name).strip("-")
    instance = db.Shots(bench.display, db.ARTIFACTS_DIR / name)
    print(f"screenshots of this test: {instance.folder}")
    return instance


# --------------------------------------------------------------------------
# Media


def marked(name: str, marker: str, code: int = 0, **keys) -> dict:
    """A missing component whose installer leaves a marker and exits with
    code; it stays missing afterwards (its FilePath never appears)."""
    return {"Name": name, "InstPath": "#Root#\\component.exe",
            "InstParams": f'"#InstPath#" {code} {pb.marker_path(marker)}',
            "FilePath": library_path(marker), "FileVer": "1.0.0.0", **keys}


def placed(name: str, target: str, code: int = 0, **keys) -> dict:
    """A missing component whose installer puts its FilePath in place (a
    versioned library) and exits with code."""
    return {"Name": name, "InstPath": "#Root#\\placefile.exe",
            "InstParams": f'"#InstPath#" {code} "#Root#\\{LIBRARY}" {library_path(target)}',
            "FilePath": library_path(target), "FileVer": "1.0.0.0", **keys}


def downloadable(name: str, target: str, **keys) -> dict:
    """A missing component whose package is not on the medium, with a
    download page."""
    return {"Name": name, "Url": "http://downloads.example.invalid/component",
            "InstPath": "#Root#\\not-on-the-medium.exe",
            "FilePath": library_path(target), "FileVer": "1.0.0.0", **keys}


def library_path(target: str) -> str:
    return f"C:\\logs\\{target}.dll"


def media_with(bench, demo_msi, prereqs, msi=None):
    files = {"demo.msi": msi or demo_msi}
    for tool in ("component.exe", "placefile.exe", LIBRARY):
        files[tool] = bench.tools / tool
    return bench.make_media(ini=pb.setup_ini({"MsiPath": "demo.msi"}, prereqs), files=files)


def component_ran(bench, marker: str) -> bool:
    return marker in pb.markers(bench)


def product_version(bench) -> str:
    result = pb.reg_query(bench, "HKLM\\Software\\Demo Maker\\Demo Product", "Version")
    return result.stdout.decode("utf-8", "replace") if result.returncode == 0 else ""


def question(missing: list[str], texts=NEUTRAL) -> str:
    """The closing question of the prerequisites dialog."""
    return texts[155] + "".join(texts[157].replace("%s", name) for name in missing) + texts[158]


def answer_boxes(shots, **by_caption):
    """A policy that keeps a screenshot of each box and answers it by its
    caption (KEY_OK when not named)."""
    return db.box_shooter(shots, lambda box: by_caption.get(box.caption, wb.KEY_OK))


def fill(text: str, *args: str) -> str:
    """A string-table text with its %s placeholders filled in order."""
    for arg in args:
        text = text.replace("%s", arg, 1)
    return text


def button_centre(dialog: db.Dialog, control_id: int) -> tuple[int, int]:
    return db.centre(dialog.controls[control_id].rect)


def close_box(dialog: db.Dialog) -> tuple[int, int]:
    """The close box at the right end of the caption bar that Wine draws."""
    return dialog.client[2] - 8, (dialog.rect[1] + dialog.client[1]) // 2


# --------------------------------------------------------------------------
# The bench


def test_msgbox_trace_that_reached_wines_limit_counts_as_cut_short():
    # A Cyrillic text whose rendering reached Wine's limit may end one
    # character short without "..." (seen with the closing question in
    # Russian); the bench then compares it as a beginning.
    body = "\\041f" * 57 + "\\n - 'Manual Component'\\n"
    line = f'011c:trace:msgbox:MSGBOX_OnInit L"{body}"'
    assert len(body) + 2 >= 291
    assert wb.parse_msgbox_trace(line) == [wb.TracedBox("\u041f" * 57 + "\n - 'Manual Component'\n", True)]
    short = '011c:trace:msgbox:MSGBOX_OnInit L"\\041f?"'
    assert wb.parse_msgbox_trace(short) == [wb.TracedBox("\u041f?", False)]


# --------------------------------------------------------------------------
# The prerequisites dialog


@pytest.mark.private_prefix
def test_install_puts_both_missing_components_and_the_product_on_the_machine(
        bench, demo_msi, probe, person, shots):
    media = media_with(bench, demo_msi, [placed("First Component", "first"),
                                         placed("Second Component", "second")])
    run = bench.start_setup(media, [], answer=answer_boxes(shots))

    dialog = probe.wait_for(run, CAPTION)
    shots.dialog("prerequisites", dialog)
    assert dialog.text(db.PREREQ_HEADER) == fill(NEUTRAL[129], "Demo Product"), dialog.describe()
    assert (dialog.text(db.IDOK), dialog.text(db.IDCANCEL)) == (NEUTRAL[130], NEUTRAL[131])
    assert db.names(dialog.items) == ["First Component", "Second Component"], dialog.describe()
    # No Optional key: no check boxes.
    assert dialog.images() == [db.NO_BOX, db.NO_BOX], dialog.describe()
    assert dialog.focus == db.IDOK, dialog.describe()

    person.keys(dialog, "Return")
    run.wait(180)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    for target in ("first", "second"):
        placed_file = bench.prefix.unix_path(library_path(target))
        assert placed_file.read_bytes() == (bench.tools / LIBRARY).read_bytes(), target
    assert "1.0.0" in product_version(bench), "the product was not installed"
    payload = bench.prefix.drive_c / "Program Files" / "Demo Product" / "payload.txt"
    assert payload.is_file()


@pytest.mark.parametrize("how", ["space", "click"])
def test_unticked_optional_component_is_not_installed_and_one_without_box_cannot_be_unticked(
        bench, demo_msi, probe, person, shots, how):
    media = media_with(bench, demo_msi, [
        marked("Ticked Component", "ticked", Optional=1),
        marked("Fixed Component", "fixed"),
        marked("Unticked Component", "unticked", Optional=0),
    ])
    run = bench.start_setup(media, [], answer=answer_boxes(shots, **{CAPTION: wb.KEY_NO}))

    dialog = probe.wait_for(run, CAPTION)
    shot = shots.dialog("prerequisites", dialog)
    assert db.names(dialog.items) == ["Ticked Component", "Fixed Component", "Unticked Component"]
    assert dialog.images() == [db.TICKED, db.NO_BOX, db.UNTICKED], dialog.describe()
    # What the person sees: a ticked box, no picture, an empty box.
    ticked, fixed, unticked = (item.icon for item in dialog.items)
    origin = dialog.rect[:2]
    assert db.colours_in(shot, fixed, origin) == 1, f"a picture beside the row without a box: {shot}"
    assert db.colours_in(shot, ticked, origin) > 1 and db.colours_in(shot, unticked, origin) > 1, shot
    assert db.pixels_in(shot, ticked, origin) != db.pixels_in(shot, unticked, origin), shot

    if how == "space":
        # Tab to the list, then the arrow keys move the row that space toggles.
        for _ in range(4):
            if dialog.focus == db.PREREQ_LIST:
                break
            person.keys(dialog, "Tab")
            dialog = probe.refresh(dialog)
        assert dialog.focus == db.PREREQ_LIST, dialog.describe()
        for row, expected in [(0, [db.UNTICKED, db.NO_BOX, db.UNTICKED]),
                              (1, [db.UNTICKED, db.NO_BOX, db.UNTICKED]),
                              (2, [db.UNTICKED, db.NO_BOX, db.TICKED])]:
            person.keys(dialog, "Home", *["Down"] * row)
            dialog = probe.wait_until(dialog, lambda d, row=row: d.controls[db.PREREQ_LIST].selection_mark == row)
            assert dialog.controls[db.PREREQ_LIST].selection_mark == row, dialog.describe()
            person.keys(dialog, "space")
            dialog = probe.wait_until(dialog, lambda d, expected=expected: d.images() == expected, timeout=3)
            assert dialog.images() == expected, f"after space on row {row}:\n{dialog.describe()}"
    else:
        for row, part, expected in [(0, "icon", [db.UNTICKED, db.NO_BOX, db.UNTICKED]),
                                    (1, "icon", [db.UNTICKED, db.NO_BOX, db.UNTICKED]),
                                    (1, "label", [db.UNTICKED, db.NO_BOX, db.UNTICKED]),
                                    (2, "label", [db.UNTICKED, db.NO_BOX, db.TICKED])]:
            person.click(db.centre(getattr(dialog.items[row], part)))
            dialog = probe.wait_until(dialog, lambda d, expected=expected: d.images() == expected, timeout=3)
            assert dialog.images() == expected, f"after a click on the {part} of row {row}:\n{dialog.describe()}"
        # The clicks never reached the list: no row was selected.
        assert dialog.controls[db.PREREQ_LIST].selection_mark == -1, dialog.describe()
    shots.dialog("toggled", dialog)

    if how == "space":
        person.keys(dialog, "Return")
    else:
        person.click(button_centre(dialog, db.IDOK))
    run.wait(90)

    assert run.exit_code == 3, run.describe()
    assert sorted(pb.markers(bench)) == ["fixed", "unticked"], pb.markers(bench)
    # The closing question names the selected components still missing.
    assert [(box.caption, box.text, box.buttons) for box in run.boxes] == [
        (CAPTION, question(["Fixed Component", "Unticked Component"]), [wb.IDYES, wb.IDNO])], \
        run.describe()


@pytest.mark.parametrize("how", ["cancel-button", "escape", "close-box"])
def test_cancel_installs_nothing_and_ends_the_run_with_3(bench, demo_msi, probe, person, shots, how):
    media = media_with(bench, demo_msi, [marked("Some Component", "some", Optional=1),
                                         placed("Other Component", "other")])
    run = bench.start_setup(media, [], answer=answer_boxes(shots))

    dialog = probe.wait_for(run, CAPTION)
    shots.dialog("prerequisites", dialog)
    if how == "cancel-button":
        person.click(button_centre(dialog, db.IDCANCEL))
    elif how == "escape":
        person.keys(dialog, "Escape")
    else:
        person.click(close_box(dialog))
    assert probe.wait_gone(dialog, 15), f"the dialog stayed open ({how})"
    run.wait(60)

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    assert pb.markers(bench) == {}
    assert not bench.prefix.unix_path(library_path("other")).exists()


@pytest.mark.parametrize("answer, exit_code", [(wb.KEY_NO, 3), (wb.KEY_YES, 0)], ids=["no", "yes"])
def test_failing_component_shows_its_error_then_the_closing_question(
        bench, demo_msi, recording_msi, probe, person, shots, answer, exit_code):
    media = media_with(bench, demo_msi, [marked("Failing Component", "failing", code=1603)])
    run = bench.start_setup(media, [], answer=answer_boxes(shots, **{CAPTION: answer}))

    dialog = probe.wait_for(run, CAPTION)
    shots.dialog("prerequisites", dialog)
    person.keys(dialog, "Return")
    run.wait(90)

    command = f'"{media.windows("component.exe")}" 1603 {pb.marker_path("failing")}'
    assert [(box.caption, box.text, box.buttons, box.icon) for box in run.boxes] == [
        (wb.INSTALLATION_ERROR, fill(NEUTRAL[134], command), [wb.IDOK], True),
        (CAPTION, question(["Failing Component"]), [wb.IDYES, wb.IDNO], True),
    ], run.describe()
    assert component_ran(bench, "failing")
    assert run.exit_code == exit_code, run.describe()
    installs = recording_msi.calls("MsiInstallProductA")
    if answer == wb.KEY_YES:
        assert [call.args[0] for call in installs] == [media.windows("demo.msi")], recording_msi.describe()
    else:
        assert installs == [], recording_msi.describe()


# --------------------------------------------------------------------------
# The download dialog


def missing_file_entry(target: str) -> str:
    """What the probe of a component logs, once per probe, while its
    FilePath is missing."""
    return f"Can't get version of file '{library_path(target)}'"


def download_text_problems(dialog: db.Dialog, name: str, texts=NEUTRAL) -> list[str]:
    """Where the download dialog's caption and control texts (the link's
    own window text too, which accessibility tools read) differ from the
    string table's."""
    expected = {"caption": texts[149], "button 1": texts[148], "button 2": texts[131],
                "explanation": fill(texts[150], name, name), "link": fill(texts[151], name)}
    seen = {"caption": dialog.caption, "button 1": dialog.text(db.IDOK),
            "button 2": dialog.text(db.IDCANCEL), "explanation": dialog.text(db.DOWNLOAD_EXPLANATION),
            "link": dialog.text(db.DOWNLOAD_LINK)}
    return [f"{what}: {seen[what]!r}, expected {expected[what]!r}" for what in expected
            if seen[what] != expected[what]]


def test_download_dialog_rechecks_until_the_component_is_in_place(
        bench, demo_msi, recording_msi, probe, person, shots):
    media = media_with(bench, demo_msi, [downloadable("Manual Component", "manual"),
                                         placed("Later Component", "later")])
    run = bench.start_setup(media, [], answer=answer_boxes(shots))

    main = probe.wait_for(run, CAPTION)
    shots.dialog("prerequisites", main)
    person.keys(main, "Return")
    download = probe.wait_for(run, DOWNLOAD_CAPTION)
    shots.dialog("download", download)
    assert download.owner == main.hwnd, download.describe()
    assert download.focus == db.IDOK, download.describe()
    assert not probe.refresh(main).enabled, "the prerequisites dialog takes input under the download dialog"

    # Recheck while the component is still missing: probed again, still open.
    probes = db.count_in_log(bench, missing_file_entry("manual"))
    person.keys(download, "Return")
    assert db.wait_for_count(bench, missing_file_entry("manual"), probes + 1, 15) == probes + 1, \
        "Recheck did not probe the component"
    assert not probe.wait_gone(download, 2), "the download dialog closed while the component is missing"
    still = probe.refresh(download)
    assert not bench.prefix.unix_path(library_path("later")).exists(), \
        "the next component was installed while the download dialog is open"
    shots.dialog("download-after-recheck", still)

    # The person installs it by hand, then Recheck closes the dialog.
    target = bench.prefix.unix_path(library_path("manual"))
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(bench.tools / LIBRARY, target)
    person.click(button_centre(still, db.IDOK))
    assert probe.wait_gone(download, 15), "Recheck left the dialog open with the component in place"
    run.wait(90)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert bench.prefix.unix_path(library_path("later")).exists(), "the next component was not installed"
    assert db.count_in_log(bench, "Install the component 'Manual Component'") == 0
    assert len(recording_msi.calls("MsiInstallProductA")) == 1, recording_msi.describe()


def test_download_dialog_cancel_stops_the_install_loop(bench, demo_msi, probe, person, shots):
    media = media_with(bench, demo_msi, [downloadable("Manual Component", "manual"),
                                         marked("Later Component", "later")])
    run = bench.start_setup(media, [], answer=answer_boxes(shots, **{CAPTION: wb.KEY_NO}))

    main = probe.wait_for(run, CAPTION)
    person.click(button_centre(main, db.IDOK))
    download = probe.wait_for(run, DOWNLOAD_CAPTION)
    shots.dialog("download", download)
    person.click(button_centre(download, db.IDCANCEL))
    assert probe.wait_gone(download, 15), "Cancel left the download dialog open"
    run.wait(60)

    assert run.exit_code == 3, run.describe()
    assert pb.markers(bench) == {}, "a component after the cancelled one was installed"
    # The question names the cancelled component and the one never reached.
    assert [(box.caption, box.text) for box in run.boxes] == [
        (CAPTION, question(["Manual Component", "Later Component"]))], run.describe()


def test_download_dialog_appears_without_owner_in_a_passive_run(
        bench, demo_msi, recording_msi, probe, person, shots):
    media = media_with(bench, demo_msi, [downloadable("Manual Component", "manual"),
                                         marked("Later Component", "later")])
    run = bench.start_setup(media, ["/i", "/passive"], answer=answer_boxes(shots))

    download = probe.wait_for(run, DOWNLOAD_CAPTION)
    shots.dialog("download-passive", download)
    assert download.owner == 0, download.describe()
    assert [d.caption for d in probe.dialogs(run.pid)] == [DOWNLOAD_CAPTION], "another dialog is open"
    person.keys(download, "Escape")
    assert probe.wait_gone(download, 15), "Escape left the download dialog open"
    run.wait(90)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert pb.markers(bench) == {}, "a component after the cancelled one was installed"
    assert len(recording_msi.calls("MsiInstallProductA")) == 1, recording_msi.describe()


def test_download_link_that_is_no_web_address_is_logged_and_not_opened(
        bench, demo_msi, recording_msi, probe, person, shots):
    folder, windows_folder = bench.make_folder("logs")
    shutil.copyfile(bench.tools / "planted-msiexec.exe", folder / "opened.exe")
    program = windows_folder + "\\opened.exe"
    media = media_with(bench, demo_msi, [downloadable("Manual Component", "manual", Url=program)])
    run = bench.start_setup(media, ["/i", "/passive"], answer=answer_boxes(shots))

    download = probe.wait_for(run, DOWNLOAD_CAPTION)
    link = download.controls[db.DOWNLOAD_LINK].rect
    person.click((link[0] + 6, (link[1] + link[3]) // 2))
    time.sleep(2)
    person.keys(download, "Escape")
    assert probe.wait_gone(download, 15), "Escape left the download dialog open"
    run.wait(90)

    assert run.exit_code == 0, run.describe()
    assert not (folder / "opened.exe.started").exists(), "the link started the program"
    raw = pb.only_log_bytes(bench, run)
    assert pb.has_entry(raw, f"Download link '{program}' is not an http or https address; "
                             "it is not opened.\r\n"), pb.readable(raw)


# --------------------------------------------------------------------------
# Restart and upgrade questions


def test_component_asking_for_a_restart_brings_the_restart_question(
        bench, demo_msi, recording_msi, probe, person, shots):
    media = media_with(bench, demo_msi, [placed("Restarting Component", "restarting", code=3010)])
    run = bench.start_setup(media, [], answer=answer_boxes(shots, **{CAPTION: wb.KEY_NO}))

    dialog = probe.wait_for(run, CAPTION)
    person.keys(dialog, "Return")
    run.wait(90)

    assert [(box.caption, box.text, box.buttons, box.icon) for box in run.boxes] == [
        (CAPTION, NEUTRAL[145], [wb.IDYES, wb.IDNO], True)], run.describe()
    assert run.exit_code == 3010, run.describe()
    assert len(recording_msi.calls("MsiInstallProductA")) == 1, recording_msi.describe()


@pytest.mark.private_prefix
def test_upgrade_question_answered_no_leaves_the_older_version(bench, demo_msi, make_package, shots):
    # Through exitcode.exe: a plain "wine msiexec" would hand its output
    # pipes to the installer service it starts, and never seem to end.
    installed = bench.start("C:\\windows\\system32\\msiexec.exe",
                            ["/i", bench.prefix.windows_path(demo_msi), "/qn"])
    assert installed.wait(180) == 0, installed.describe()
    assert "1.0.0" in product_version(bench)
    newer = make_package(ProductName="Demo Product", ProductVersion="2.0.0",
                         ProductCode=msi_double.DEMO_PACKAGE["ProductCode"])
    media = media_with(bench, demo_msi, [], msi=newer)
    run = bench.start_setup(media, [], answer=answer_boxes(shots, **{"Demo Product (2.0.0) Setup": wb.KEY_NO}))
    run.wait(120)

    assert [(box.caption, box.text, box.buttons, box.icon) for box in run.boxes] == [
        ("Demo Product (2.0.0) Setup", NEUTRAL[144], [wb.IDYES, wb.IDNO], True)], run.describe()
    assert run.exit_code == 0, run.describe()
    version = product_version(bench)
    assert "1.0.0" in version and "2.0.0" not in version, version


# --------------------------------------------------------------------------
# Languages and scaling


@pytest.mark.parametrize("locale, table", [(None, "neutral"), ("ru_RU.UTF-8", "russian"),
                                           ("ja_JP.UTF-8", "japanese")],
                         ids=["english", "russian", "japanese"])
def test_dialogs_show_the_users_language(bench, demo_msi, recording_msi, probe, person, shots, locale, table):
    texts = wb.read_string_table(table)
    caption = fill(texts[132], "Demo Product", "1.0.0")
    media = media_with(bench, demo_msi, [downloadable("Manual Component", "manual")])
    run = bench.start_setup(media, [], answer=answer_boxes(shots), locale=locale)

    main = probe.wait_for(run, caption)
    shots.dialog("prerequisites", main)
    assert person.window_name(main) == caption
    assert main.text(db.PREREQ_HEADER) == fill(texts[129], "Demo Product"), main.describe()
    assert (main.text(db.IDOK), main.text(db.IDCANCEL)) == (texts[130], texts[131]), main.describe()
    assert layout_problems(main) == [], main.describe()
    person.keys(main, "Return")

    download = probe.wait_for(run, texts[149])
    shots.dialog("download", download)
    assert person.window_name(download) == texts[149]
    assert layout_problems(download, DESIGNED_OVERLAP) == [], download.describe()
    person.keys(download, "Escape")
    run.wait(90)

    # The closing question, answered with the default button (yes).
    assert [(box.caption, box.text) for box in run.boxes] == [
        (caption, question(["Manual Component"], texts))], run.describe()
    assert run.exit_code == 0, run.describe()
    assert download_text_problems(download, "Manual Component", texts) == [], download.describe()


# The explanation of the download dialog reaches into the top of the link
# below it, by the dialog's design.
DESIGNED_OVERLAP = {frozenset((db.DOWNLOAD_EXPLANATION, db.DOWNLOAD_LINK))}


def layout_problems(dialog: db.Dialog, may_overlap: set[frozenset[int]] = frozenset()) -> list[str]:
    """Controls outside the client area, and controls that overlap (buttons
    never; other pairs unless the layout means them to)."""
    problems = []
    controls = [control for control in dialog.controls.values() if control.visible]
    for control in controls:
        if not db.inside(control.rect, dialog.client):
            problems.append(f"control {control.id} {control.rect} outside the client area {dialog.client}")
    for index, first in enumerate(controls):
        for second in controls[index + 1:]:
            if frozenset((first.id, second.id)) in may_overlap:
                continue
            if db.overlap(first.rect, second.rect):
                problems.append(f"controls {first.id} {first.rect} and {second.id} {second.rect} overlap")
    return problems


def measure_both_dialogs(bench, demo_msi, probe, person, shots, label):
    media = media_with(bench, demo_msi, [downloadable("Manual Component", "manual")])
    run = bench.start_setup(media, [], answer=answer_boxes(shots))
    main = probe.wait_for(run, CAPTION)
    shots.dialog(f"prerequisites-{label}", main)
    main_geometry = person.window_geometry(main)
    person.keys(main, "Return")
    download = probe.wait_for(run, DOWNLOAD_CAPTION)
    shots.dialog(f"download-{label}", download)
    download_geometry = person.window_geometry(download)
    person.keys(download, "Escape")
    run.wait(90)
    assert run.exit_code == 0, run.describe()
    return (main, main_geometry), (download, download_geometry)


@pytest.mark.private_prefix
def test_dialogs_grow_at_150_percent_and_keep_their_layout(bench, demo_msi, recording_msi, probe, person, shots):
    normal = measure_both_dialogs(bench, demo_msi, probe, person, shots, "96dpi")
    # 150 %, read by each program at its start; the probe too starts again.
    probe.stop()
    bench.prefix.reg_add("HKCU\\Control Panel\\Desktop", "LogPixels", "144", kind="REG_DWORD")
    bench.clear_temp()
    large_probe = db.DialogProbe(bench.prefix, bench.tools / "dialogprobe.exe")
    try:
        large = measure_both_dialogs(bench, demo_msi, large_probe, person, shots, "144dpi")
    finally:
        large_probe.stop()

    for (dialog_96, geometry_96), (dialog_144, geometry_144) in zip(normal, large):
        for dialog, geometry in ((dialog_96, geometry_96), (dialog_144, geometry_144)):
            assert geometry[2:] == (db.width(dialog.rect), db.height(dialog.rect)), dialog.describe()
            assert layout_problems(dialog, DESIGNED_OVERLAP) == [], dialog.describe()
        for index in (2, 3):  # width, height
            ratio = geometry_144[index] / geometry_96[index]
            assert 1.3 <= ratio <= 1.7, (dialog_96.caption, geometry_96, geometry_144)
