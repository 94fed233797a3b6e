"""Mailing a failed run's log: after a failed installation the user is asked
whether to send the setup log to the address of SendErrorLogTo, even in an
unattended run, and on Yes the simple mail interface (MAPI32.DLL) gets a
ready message with the log attached.

Every run here fails in the product installation: the recording msi.dll
returns 1603 from MsiInstallProductA. MAPI32.DLL is the recording double
(tools/recording_mapi.cpp, see mapi_double.py), preferred for setup.exe
alone, so no run ever reaches Wine's own mail library. The suite keeps one
prefix of its own with both doubles."""

from __future__ import annotations

import re
from pathlib import Path
from typing import Iterator

import pytest

import mapi_double
import msi_double
import winebench as wb

ADDRESS = "support@example.invalid"
RECIPIENT = f"SMTP:{ADDRESS}"
PRODUCT = "Demo Product"
VERSION = "1.0.0"
CAPTION = f"{PRODUCT} ({VERSION})"
QUIET = ["/i", "/quiet"]
INSTALL_FAILED = 1603
SEND_FLAGS = 9  # MAPI_LOGON_UI | MAPI_DIALOG
NOT_PLACED = 0xFFFFFFFF  # an attachment's position (ULONG)-1


def question_text(log_path: str) -> str:
    return ("Installation failed. Product not installed.\n\nDo you want to send the log file:\n"
            f"'{log_path}'\nto '{ADDRESS}'?")


# --------------------------------------------------------------------------
# The suite's prefix


@pytest.fixture(scope="session")
def mapi_libraries(tools: Path) -> dict[str, Path]:
    libraries = {"full": tools / "recording" / "mapi32.dll",
                 "incomplete": tools / "recording" / "incomplete" / "mapi32.dll"}
    missing = [str(path) for path in libraries.values() if not path.is_file()]
    if missing:
        pytest.fail(f"the recording MAPI32.DLL is missing: {', '.join(missing)} (build the targets "
                    "e2e_recording_mapi and e2e_recording_mapi_incomplete)", pytrace=False)
    return libraries


@pytest.fixture(scope="module")
def bench_host(recording_base_prefix: wb.WinePrefix, mapi_libraries: dict[str, Path], arch: str,
               display: str, tools: Path) -> Iterator[wb.PrefixHost]:
    """A copy of the prefix with the recording msi.dll, with the recording
    MAPI32.DLL as well; shared by the tests of this file."""
    def install(prefix: wb.WinePrefix) -> None:
        mapi_double.install(prefix, arch, mapi_libraries["full"])

    with wb.host_on_copy(recording_base_prefix, "mail", display, tools, install) as host:
        yield host


@pytest.fixture
def mapi(bench: wb.Bench, recording_msi: msi_double.RecordingMsi, mapi_libraries: dict[str, Path],
         arch: str) -> mapi_double.RecordingMapi:
    """The complete recording MAPI32.DLL, preferred by setup.exe, every
    MAPISendMail succeeding, an empty call log; and an installer that fails."""
    recording_msi.script(Result={"InstallProduct": INSTALL_FAILED})
    mapi_double.put_library(bench.prefix, arch, mapi_libraries["full"])
    mapi_double.set_override(bench.prefix, mapi_double.PREFER_DOUBLE)
    double = mapi_double.RecordingMapi(bench.prefix, arch)
    double.reset()
    return double


def failing_media(bench: wb.Bench, address: str = ADDRESS) -> wb.Media:
    main = {"MsiPath": "demo.msi"}
    if address:
        main["SendErrorLogTo"] = address
    # The recording msi.dll "opens" any file: the package's content is not read.
    return bench.make_media(ini={"Main": main}, files={"demo.msi": b"not read by the double"})


def the_log(bench: wb.Bench, run: wb.SetupRun) -> Path:
    logs = [path for path in bench.temp_logs() if " Setup (" in path.name]
    assert len(logs) == 1, f"logs: {[path.name for path in bench.temp_logs()]}\n{run.describe()}"
    return logs[0]


def setup_text(raw: bytes) -> str:
    """The setup log's own text: the file less the recording installer's
    8-bit line, as UTF-16 (strictly: a broken code unit fails the test)."""
    body = raw.replace(msi_double.INSTALLER_LOG_LINE.encode("ascii"), b"")
    assert body[:2] == b"\xff\xfe", f"no byte-order mark: {raw[:8]!r}"
    return body[2:].decode("utf-16-le")


def entries(text: str) -> list[str]:
    """The time-stamped entries, stamp removed, in order; an entry without
    a line end runs up to the next stamp."""
    starts = [match for match in wb.LOG_STAMP.finditer(text)]
    return [text[match.end():(starts[i + 1].start() if i + 1 < len(starts) else len(text))]
            for i, match in enumerate(starts)]


