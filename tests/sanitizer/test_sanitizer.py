"""Response sanitizer: cleanup passes, leakage, garbage, markup and tool names."""

import pytest

import pelrin_native as pn


@pytest.mark.parametrize(
    "text, want",
    [
        ("Hello <function=read_file><parameter=path>a.txt</parameter></function>", "Hello a.txt"),
        ("a" + "\n" * 6 + "b", "a\n\n\nb"),
        ("<think>plan</think>Answer", "planAnswer"),
        ("<\uff5cbegin\u2581of\u2581thinking\uff5c>x<|end_of_thinking|>y", "xy"),
        ("keep\nDo not invent any new parameters, please.\nrest", "keep\n\nrest"),
        ('ok\n  {"name": "x", "arguments": {"a": 1}, "id": 2}\nafter', "ok\nafter"),
        ('pre {"name": "x", "arguments": {"a": 1}} post', "pre  post"),
        ("a\n</div>\nb\r\nparameter=1\n <parameter x\nc", "a\nb\nc"),
        ("x</a> </b>\n</c>y", "xy"),
        ("  spaced\u3000\n", "spaced"),
        ("", ""),
    ],
    ids=["tags", "blank-lines", "thinking-markers", "full-width-markers", "leakage-to-line-end",
         "leaked-object-line", "leaked-object-inline", "dropped-lines", "closing-tag-run", "unicode-trim", "empty"],
)
def test_sanitize_response(text, want):
    assert pn.sanitize_response(text) == want


def test_sanitize_keeps_carriage_return_free_lines_untrimmed():
    assert pn.sanitize_response("a\r\n  indented  \r\nb") == "a\n  indented  \nb"


@pytest.mark.parametrize(
    "text, want",
    [
        ("x\nAll parameters are required unless stated", [(2, 43, "required_params")]),
        ("é Begin by calling list_directory now", [(3, 38, "begin_list_dir")]),
        ("if you want to call multiple functions\nDO NOT SURROUND THE FUNCTION CALL x",
         [(0, 38, "multiple_funcs"), (39, 74, "no_surround")]),
        ("Do NOT surround the function call\nDo not invent any new or additional parameters",
         [(0, 33, "no_surround"), (34, 80, "no_new_params")]),
        ("nothing", []),
    ],
    ids=["documented-example", "byte-offsets", "case-insensitive", "sorted-by-start", "none"],
)
def test_detect_leakage_patterns(text, want):
    assert pn.detect_leakage_patterns(text) == want


@pytest.mark.parametrize(
    "content, want",
    [
        ("", False),
        ("  NEVER do this", True),
        ("never mind", False),
        ("text\nDo NOT touch", True),
        ("FUNCTION_CALL {", True),
        ("</function>\n</function>", True),
        ('  {"name": "t", "arguments":', True),
        ("\u3000<IMPORTANT>", True),  # leading Unicode white space counts
        ("[TOOL_REQUEST]", True),
        ("a <parameter>", True),
        ("plain answer", False),
    ],
    ids=["empty", "never", "never-lower", "do-not-line", "function-call", "double-close", "json-call",
         "important", "tool-request", "parameter", "plain"],
)
def test_is_garbage_content(content, want):
    assert pn.is_garbage_content(content) is want


@pytest.mark.parametrize(
    "text, want",
    [
        ("<b>bold</b>\n\ttext", "bold text"),
        ("a<br/>b", "a b"),
        ("  <p> x \u3000 y </p>  ", "x y"),
        ("1 < 2 and 3 > 2", "1 2"),
        ("<only>", ""),
        ("", ""),
    ],
    ids=["documented", "joined-words", "unicode-space", "comparison", "tag-only", "empty"],
)
def test_strip_markup(text, want):
    assert pn.strip_markup(text) == want


@pytest.mark.parametrize(
    "name, want",
    [
        ("read_file", (True, None)),
        ("", (False, "empty_or_invalid_type")),
        ("my_tool", (False, "invalid_prefix:my_")),
        ("function_x", (False, "invalid_prefix:function_")),
        ("func_x", (False, "invalid_prefix:func_")),
        ("ls/", (False, "invalid_suffix")),
        ("<tool", (False, "starts_with_tag")),
        ("run cmd", (False, "contains_whitespace")),
        ("run\tcmd", (False, "contains_whitespace")),
        ("2fa", (False, "starts_with_number")),
        ("read-file", (False, "invalid_characters")),
        ("read\n", (False, "invalid_characters")),
        ("r\u00e9ad", (False, "invalid_characters")),
    ],
    ids=["valid", "empty", "my", "function", "func", "suffix", "tag", "space", "tab", "digit", "hyphen",
         "newline", "non-ascii"],
)
def test_validate_tool_name(name, want):
    assert pn.validate_tool_name(name) == want


def test_argument_names():
    with pytest.raises(TypeError) as info:
        pn.is_garbage_content(None)
    assert info.value.__notes__ == ["while processing 'content'"]
    assert pn.validate_tool_name.__text_signature__ == "(name)"


# ---- 1 MB adversarial inputs: every function returns, in linear time ----

from adversarial import ADVERSARIAL, MB  # noqa: E402,F401


@pytest.mark.parametrize("text", ADVERSARIAL.values(), ids=ADVERSARIAL.keys())
def test_adversarial_inputs(text):
    assert len(pn.sanitize_response(text)) <= len(text)
    assert isinstance(pn.is_garbage_content(text), bool)
    assert isinstance(pn.detect_leakage_patterns(text), list)
    assert "  " not in pn.strip_markup(text)
    assert pn.validate_tool_name(text)[0] is (text == "a" * MB)
