"""JSON repair of Python-flavoured text and extraction of JSON from free text."""

import pytest
from hypothesis import given, settings, strategies as st

import pelrin_native as pn


def reference_repair(s):
    """The character pass, written plainly."""
    out, i, mode, n = [], 0, "out", len(s)
    while i < n:
        c = s[i]
        if mode == "out":
            if c == '"':
                out.append(c)
                mode = "double"
            elif c == "'":
                out.append('"')
                mode = "single"
            elif c in "\t\n\r ,:[]{}\\":
                out.append(c)
            elif s.startswith("True", i):
                out.append("true")
                i += 4
                continue
            elif s.startswith("False", i):
                out.append("false")
                i += 5
                continue
            elif s.startswith("None", i):
                out.append("null")
                i += 4
                continue
            else:
                out.append(c)
        elif mode == "double":
            if c == "\\":
                out.append(s[i : i + 2])
                i += 2
                continue
            out.append(c)
            if c == '"':
                mode = "out"
        else:
            if c == '"':
                out.append('\\"')
            elif c == "\\":
                out.append("'" if s[i + 1 : i + 2] == "'" else s[i : i + 2])
                i += 2
                continue
            elif c == "'":
                out.append('"')
                mode = "out"
            else:
                out.append(c)
        i += 1
    return "".join(out)


def reference_extract(text):
    """The extraction scan, written plainly over bytes (quadratic)."""
    data = text.encode()
    found, pos = [], 0
    while pos < len(data):
        opener = data[pos : pos + 1]
        if opener not in (b"{", b"["):
            pos += 1
            continue
        closer = b"}" if opener == b"{" else b"]"
        depth, in_string, skip, end = 0, False, False, None
        for j in range(pos, len(data)):
            b = data[j : j + 1]
            if skip:
                skip = False
            elif in_string:
                if b == b"\\":
                    skip = True
                elif b == b'"':
                    in_string = False
            elif b == b'"':
                in_string = True
            elif b == opener:
                depth += 1
            elif b == closer:
                if depth == 1:
                    end = j
                    break
                depth -= 1
        if end is None:
            pos += 1
            continue
        candidate = data[pos : end + 1].decode()
        if pn.is_valid_json(candidate):
            found.append((pos, end + 1, candidate))
            pos = end + 1
            continue
        repaired = reference_repair(candidate)
        if pn.is_valid_json(repaired):
            found.append((pos, end + 1, repaired))
            pos = end + 1
            continue
        pos += 1
    return found


@pytest.mark.parametrize(
    "text, repaired",
    [
        ("{'key': 'value', 'nested': {'a': True}}", '{"key": "value", "nested": {"a": true}}'),
        ("{'text': 'say \"hi\"'}", '{"text": "say \\"hi\\""}'),
        ('{"a": "it\'s True"}', '{"a": "it\'s True"}'),
        ("{'a': 'it\\'s'}", '{"a": "it\'s"}'),
        ("{'a': 'x\\ny', 'b': 1}", '{"a": "x\\ny", "b": 1}'),
        ("[None, False]", "[null, false]"),
        ("{'a': 1,}", '{"a": 1,}'),
        ("{'a': 'open", '{"a": "open'),
        ("Trueness Nonexistent IsTrue", "trueness nullxistent Istrue"),
        ('{"a": "esc \\" True"}', '{"a": "esc \\" True"}'),
        ('["ends in \\', '["ends in \\'),
        ("['ends in \\", '["ends in \\'),
        ("{unquoted: None} // note", "{unquoted: null} // note"),
        ("{'é': '中 \"x\"'}", '{"é": "中 \\"x\\""}'),
        ("", ""),
    ],
    ids=["python-dict", "inner-double", "double-keeps", "escaped-single", "other-escape", "constants",
         "trailing-comma", "open-string", "prefix-test", "escaped-double", "double-backslash-end",
         "single-backslash-end", "other-syntax", "non-ascii", "empty"],
)
def test_repair_json(text, repaired):
    assert pn.repair_json(text) == repaired
    assert pn.repair_json(input=text) == repaired


def test_repair_valid_json_unchanged():
    doc = '{"b": [1, 2.50, "x"],\n "a": null}'
    assert pn.repair_json(doc) == doc
    with pytest.raises(TypeError) as e:
        pn.repair_json(None)
    assert e.value.__notes__ == ["while processing 'input'"]


@settings(max_examples=300, deadline=None)
@given(st.text(alphabet="'\"\\ TrueFalsNn{}[],:ax\né", max_size=40))
def test_repair_matches_reference(text):
    assert pn.repair_json(text) == reference_repair(text)


@pytest.mark.parametrize(
    "text, expected",
    [
        ("Args: {'a': True} and [1, 2]", [(6, 17, '{"a": true}'), (22, 28, "[1, 2]")]),
        ('{bad} {"ok": 1}', [(6, 15, '{"ok": 1}')]),
        ("{ never closed [3]", [(15, 18, "[3]")]),
        ('{"s": "}"} x', [(0, 10, '{"s": "}"}')]),
        ("{'s': '}'}", []),
        ('pre {"a": {"b": [1]}} post', [(4, 21, '{"a": {"b": [1]}}')]),
        ('{"a": [1, }', []),
        ('[{"a": 1}, oops]', [(1, 9, '{"a": 1}')]),
        ('é {"k": "ü"}', [(3, 14, '{"k": "ü"}')]),
        ("```json\n{'tool': 'read', 'args': {'path': 'a.py'}}\n```",
         [(8, 50, '{"tool": "read", "args": {"path": "a.py"}}')]),
        ('"quoted {"a": 1}', [(8, 16, '{"a": 1}')]),
        ("", []),
    ],
    ids=["mixed", "bad-first", "unclosed", "brace-in-string", "brace-in-single", "nested", "rejected",
         "nested-after-reject", "byte-offsets", "fence", "prose-quote", "empty"],
)
def test_extract_json_objects(text, expected):
    assert pn.extract_json_objects(text) == expected
    assert reference_extract(text) == expected


@settings(max_examples=400, deadline=None)
@given(st.text(alphabet="{}[]\"'\\,:1 aTrue", max_size=30))
def test_extract_matches_reference(text):
    assert pn.extract_json_objects(text) == reference_extract(text)


@pytest.mark.parametrize(
    "text",
    [
        "{" * 200_000,
        "[" * 100_000 + "]" * 100_000,
        '{"' * 100_000,
        "{'a': True, " * 30_000 + "x" + "}" * 30_000,
        "[" * 60_000 + "True" + "]" * 60_000,
    ],
    ids=["open-braces", "deep-brackets", "open-strings", "repair-heavy", "deep-repair"],
)
def test_extract_large_inputs_finish(text):
    # These took quadratic time with a scan per start byte.
    result = pn.extract_json_objects(text)
    assert all(pn.is_valid_json(s) for _, _, s in result)