def the_only_question(run: wb.SetupRun, log_path: str) -> None:
    assert [(box.caption, box.text) for box in run.boxes] == [(CAPTION, question_text(log_path))], \
        run.describe()
    box = run.boxes[0]
    assert box.buttons == [wb.IDYES, wb.IDNO] and box.icon, run.describe()


# --------------------------------------------------------------------------
# The question


def test_a_quiet_failure_still_asks_to_mail_the_log_and_no_sends_nothing(bench, mapi):
    media = failing_media(bench)
    run = bench.run_setup(media, QUIET, answer=wb.answer_with(wb.KEY_NO))

    assert run.exit_code == 3, run.describe()
    log = the_log(bench, run)
    log_path = bench.prefix.temp_windows + log.name
    the_only_question(run, log_path)
    assert mapi.loads() == [] and mapi.sent() == [], mapi.describe()
    text = setup_text(log.read_bytes())
    assert "Send email to" not in text and "MAPI32" not in text, text
    # The run's own failure report is there in full, the question is not logged.
    found = entries(text)
    assert found[0] == "UILevel is set to 2\r\n", found
    assert found[-1].startswith(f"BSInstall() failed. Error({INSTALL_FAILED})'"), found
    assert not any("Do you want to send" in entry for entry in found), found


def test_a_full_run_reports_the_long_log_path_but_asks_with_the_path_as_given(bench, mapi):
    logs, _ = bench.make_folder("logs")
    given = "c:\\LOGS\\Mail Run.log"
    media = failing_media(bench)
    # OK to the failure, No to the question.
    run = bench.run_setup(media, f"/i /log {given}",
                          answer=lambda box: wb.KEY_NO if box.caption == CAPTION else wb.KEY_OK)

    assert run.exit_code == 3, run.describe()
    # The long form spells the folder as the file system does (Wine keeps
    # the drive letter as given).
    long_form = "c:\\logs\\Mail Run.log"
    assert [(box.caption, box.text) for box in run.boxes] == [
        (wb.INSTALLATION_ERROR, f"An irrecoverable internal error occured.\r\n\r\nLog file:\r\n'{long_form}'"),
        (CAPTION, question_text(given)),
    ], run.describe()
    assert mapi.sent() == [], mapi.describe()


def test_no_address_no_question(bench, mapi):
    media = failing_media(bench, address="")
    run = bench.run_setup(media, QUIET)

    assert run.exit_code == 3, run.describe()
    assert run.boxes == [], run.describe()
    found = entries(setup_text(the_log(bench, run).read_bytes()))
    assert found[-1] == "Can't read email address from ini file.\r\n", found
    assert found[-2].startswith(f"BSInstall() failed. Error({INSTALL_FAILED})'"), found
    assert mapi.loads() == [], mapi.describe()


# --------------------------------------------------------------------------
# The mail


@pytest.mark.x86
def test_yes_hands_the_log_to_the_mail_interface(bench, mapi, arch):
    media = failing_media(bench)
    run = bench.run_setup(media, QUIET, answer=wb.answer_with(wb.KEY_YES))

    assert run.exit_code == 3, run.describe()
    log = the_log(bench, run)
    log_path = bench.prefix.temp_windows + log.name
    the_only_question(run, log_path)

    assert mapi.loads() == [media.setup_windows], mapi.describe()
    # Only MAPISendMail is called; logging on and off is the mail client's business.
    assert mapi.call_names() == ["MAPISendMail"], mapi.describe()
    [mail] = mapi.sent()
    assert (mail.session, mail.parent, mail.flags, mail.reserved) == (0, 0, SEND_FLAGS, 0), mapi.describe()
    assert mail.subject == f"Log file for '{CAPTION}'", mapi.describe()
    assert mail.note_text == f"See log file '{log.name}' in attachment.", mapi.describe()
    assert (mail.message_type, mail.date_received, mail.conversation_id, mail.message_flags,
            mail.originator) == (None, None, None, 0, "null"), mapi.describe()
    assert (mail.recipient_count, mail.file_count) == (1, 1), mapi.describe()
    assert mail.recipients == [mapi_double.Recipient(mapi_double.MAPI_TO, "BootStrapper", RECIPIENT, 0, "null")], \
        mapi.describe()
    assert mail.files == [mapi_double.Attachment(0, NOT_PLACED, log_path, None, "null")], mapi.describe()

    found = entries(setup_text(log.read_bytes()))
    assert f"Send email to '{RECIPIENT}' attachment file '{log_path}'\r\n" in found, found
    assert found[-1] == f"Send email to '{RECIPIENT}' attachment file '{log_path}'\r\n", found
    assert "Can't load MAPI32.DLL" not in "".join(found), found
    # After the guarded installer call the thread's exception chain is intact.
    assert mapi.chains() == [msi_double.CHAIN_INTACT[arch]], mapi.describe()


