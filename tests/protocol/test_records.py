"""Protocol records: roles, tool calls with JSON arguments, messages, chunks."""

import json
import math

import pytest
from hypothesis import given, settings, strategies as st

import pelrin_native as pn
from pelrin_native import Message, Role, StreamChunk, ToolCall, Usage
from leaks import assert_no_growth  # noqa: E402


def tc(arguments):
    return ToolCall("1", "f", arguments)


# ---- Role ----


@pytest.mark.parametrize(
    "member, value, text",
    [(Role.System, 0, "system"), (Role.User, 1, "user"), (Role.Assistant, 2, "assistant"), (Role.Tool, 3, "tool")],
    ids=["system", "user", "assistant", "tool"],
)
def test_role_members(member, value, text):
    assert int(member) == value
    assert str(member) == member.as_str() == text
    assert repr(member) == "Role." + text.capitalize()
    assert member == value and not (member != value)
    assert Message(member).role is member


def test_role_comparisons_and_hash():
    assert Role.User != Role.Tool and not (Role.User == Role.Tool)
    assert (Role.User == "user") is False and (Role.User != "user") is True
    with pytest.raises(TypeError):
        Role.User < Role.Tool
    with pytest.raises(TypeError):
        hash(Role.User)
    with pytest.raises(TypeError):
        Role()
    assert Role.as_str.__doc__ == 'Provider/API string representation ("system" | "user" | "assistant" | "tool").'
    with pytest.raises(TypeError):
        Role.User.as_str(1)


# ---- ToolCall arguments: reading and writing ----


@pytest.mark.parametrize(
    "arguments, written",
    [
        ("[1, 2]", "[1,2]"),
        ("  7 ", "7"),
        ("\t\r\n null \n", "null"),
        ('{"b": 1, "a": [true, null]}', '{"a":[true,null],"b":1}'),
        ('{"a": 1, "a": 2}', '{"a":2}'),
        ('{"é": 1, "b": 2, "B": 3}', '{"B":3,"b":2,"é":1}'),
        (
            '{"z": 1e-6, "y": 0.00001, "x": 1e16, "w": 2.50, "v": 1e2, "u": -0.5}',
            '{"u":-0.5,"v":100.0,"w":2.5,"x":1e+16,"y":0.00001,"z":1e-6}',
        ),
        ("[0.0, -0.0, 1.5e-7, 1e15, 123.456, 1e300]", "[0.0,-0.0,1.5e-7,1000000000000000.0,123.456,1e+300]"),
        ("[18446744073709551615, -9223372036854775808, 18446744073709551616]",
         "[18446744073709551615,-9223372036854775808,1.8446744073709552e+19]"),
        ('"a\\tb"', '"a\\tb"'),
        ('"\\u00e9\\ud83d\\ude00"', '"é😀"'),
        ('"\\u0001\\u001f\\u007f\\b\\f\\/"', '"\\u0001\\u001f\x7f\\b\\f/"'),
        ('"quote \\" backslash \\\\"', '"quote \\" backslash \\\\"'),
    ],
    ids=["list", "padded", "whitespace", "sorted", "duplicate", "byte-order", "floats", "float-layout",
         "int-range", "tab", "unicode-escape", "control", "quote"],
)
def test_arguments_written_compact(arguments, written):
    assert tc(arguments).arguments == written


def test_arguments_default_and_types():
    assert ToolCall("1", "f").arguments == "{}"
    assert ToolCall(id="1", name="f", arguments="[]").arguments == "[]"
    with pytest.raises(TypeError) as e:
        ToolCall("1", "f", {"a": 1})
    assert str(e.value) == "'dict' object is not an instance of 'str'"
    assert e.value.__notes__ == ["while processing 'arguments'"]
    with pytest.raises(TypeError) as e:
        ToolCall("1", "f", None)
    assert str(e.value) == "'None' is not an instance of 'str'"
    with pytest.raises(TypeError) as e:
        ToolCall(1, "f")
    assert e.value.__notes__ == ["while processing 'id'"]


