"""The whole-text thinking-marker functions."""

import pelrin_native as pn
import pytest

FULL_START = "<\uff5cbegin\u2581of\u2581thinking\uff5c>"


@pytest.mark.parametrize(
    "content, expected",
    [
        ("a<think>b</think>c", [(1, 8, 4), (9, 17, 5)]),
        ("é<think>", [(2, 9, 4)]),
        (FULL_START + "<|end_of_thinking|>", [(0, 29, 0), (29, 48, 3)]),
        ("plain", []),
    ],
    ids=["short", "byte-offsets", "full-width", "none"],
)
def test_find_thinking_tokens(content, expected):
    assert pn.find_thinking_tokens(content) == expected
    assert pn.contains_thinking_tokens(content) is bool(expected)


def test_strip():
    assert pn.strip_thinking_tokens("x<think>y</think>z") == "xyz"
    assert pn.strip_thinking_tokens("é" + FULL_START + "ü") == "éü"
    assert pn.strip_thinking_tokens("no markers") == "no markers"


@pytest.mark.parametrize(
    "content, expected",
    [
        ("Hi<think>plan</think>Answer<think>more", ("HiAnswer", "planmore")),
        ("</think>tail", ("</think>tail", "")),
        ("<think>a<think>b<|end_of_thinking|>c", ("c", "a<think>b")),
        ("", ("", "")),
    ],
    ids=["blocks", "stray-end", "nested-start", "empty"],
)
def test_extract(content, expected):
    assert pn.extract_thinking_content(content) == expected