@pytest.mark.x86
def test_after_a_crash_in_the_installer_the_run_ends_normally_with_its_exception_chain_intact(
        bench, mapi, recording_msi, arch):
    recording_msi.script(Result={"Crash": 1})
    run = bench.run_setup(failing_media(bench), QUIET, answer=wb.answer_with(wb.KEY_YES))

    assert run.exit_code == 3, run.describe()
    assert "Unhandled" not in run.stderr and "winedbg" not in run.stderr, run.describe()
    found = entries(setup_text(the_log(bench, run).read_bytes()))
    assert "Hardware exception occur. Exception code 0xC0000005.\r\n" in found, found
    assert recording_msi.chains() == [msi_double.CHAIN_INTACT[arch]], recording_msi.describe()
    assert mapi.chains() == [msi_double.CHAIN_INTACT[arch]], mapi.describe()


def test_after_the_mail_the_window_titled_with_the_product_comes_forward_a_second_later(bench, mapi):
    # The double leaves a window behind as a mail client's compose window would.
    mapi.reset(compose_title=f"Compose: Log file for '{CAPTION}'")
    media = failing_media(bench)
    run = bench.run_setup(media, QUIET, answer=wb.answer_with(wb.KEY_YES))

    assert run.exit_code == 3, run.describe()
    [mail] = mapi.sent()
    activations = mapi.activations()
    assert activations, f"the compose window was never brought forward\n{mapi.describe()}"
    waited = activations[0] - mail.returned_at
    assert 900 <= waited <= 5000, f"brought forward {waited} ms after MAPISendMail returned\n{mapi.describe()}"


def test_the_log_path_without_extension_names_the_attachment_as_given(bench, mapi):
    """The question and the mail carry the path of the log option as typed:
    a folder name in other letter case than on disk, a blank, no extension."""
    logs, _ = bench.make_folder("logs")
    log_path = "c:\\LOGS\\Mail Run"
    media = failing_media(bench)
    run = bench.run_setup(media, f"/i /quiet /log {log_path}", answer=wb.answer_with(wb.KEY_YES))

    assert run.exit_code == 3, run.describe()
    the_only_question(run, log_path)
    [mail] = mapi.sent()
    assert mail.note_text == "See log file 'Mail Run' in attachment.", mapi.describe()
    assert mail.files == [mapi_double.Attachment(0, NOT_PLACED, log_path, None, "null")], mapi.describe()
    found = entries(setup_text((logs / "Mail Run").read_bytes()))
    assert found[-1] == f"Send email to '{RECIPIENT}' attachment file '{log_path}'\r\n", found


# --------------------------------------------------------------------------
# Mail failures: logged, the run's outcome unchanged


def test_a_user_abort_in_the_mail_client_is_logged(bench, mapi):
    mapi.reset(send_mail_result=mapi_double.MAPI_USER_ABORT)
    media = failing_media(bench)
    run = bench.run_setup(media, QUIET, answer=wb.answer_with(wb.KEY_YES))

    assert run.exit_code == 3, run.describe()
    assert [mail.result for mail in mapi.sent()] == [mapi_double.MAPI_USER_ABORT], mapi.describe()
    raw = the_log(bench, run).read_bytes()
    found = entries(setup_text(raw))
    # The failure entry carries no line end: it is the last thing in the file.
    assert re.fullmatch(rf"MAPISendMail\({re.escape(RECIPIENT)}\) failure\. Error\(1\)'[^'\r\n]+'\.",
                        found[-1]), found
    assert raw.endswith("'.".encode("utf-16-le")), raw[-40:]


@pytest.mark.parametrize("library", ["disabled", "incomplete"])
def test_a_missing_or_incomplete_mail_library_is_logged(bench, mapi, mapi_libraries, arch, library):
    if library == "disabled":
        mapi_double.set_override(bench.prefix, mapi_double.DISABLED)
    else:
        # Loads, but lacks MAPILogoff: the binding does not count.
        mapi_double.put_library(bench.prefix, arch, mapi_libraries["incomplete"])
    media = failing_media(bench)
    run = bench.run_setup(media, QUIET, answer=wb.answer_with(wb.KEY_YES))

    assert run.exit_code == 3, run.describe()
    assert len(run.boxes) == 1 and run.boxes[0].caption == CAPTION, run.describe()
    assert mapi.sent() == [], mapi.describe()
    if library == "disabled":
        assert mapi.loads() == [], mapi.describe()
    else:
        assert mapi.loads() == [media.setup_windows], mapi.describe()
    raw = the_log(bench, run).read_bytes()
    found = entries(setup_text(raw))
    assert found[-1] == "Can't load MAPI32.DLL", found
    assert not any(entry.startswith("Send email to") for entry in found), found
    assert raw.endswith("Can't load MAPI32.DLL".encode("utf-16-le")), raw[-60:]