@pytest.mark.parametrize(
    "arguments, message",
    [
        ("", "EOF while parsing a value at line 1 column 0"),
        ("{", "EOF while parsing an object at line 1 column 1"),
        ("{} x", "trailing characters at line 1 column 4"),
        ("[1,]", "trailing comma at line 1 column 4"),
        ('{"a": 1,}', "trailing comma at line 1 column 9"),
        ("[1 2]", "expected `,` or `]` at line 1 column 4"),
        ('{"a" 1}', "expected `:` at line 1 column 6"),
        ('{"a": 1 "b"}', "expected `,` or `}` at line 1 column 9"),
        ("{'a': 1}", "key must be a string at line 1 column 2"),
        ("[True]", "expected value at line 1 column 2"),
        ("[tru]", "expected ident at line 1 column 5"),
        ("nul", "EOF while parsing a value at line 1 column 3"),
        ('"abc', "EOF while parsing a string at line 1 column 4"),
        ("[1, 2", "EOF while parsing a list at line 1 column 5"),
        ('"\\x"', "invalid escape at line 1 column 3"),
        ('"\\u12g4"', "invalid escape at line 1 column 6"),
        ("01", "invalid number at line 1 column 2"),
        ("1.e5", "invalid number at line 1 column 3"),
        ("1e999", "number out of range at line 1 column 5"),
        ('"a\tb"', "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"),
        ('[\n"a\nb"]', "control character (\\u0000-\\u001F) found while parsing a string at line 3 column 0"),
        ('"\\udc00"', "lone leading surrogate in hex escape at line 1 column 7"),
        ('"\\ud800\\u0041"', "lone leading surrogate in hex escape at line 1 column 13"),
        ('"\\ud800x"', "unexpected end of hex escape at line 1 column 8"),
        ('"\\ud83c', "EOF while parsing a string at line 1 column 7"),
        ('{\n  "a": [1,\n  2,,]\n}', "expected value at line 3 column 5"),
    ],
    ids=lambda v: v if len(v) < 12 else None,
)
def test_arguments_errors(arguments, message):
    with pytest.raises(ValueError) as e:
        tc(arguments)
    assert str(e.value) == "arguments is not valid JSON: " + message


def test_nesting_boundary():
    assert tc("[" * 127 + "]" * 127).arguments == "[" * 127 + "]" * 127
    with pytest.raises(ValueError, match="recursion limit exceeded at line 1 column 128"):
        tc("[" * 128 + "]" * 128)
    nested_objects = '{"a":' * 127 + "1" + "}" * 127
    assert tc(nested_objects).arguments == nested_objects
    with pytest.raises(ValueError, match="recursion limit exceeded"):
        tc('{"a":' * 128 + "1" + "}" * 128)


json_values = st.recursive(
    st.none()
    | st.booleans()
    | st.integers(min_value=-(2**63), max_value=2**64 - 1)
    | st.floats(allow_nan=False, allow_infinity=False)
    | st.text(),
    lambda children: st.lists(children, max_size=5) | st.dictionaries(st.text(max_size=8), children, max_size=5),
    max_leaves=25,
)


def _sorted_by_bytes(value):
    # Python sorts str by code point, which is also the UTF-8 byte order.
    if isinstance(value, dict):
        return {k: _sorted_by_bytes(value[k]) for k in sorted(value)}
    if isinstance(value, list):
        return [_sorted_by_bytes(v) for v in value]
    return value


@settings(max_examples=400, deadline=None)
@given(json_values, st.booleans())
def test_arguments_round_trip(value, pretty):
    text = json.dumps(value, ensure_ascii=pretty, indent=2 if pretty else None)
    written = tc(text).arguments
    expected = json.dumps(_sorted_by_bytes(value), separators=(",", ":"), ensure_ascii=False)
    assert json.loads(written) == json.loads(expected)
    if not _has_float(value):
        assert written == expected
    assert tc(written).arguments == written


