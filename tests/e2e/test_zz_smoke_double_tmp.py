import msi_double
import winebench as wb

def test_smoke(bench, recording_msi):
    media = bench.make_media(ini={"Main": {"MsiPath": "demo.msi"}}, files={"demo.msi": b"x"})
    run = bench.run_setup(media, ["/i", "/quiet"])
    print(run.describe())
    print(recording_msi.describe())
    logs = bench.temp_logs()
    print(logs)
    for l in logs:
        m = msi_double.MixedLog.parse(l.read_bytes())
        print(m.segments)
    assert run.exit_code == 0
