"""Prerequisite components in unattended runs: which ones a run installs
before the product, decided by registry conditions (in the 32-bit or the
64-bit registry view) and by condition programs, what it writes to the
setup log about them, the Oracle client found on the PATH, and uninstall
steps taken from a command stored in the registry.

The components are tools/component.exe, which leaves a marker with its
command line; the product step is the recording msi.dll's, so that the
setup log keeps the entries written before it (Wine's own installer would
truncate the file)."""

import time

import pytest

import prereq_bench as pb


@pytest.fixture(autouse=True)
def _tools(tools):
    pb.require_tools(tools)


@pytest.fixture
def test_key(bench, request):
    """A registry key of this test's own under TEST_KEY, removed afterwards
    from both registry views."""
    key = pb.TEST_KEY + "\\" + request.node.name.replace("[", "-").rstrip("]")
    yield key
    for view in ("32", "64"):
        bench.prefix.wine(["reg", "delete", key.replace("HKEY_LOCAL_MACHINE", "HKLM"), "/f", f"/reg:{view}"])


COMPONENT = "#Root#\\component.exe"


def component(name, marker, **keys):
    """A prerequisite section whose install runs component.exe (exit 0) and
    leaves the marker."""
    return {"Name": name, "InstPath": COMPONENT,
            "InstParams": f'"#InstPath#" 0 {pb.marker_path(marker)}', **keys}


def installed_command(media, marker):
    return f'"{media.windows("component.exe")}" 0 {pb.marker_path(marker)}'


def make_media(bench, prereqs, extra_files=None):
    files = {"demo.msi": b"read by the recording msi.dll only",
             "component.exe": bench.tools / "component.exe"}
    files.update(extra_files or {})
    return bench.make_media(ini=pb.setup_ini({"MsiPath": "demo.msi"}, prereqs=prereqs), files=files)


def assert_installed(bench, run, raw, media, name, marker):
    command = installed_command(media, marker)
    assert pb.markers(bench).get(marker) == command + "\r\n", (pb.markers(bench), run.describe())
    for entry in ("Installing prerequisites passively:\r\n", f"Install the component '{name}'.\r\n",
                  f"MsiInstall({command}) return code 0\r\n"):
        assert pb.has_entry(raw, entry), f"missing {entry!r} in\n{pb.readable(raw)}"
    assert pb.utf16(f"\r\n  {name}\r\n") in raw, pb.readable(raw)
    # Before the product.
    assert 0 <= pb.entry_position(raw, f"Install the component '{name}'.") < \
        pb.entry_position(raw, "Calling MsiInstallProduct"), pb.readable(raw)


def assert_not_installed(bench, run, raw, name, marker):
    assert marker not in pb.markers(bench), run.describe()
    assert not pb.has_entry(raw, f"Install the component '{name}'."), pb.readable(raw)


# --------------------------------------------------------------------------
# Registry conditions


@pytest.mark.parametrize("written_view, key64, installed", [
    ("32", 0, False),
    ("32", 1, True),
    ("64", 0, True),
    ("64", 1, False),
], ids=["32-bit-value-default-view", "32-bit-value-Key64", "64-bit-value-default-view",
        "64-bit-value-Key64"])
@pytest.mark.x86
def test_registry_condition_reads_the_32_bit_view_unless_key64(bench, recording_msi, test_key,
                                                               written_view, key64, installed):
    # The value exists in one registry view only; the condition holds only
    # where the component reads that view.
    pb.reg_add(bench, test_key.replace("HKEY_LOCAL_MACHINE", "HKLM"), "Level", "7", kind="REG_DWORD",
               view=written_view)
    reg_path = test_key + "\\Level"
    media = make_media(bench, [component("Runtime", "runtime", RegPath=reg_path, RegCond="DWORD>=5",
                                         Key64=key64)])

    run = bench.run_setup(media, pb.PASSIVE)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    assert recording_msi.calls("MsiInstallProductA"), recording_msi.describe()
    raw = pb.only_log_bytes(bench, run)
    failed = f"IsValidRegCond() failed. Invalid condition 'DWORD>=5'. RegPath='{reg_path}'.\r\n"
    if installed:
        assert_installed(bench, run, raw, media, "Runtime", "runtime")
        assert pb.has_entry(raw, failed), pb.readable(raw)
    else:
        assert_not_installed(bench, run, raw, "Runtime", "runtime")
        assert not pb.has_entry(raw, failed), pb.readable(raw)
        assert not pb.has_entry(raw, "Installing prerequisites passively:"), pb.readable(raw)


