"""Texts in the user's language: under a Russian, Italian or Japanese user
locale the usage box and the error boxes come from that language's string
table; under any other locale from the language-neutral one."""

import pytest

import winebench as wb

LANGUAGES = [
    pytest.param("ru_RU.UTF-8", "russian", id="russian"),
    pytest.param("it_IT.UTF-8", "italian", id="italian"),
    pytest.param("ja_JP.UTF-8", "japanese", id="japanese"),
    pytest.param("C.UTF-8", "neutral", id="neutral-c"),
    pytest.param("sv_SE.UTF-8", "neutral", id="neutral-swedish"),
]


@pytest.fixture
def product_media(bench, demo_msi):
    return bench.make_media(ini={"Main": {"MsiPath": "demo.msi"}}, files={"demo.msi": demo_msi})


@pytest.mark.parametrize("locale, table", LANGUAGES)
def test_usage_box_is_in_the_users_language(bench, product_media, locale, table):
    texts = wb.read_string_table(table)
    run = bench.run_setup(product_media, ["/passive"], locale=locale)

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [(texts[138], texts[137])], run.describe()


@pytest.mark.parametrize("locale, table", LANGUAGES)
def test_missing_ini_box_is_in_the_users_language(bench, locale, table):
    texts = wb.read_string_table(table)
    media = bench.make_media(ini=None)
    run = bench.run_setup(media, ["/quiet"], locale=locale)

    assert run.exit_code == 3, run.describe()
    assert [(box.caption, box.text) for box in run.boxes] == [
        (texts[135], texts[161].replace("%s", media.ini_windows))], run.describe()


@pytest.mark.parametrize("table", ["russian", "italian", "japanese"])
def test_translations_differ_from_the_neutral_texts(table):
    # Otherwise the tests above could not tell the languages apart.
    texts, neutral = wb.read_string_table(table), wb.read_string_table("neutral")
    for identifier in (135, 137, 138, 161):
        assert texts[identifier] != neutral[identifier], identifier
