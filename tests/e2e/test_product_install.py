"""A deployment tool's view of a whole install: exit code 0, the product on
the machine (its file and its registry value) and "Setup complete" in the
setup log. (Wine's installer truncates the log file it is handed and writes
8-bit text into it; the setup log's own entries that follow are UTF-16, so
they are looked for as UTF-16 bytes.)"""

import pytest

import winebench as wb


@pytest.mark.private_prefix
@pytest.mark.parametrize("args", [pytest.param(["/i", "/quiet"], marks=pytest.mark.x86),
                                  ["/i", "/passive"], []],
                         ids=["quiet", "passive", "full-without-arguments"])
def test_install_puts_the_product_on_the_machine(bench, demo_msi, args):
    media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi"}}, files={"demo.msi": demo_msi})
    run = bench.run_setup(media, args, timeout=180)

    assert run.exit_code == 0, run.describe()
    assert run.boxes == [], run.describe()
    payload = bench.prefix.drive_c / "Program Files" / "Demo Product" / "payload.txt"
    assert payload.read_bytes() == (wb.PACKAGES_DIR / "payload.txt").read_bytes()
    query = bench.prefix.wine(["reg", "query", "HKLM\\Software\\Demo Maker\\Demo Product", "/v", "Version"])
    assert b"1.0.0" in query.stdout, query
    logs = bench.temp_logs()
    assert len(logs) == 1, [path.name for path in logs]
    assert "]: Setup complete\r\n".encode("utf-16-le") in logs[0].read_bytes()