def _has_float(value):
    if isinstance(value, float):
        return True
    if isinstance(value, dict):
        return any(_has_float(v) for v in value.values())
    if isinstance(value, list):
        return any(_has_float(v) for v in value)
    return False


@settings(max_examples=300, deadline=None)
@given(st.floats(allow_nan=False, allow_infinity=False))
def test_float_shortest_round_trip(x):
    written = tc(repr(x)).arguments
    assert float(written) == x and math.copysign(1, float(written)) == math.copysign(1, x)
    assert "." in written or "e" in written


# ---- ToolCall repr and properties ----


@pytest.mark.parametrize(
    "id_, expected",
    [
        ("c1", '"c1"'),
        ('say "hi"\\', '"say \\"hi\\"\\\\"'),
        ("t\tr\rn\n0\0", '"t\\tr\\rn\\n0\\0"'),
        ("\x1b\x7f\x85", '"\\u{1b}\\u{7f}\\u{85}"'),
        ("é中😀 '", "\"é中😀 '\""),
        ("e\u0301", '"e\\u{301}"'),
        ("\u200b\u2028\u00a0\ue000\U000e0001", '"\\u{200b}\\u{2028}\\u{a0}\\u{e000}\\u{e0001}"'),
    ],
    ids=["plain", "quotes", "escapes", "controls", "printable", "combining", "invisible"],
)
def test_tool_call_repr(id_, expected):
    assert repr(ToolCall(id_, "read_file")) == f"ToolCall(id={expected}, name=\"read_file\")"


def test_tool_call_properties_read_only():
    t = ToolCall("c1", "read_file", "[1]")
    assert (t.id, t.name, t.arguments) == ("c1", "read_file", "[1]")
    assert t.arguments is not t.arguments
    with pytest.raises(AttributeError):
        t.id = "x"
    with pytest.raises(AttributeError, match="property has no deleter"):
        del t.arguments
    assert t != ToolCall("c1", "read_file", "[1]")
    assert hash(t) == hash(t)
    with pytest.raises(TypeError):

        class Sub(ToolCall):
            pass


# ---- Usage, Message, StreamChunk ----


def test_usage():
    assert (Usage(1, 2).prompt_tokens, Usage(1, 2).completion_tokens, Usage(1, 2).total_tokens) == (1, 2, 0)
    assert Usage(total_tokens=2**64 - 1).total_tokens == 2**64 - 1
    with pytest.raises(OverflowError):
        Usage(-1)
    with pytest.raises(OverflowError):
        Usage(2**64)
    with pytest.raises(TypeError):
        Usage(1.0)


def test_message_fields_and_repr():
    call = ToolCall("c1", "read_file", '{"path": "a"}')
    m = Message(Role.Assistant, "hi", [call], "id-7")
    assert repr(m) == 'Message(role=assistant, content=Some("hi"))'
    assert (m.content, m.tool_call_id) == ("hi", "id-7")
    first, again = m.tool_calls[0], m.tool_calls[0]
    assert first is not again and first is not call
    assert (first.id, first.name, first.arguments) == ("c1", "read_file", '{"path":"a"}')
    m.tool_calls.append(call)
    assert len(m.tool_calls) == 1
    assert repr(Message(Role.User)) == "Message(role=user, content=None)"
    assert repr(Message(Role.Tool, 'a"\n')) == 'Message(role=tool, content=Some("a\\"\\n"))'
    assert Message(Role.User).tool_calls is None
    assert Message(Role.User, tool_calls=[]).tool_calls == []
    assert Message(Role.User, tool_calls=(call,)).tool_calls[0].id == "c1"