# --------------------------------------------------------------------------
# Condition programs


def condition(folder, code, *args):
    """The command line of condition.exe in the folder ("#Root#" or the
    medium's). (A configuration value that begins and ends with a double
    quote loses both when it is read: the arguments carry no quotes.)"""
    return " ".join([f'"{folder}\\condition.exe"', str(code), *args])


LICENCE_TEXT = "Needs a licence"
LICENCE_HEX = LICENCE_TEXT.encode("utf-8").hex()


@pytest.mark.parametrize("code, installed", [(0, True), (1, False), (2, False)],
                         ids=["exit-0-needed", "exit-1-present", "exit-2-optional-unselected"])
def test_condition_program_exit_code_decides(bench, recording_msi, code, installed):
    media = make_media(bench, [component("Runtime", "runtime",
                                         RunExeCond=condition("#Root#", code, "--hex", LICENCE_HEX))],
                       {"condition.exe": bench.tools / "condition.exe"})

    run = bench.run_setup(media, pb.PASSIVE)

    assert run.exit_code == 0, run.describe()
    assert recording_msi.calls("MsiInstallProductA"), recording_msi.describe()
    raw = pb.only_log_bytes(bench, run)
    command = condition(media.windows_dir, code, "--hex", LICENCE_HEX)
    for entry in (f"Process '{command}' return code {code}\r\n",
                  f"Process '{command}' return text '{LICENCE_TEXT}'\r\n"):
        assert pb.has_entry(raw, entry), f"missing {entry!r} in\n{pb.readable(raw)}"
    if installed:
        assert_installed(bench, run, raw, media, "Runtime", "runtime")
    else:
        assert_not_installed(bench, run, raw, "Runtime", "runtime")
    # Exit code 2: needed but unselected, so listed and skipped.
    listed = pb.has_entry(raw, "Installing prerequisites passively:\r\n") and \
        pb.utf16("\r\n  Runtime\r\n") in raw
    assert listed == (code != 1), pb.readable(raw)


@pytest.mark.parametrize("locale, text", [(None, "Grüße"), ("ru_RU.UTF-8", "Привет")],
                         ids=["cp1252", "cp1251"])
def test_condition_program_utf8_output_reaches_the_log_as_the_same_letters(bench, recording_msi, locale, text):
    # The letters travel as UTF-8 bytes only (spelled in hex on the command
    # line), are turned into the ANSI code page of the locale and written to
    # the UTF-16 log.
    hex_text = text.encode("utf-8").hex()
    media = make_media(bench, [component("Runtime", "runtime",
                                         RunExeCond=condition("#Root#", 2, "--hex", hex_text))],
                       {"condition.exe": bench.tools / "condition.exe"})

    run = bench.run_setup(media, pb.PASSIVE, locale=locale)

    assert run.exit_code == 0, run.describe()
    raw = pb.only_log_bytes(bench, run)
    command = condition(media.windows_dir, 2, "--hex", hex_text)
    entry = f"Process '{command}' return text '{text}'\r\n"
    assert pb.has_entry(raw, entry), f"missing {entry!r} in\n{pb.readable(raw)}"


