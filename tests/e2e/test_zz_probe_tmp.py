import pytest, product_runs as pr
@pytest.mark.private_prefix
def test_probe(bench, recording_msi):
    media = pr.demo_media(bench, b"x")
    run = bench.run_setup(media, ["/i", "/quiet"])
    assert run.exit_code == 0
    assert recording_msi.calls("MsiInstallProductA"), recording_msi.describe()
    assert "private" in str(bench.prefix.path)
    print(recording_msi.loads())
