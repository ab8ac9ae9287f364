"""Argument normalizer: normalisation, type coercion, JSON types, quote repair."""

import struct

import pytest
from hypothesis import given, settings, strategies as st

import pelrin_native as pn


@pytest.mark.parametrize(
    "value, expected",
    [
        ('{"a": 1}', ('{"a": 1}', True)),
        (' [1, 2] ', (' [1, 2] ', True)),
        ("{'a': True}", ('{"a": true}', True)),
        ("{'a': 1,}", ('{"a": 1}', True)),
        ("[1, 2, ]", ("[1, 2 ]", True)),
        ("{'a': [None,\u3000]\u00a0,}", ("{'a': [None,\u3000]\u00a0,}", False)),
        ("{'a': \",}\",}", ('{"a": ",}"}', True)),
        ('{"a": "x\\",}",}', ('{"a": "x\\",}"}', True)),
        ("{a: 1}", ("{a: 1}", False)),
        ("[1,", ("[1,", False)),
        ("{'a': 1} trailing", ("{'a': 1} trailing", False)),
        ("", ("", False)),
    ],
    ids=["valid", "padded", "python", "trailing-comma", "array-comma", "unicode-space", "comma-in-string",
         "escaped-quote", "unquoted-key", "comma-at-end", "trailing-text", "empty"],
)
def test_normalize_json_string(value, expected):
    assert pn.normalize_json_string(value) == expected
    assert pn.batch_normalize_json_strings([value, value]) == [expected, expected]


@pytest.mark.parametrize(
    "value, expected",
    [
        ("  42 ", ("int", "42", 1.0)),
        ("+007", ("int", "7", 1.0)),
        ("-0", ("int", "0", 1.0)),
        ("-9223372036854775808", ("int", "-9223372036854775808", 1.0)),
        ("9223372036854775808", ("float", "9223372036854776000", 1.0)),
        ("99999999999999999999", ("float", "100000000000000000000", 1.0)),
        ("3.50", ("float", "3.5", 1.0)),
        ("1e3", ("float", "1000", 1.0)),
        ("1e5", ("float", "100000", 1.0)),
        ("1e-7", ("float", "0.0000001", 1.0)),
        ("1.0", ("float", "1", 1.0)),
        ("-0.0", ("float", "-0", 1.0)),
        (".5", ("float", "0.5", 1.0)),
        ("5.", ("float", "5", 1.0)),
        ("+1.5E+2", ("float", "150", 1.0)),
        ("1e400", ("float", "inf", 1.0)),
        ("-1e400", ("float", "-inf", 1.0)),
        ("1e-400", ("float", "0", 1.0)),
        ("NaN", ("float", "NaN", 1.0)),
        ("-nan", ("float", "NaN", 1.0)),
        ("Infinity", ("float", "inf", 1.0)),
        ("-INF", ("float", "-inf", 1.0)),
        ("TRUE", ("bool", "true", 1.0)),
        ("False", ("bool", "false", 1.0)),
        ("None", ("null", "null", 1.0)),
        ("nil", ("null", "null", 1.0)),
        ("\u2003NULL\n", ("null", "null", 1.0)),
        ("[1, 2]", ("list", "[1, 2]", 1.0)),
        (' {"a": 1} ', ("dict", '{"a": 1}', 1.0)),
        ("{'a': 1}", ("string", "{'a': 1}", 1.0)),
        ("[1] [2]", ("string", "[1] [2]", 1.0)),
        ("", ("string", "", 1.0)),
        ("1_000", ("string", "1_000", 1.0)),
        ("0x10", ("string", "0x10", 1.0)),
        ("1 2", ("string", "1 2", 1.0)),
        (".", ("string", ".", 1.0)),
        ("1e", ("string", "1e", 1.0)),
        ("infinit", ("string", "infinit", 1.0)),
        ("\u0130nf", ("string", "\u0130nf", 1.0)),
        ("  héllo  ", ("string", "héllo", 1.0)),
    ],
    ids=lambda v: repr(v) if isinstance(v, str) else None,
)
def test_coerce_string_type(value, expected):
    assert pn.coerce_string_type(value) == expected
    assert pn.batch_coerce_string_types([value]) == [expected]


@settings(max_examples=300, deadline=None)
@given(st.floats(allow_nan=False))
def test_coerce_float_round_trips(x):
    # repr() of a float always has a point, an exponent or a word, so rule 4
    # never takes it.
    kind, text, _ = pn.coerce_string_type(repr(x))
    assert kind == "float"
    assert "e" not in text
    back = float(text)
    assert struct.pack("<d", back) == struct.pack("<d", x)


def test_batches_keep_order_and_refuse_str():
    values = ["1", "x", "[1]", "true"]
    assert [t for t, _, _ in pn.batch_coerce_string_types(values)] == ["int", "string", "list", "bool"]
    assert pn.batch_coerce_string_types([]) == []
    assert pn.batch_normalize_json_strings(()) == []
    with pytest.raises(TypeError) as e:
        pn.batch_coerce_string_types("abc")
    assert e.value.__notes__ == ["while processing 'values'"]
    with pytest.raises(TypeError) as e:
        pn.batch_normalize_json_strings(["ok", 3])
    assert e.value.__notes__ == ["while processing 'values'"]


@pytest.mark.parametrize(
    "value, expected",
    [
        ("42", "int"),
        ("-0", "int"),
        ("18446744073709551615", "int"),
        ("18446744073709551616", "float"),
        ("-9223372036854775809", "float"),
        ("4.2", "float"),
        ("1.0", "float"),
        ("1e2", "float"),
        ('"x"', "string"),
        ("[]", "list"),
        (" {} ", "dict"),
        ("true", "bool"),
        ("null", "null"),
        ("nope", None),
        ("1e400", None),
        ("[1,]", None),
        ("", None),
        ("[" * 128 + "]" * 128, None),
        ("[" * 127 + "]" * 127, "list"),
    ],
    ids=lambda v: v if isinstance(v, str) and len(v) < 24 else None,
)
def test_get_json_type(value, expected):
    assert pn.get_json_type(value) == expected
    assert pn.is_valid_json(value) is (expected is not None)


@pytest.mark.parametrize(
    "value, valid",
    [(" [1] ", True), ("[1] x", False), ("\t\r\n1\n", True), ("\u00a01", False), ("{'a': 1}", False),
     ('"\\ud800"', False), ('"\\ud83d\\ude00"', True), ("NaN", False), ("01", False)],
    ids=["padded", "trailing", "json-space", "nbsp", "single-quote", "lone-surrogate", "pair", "nan",
         "leading-zero"],
)
def test_is_valid_json(value, valid):
    assert pn.is_valid_json(value) is valid


@pytest.mark.parametrize(
    "value, expected",
    [
        ("{'a': 'b'}", '{"a": "b"}'),
        ("{'a': \"it's\"}", '{"a": "it\'s"}'),
        ("{'a': 'say \"hi\"', \"b\": 1}", '{"a": "say \\"hi\\"", "b": 1}'),
        ("{'a': True, 'b': None}", '{"a": True, "b": None}'),
        ("{'a': 'it\\'s', \"b\": 1}", '{"a": "it\\\'s", "b": 1}'),
        ("{'a': 'x\\'y'}", '{"a": "x\\"y"}'),
        ('{"a": "b"}', '{"a": "b"}'),
        ("no quotes", "no quotes"),
        ("", ""),
    ],
    ids=["single", "mixed", "inner-double", "constants-kept", "escaped-kept", "no-double-all-replaced",
         "no-single", "plain", "empty"],
)
def test_repair_quotes(value, expected):
    assert pn.repair_quotes(value) == expected