@pytest.mark.parametrize("args, kept", [
    (["--bytes", str(64 * 1024)], "0123456789012345"),
    (["--bytes", str(1024 * 1024)], "0123456789012345"),
    # It sees the end of an empty input instead of waiting for one.
    (["--read-input", "asked"], "asked'"),
    # The process it leaves behind holds the output open; the run does not wait for it.
    (["--leave-child", "left"], "left'"),
], ids=["64KB", "1MB", "reads-input", "leaves-child"])
def test_condition_program_that_floods_reads_or_lingers_does_not_hang_the_run(
        bench, recording_msi, test_key, args, kept):
    media = make_media(bench, [
        component("Chatty Runtime", "chatty", RunExeCond=condition("#Root#", 2, *args)),
        # The run goes on: the next component is decided and installed.
        component("Runtime", "runtime", RegPath=test_key + "\\Absent", RegCond="DWORD>=1"),
    ], {"condition.exe": bench.tools / "condition.exe"})

    started = time.monotonic()
    run = bench.run_setup(media, pb.PASSIVE, timeout=60)
    elapsed = run.exited_monotonic - started

    assert not run.timed_out, run.describe()
    assert elapsed < 20, f"the run took {elapsed:.1f} s"
    assert run.exit_code == 0, run.describe()
    raw = pb.only_log_bytes(bench, run)
    command = condition(media.windows_dir, 2, *args)
    assert pb.has_entry(raw, f"Process '{command}' return code 2\r\n"), pb.readable(raw)
    # The output's start is kept.
    assert pb.has_entry(raw, f"Process '{command}' return text '{kept}"), pb.readable(raw)
    assert_installed(bench, run, raw, media, "Runtime", "runtime")
    assert "chatty" not in pb.markers(bench)


# --------------------------------------------------------------------------
# The Oracle client on the PATH


@pytest.mark.parametrize("oci_on_path", [True, False], ids=["oci-on-path", "control-no-oci"])
def test_oracle_client_found_on_the_path_is_not_offered(bench, recording_msi, test_key, oci_on_path):
    folder, windows_folder = bench.make_folder("logs")
    client = folder / "Oracle Client"
    client.mkdir()
    if oci_on_path:
        (client / "oci.dll").write_bytes((bench.tools / "versioned-1.2.3.4.dll").read_bytes())
    # A PATH as long as real machines have it (thousands of characters),
    # the client's folder after the others: Wine puts WINEPATH in front of
    # the system's folders.
    filler = ";".join(f"C:\\Program Files\\Vendor {i}\\bin" for i in range(200))
    absent = {"RegPath": test_key + "\\Absent", "RegCond": "DWORD>=1"}
    media = make_media(bench, [component("Oracle Instant Client", "oracle", **absent),
                               component("Runtime", "runtime", **absent)])

    run = bench.run_setup(media, pb.PASSIVE,
                          environment={"WINEPATH": filler + ";" + windows_folder + "\\Oracle Client"})

    assert run.exit_code == 0, run.describe()
    raw = pb.only_log_bytes(bench, run)
    assert_installed(bench, run, raw, media, "Runtime", "runtime")
    if oci_on_path:
        assert_not_installed(bench, run, raw, "Oracle Instant Client", "oracle")
        assert pb.utf16("  Oracle Instant Client\r\n") not in raw, pb.readable(raw)
    else:
        assert_installed(bench, run, raw, media, "Oracle Instant Client", "oracle")


# --------------------------------------------------------------------------
# Uninstall steps


def test_uninstall_step_from_a_registry_command_is_listed_and_run(bench, recording_msi, test_key):
    # The uninstaller's command line as a product would store it; the
    # section's InstParams follow it after a blank. No presence probe: an
    # uninstall step is listed whether it is needed or not.
    media = make_media(bench, [{
        "Name": "Old Product",
        "IsUninstall": 1,
        "InstRegPath": test_key + "\\UninstallString",
        "InstParams": "/quiet",
    }])
    stored = f"{media.windows('component.exe')} 0 {pb.marker_path('uninstall')}"
    # The default registry view of the program: the 32-bit one.
    pb.reg_add(bench, test_key.replace("HKEY_LOCAL_MACHINE", "HKLM"), "UninstallString", stored, view="32")

    run = bench.run_setup(media, pb.PASSIVE)

    assert run.exit_code == 0, run.describe()
    raw = pb.only_log_bytes(bench, run)
    command = stored + " /quiet"
    assert pb.markers(bench).get("uninstall") == command + "\r\n", (pb.markers(bench), run.describe())
    assert pb.utf16("Installing prerequisites passively:\r\n  Old Product\r\n") in raw, pb.readable(raw)
    for entry in ("Install the component 'Old Product'.\r\n", f"MsiInstall({command}) return code 0\r\n"):
        assert pb.has_entry(raw, entry), f"missing {entry!r} in\n{pb.readable(raw)}"