@pytest.mark.parametrize(
    "kwargs, error, note",
    [
        ({"role": "user"}, "'str' object is not an instance of 'Role'", "role"),
        ({"role": 1}, "'int' object is not an instance of 'Role'", "role"),
        ({"role": Role.User, "content": 3}, "'int' object is not an instance of 'str'", "content"),
        ({"role": Role.User, "tool_calls": [{"id": "1"}]}, "'dict' object is not an instance of 'ToolCall'",
         "tool_calls"),
        ({"role": Role.User, "tool_calls": "x"}, None, "tool_calls"),
        ({"role": Role.User, "tool_call_id": b"x"}, "'bytes' object is not an instance of 'str'", "tool_call_id"),
    ],
    ids=["role-str", "role-int", "content", "tool-call-dict", "str-as-list", "tool-call-id"],
)
def test_message_refusals(kwargs, error, note):
    with pytest.raises(TypeError) as e:
        Message(**kwargs)
    if error is not None:
        assert str(e.value) == error
    assert e.value.__notes__ == [f"while processing '{note}'"]


def test_stream_chunk():
    c = StreamChunk()
    assert (c.content, c.tool_calls, c.is_final, c.usage) == (None, None, False, None)
    u = Usage(1, 2, 3)
    c = StreamChunk("part", [ToolCall("1", "f")], True, u)
    got = c.usage
    assert got is not u and got is not c.usage
    assert (got.prompt_tokens, got.completion_tokens, got.total_tokens) == (1, 2, 3)
    assert (c.content, c.is_final, c.tool_calls[0].name) == ("part", True, "f")
    with pytest.raises(TypeError, match="'int' object is not an instance of 'bool'"):
        StreamChunk(is_final=1)
    with pytest.raises(TypeError, match="'dict' object is not an instance of 'Usage'"):
        StreamChunk(usage={"prompt_tokens": 1})


def test_echo_functions():
    m = Message(Role.Tool, "out", [ToolCall("c", "n", "[1]")], "c")
    e = pn.echo_message(m)
    assert e is not m
    assert e.role is m.role and e.content == m.content and e.tool_call_id == m.tool_call_id
    assert [(t.id, t.name, t.arguments) for t in e.tool_calls] == [("c", "n", "[1]")]
    assert pn.echo_message(msg=Message(Role.User, tool_calls=[])).tool_calls == []
    c = pn.echo_stream_chunk(StreamChunk("x", None, True, Usage(4, 5, 6)))
    assert (c.content, c.tool_calls, c.is_final, c.usage.total_tokens) == ("x", None, True, 6)
    with pytest.raises(TypeError, match="'Message' object is not an instance of 'StreamChunk'"):
        pn.echo_stream_chunk(Message(Role.User))
    with pytest.raises(TypeError, match="'NoneType' object is not an instance of 'Message'|'None' is not"):
        pn.echo_message(None)


def test_class_docs_and_signatures():
    assert ToolCall.__text_signature__ == "(id, name, arguments=...)"
    assert ToolCall.__doc__.startswith("A tool invocation requested by the model")
    assert ToolCall.__doc__.endswith("``arguments`` is carried as a JSON string at the Python boundary.")
    assert Usage.__text_signature__ == "(prompt_tokens=0, completion_tokens=0, total_tokens=0)"
    assert Message.__text_signature__ == "(role, content=None, tool_calls=None, tool_call_id=None)"
    assert StreamChunk.__text_signature__ == "(content=None, tool_calls=None, is_final=False, usage=None)"
    assert Role.__doc__ == "Sender role for a chat message (mirrors ``pelrin_protocol::Role``)."
    assert pn.echo_message.__doc__.splitlines()[0] == "Echo a Message back unchanged"
    assert pn.echo_stream_chunk.__doc__ == "Echo a StreamChunk back unchanged."


def test_no_leaks_on_repeated_use():
    import sys

    def work():
        t = ToolCall("c", "n", '{"a": [1, 2.5, "x"]}')
        m = Message(Role.Assistant, "hi", [t, t], "c")
        _ = (t.arguments, repr(t), repr(m), m.tool_calls, m.role, Role.User.as_str())
        _ = pn.echo_stream_chunk(StreamChunk("x", [t], True, Usage(1, 2, 3))).usage
        try:
            ToolCall("c", "n", "[1,]")
        except ValueError:
            pass
        try:
            Message(Role.User, tool_calls=[1])
        except TypeError:
            pass

    assert_no_growth(work, warmup=1000, slack=100)
