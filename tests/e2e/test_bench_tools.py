"""The bench's own instruments: if these are wrong, every other result is."""

import pytest

import winebench as wb


@pytest.mark.parametrize("code, expected", [("0", 0), ("3", 3), ("1602", 1602), ("3010", 3010),
                                            ("-1", 4294967295)],
                         ids=["0", "3", "1602", "3010", "all-bits-set"])
def test_exitcode_reports_the_full_32_bit_code(bench, code, expected):
    run = bench.start("C:\\windows\\system32\\cmd.exe", f"/c exit {code}")
    assert run.wait() == expected, run.describe()


@pytest.mark.parametrize("rendered, text, truncated", [
    ('0104:trace:msgbox:MSGBOX_OnInit L"Can\'t find ini file:\\r\\n\'C:\\\\a b\\\\setup.ini\'"',
     "Can't find ini file:\r\n'C:\\a b\\setup.ini'", False),
    ('0104:trace:msgbox:MSGBOX_OnInit L"tab\\there \\"q\\" \\00e9\\x41\\u0416"', 'tab\there "q" \u00e9A\u0416',
     False),
    ('0104:trace:msgbox:MSGBOX_OnInit L"\\0430\\0431"...', "\u0430\u0431", True),
], ids=["line-ends-and-backslashes", "escapes", "cut-short"])
def test_msgbox_trace_is_decoded(rendered, text, truncated):
    assert wb.parse_msgbox_trace("noise\n" + rendered + "\nmore noise\n") == [wb.TracedBox(text, truncated)]


@pytest.mark.parametrize("body, text", [
    (r"a\nb\r\n\tc", "a\nb\r\n\tc"),
    (r"quote \" backslash \\ hex \x41", 'quote " backslash \\ hex A'),
    (r"percent %s stays", "percent %s stays"),
], ids=["line-ends", "quote-backslash-hex", "placeholder"])
def test_string_table_literals_are_decoded(body, text):
    assert wb.decode_c_literal(body) == text


@pytest.mark.parametrize("table", ["neutral", "russian", "italian", "japanese"])
def test_string_tables_hold_the_texts_the_tests_compare(table):
    texts = wb.read_string_table(table)
    assert {135, 137, 138, 161} <= set(texts), sorted(texts)
