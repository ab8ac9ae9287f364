"""Source indexer: known-module lookups and identifier extraction."""

import pytest

import pelrin_native as pn


@pytest.mark.parametrize(
    "name, want",
    [
        ("os", True), ("os.path", True), ("xml.etree.ElementTree", True), ("numpy", True),
        ("typing_extensions", True), ("imghdr", True), ("telnetlib", True), ("zoneinfo", True),
        ("", False), ("Os", False), ("requests_oauthlib", False), (".os", False), ("mypackage.os", False),
        ("distutils", False), ("asyncore", False), ("os.", True), ("osx", False), ("\u00e9", False),
    ],
    ids=lambda v: repr(v) if isinstance(v, str) else None,
)
def test_is_stdlib_module(name, want):
    assert pn.is_stdlib_module(name) is want


def test_batch_and_filter():
    names = ["json", "mylib", "os.path", "mylib"]
    assert pn.batch_is_stdlib_modules(names) == [True, False, True, False]
    assert pn.batch_is_stdlib_modules([]) == []
    assert pn.filter_stdlib_imports(names) == (["json", "os.path"], ["mylib", "mylib"])
    assert pn.filter_stdlib_imports(("a",)) == ([], ["a"])
    with pytest.raises(TypeError):
        pn.filter_stdlib_imports("json")
    with pytest.raises(TypeError) as info:
        pn.batch_is_stdlib_modules([1])
    assert info.value.__notes__ == ["while processing 'module_names'"]


@pytest.mark.parametrize(
    "source, names",
    [
        ("x = x + y1", {"x", "y1"}),
        ("def f(): import os  # note", {"def", "f", "import", "os", "note"}),
        ("123abc 'str_in' _", {"abc", "str_in", "_"}),
        ("caf\u00e9 na\u00efve", {"caf", "na", "ve"}),  # non-ASCII splits identifiers
        ("", set()),
    ],
    ids=["simple", "keywords-comments", "tails-strings", "non-ascii", "empty"],
)
def test_extract_identifiers(source, names):
    got = pn.extract_identifiers(source)
    assert len(got) == len(set(got))
    assert set(got) == names


def test_extract_identifiers_with_positions():
    assert pn.extract_identifiers_with_positions("\u00e9 x") == [("x", 3, 4)]
    assert pn.extract_identifiers_with_positions("a.b a") == [("a", 0, 1), ("b", 2, 3), ("a", 4, 5)]
    assert pn.extract_identifiers_with_positions("\u4e2d\u6587_v2") == [("_v2", 6, 9)]


# ---- 1 MB adversarial inputs: every function returns, in linear time ----

from adversarial import ADVERSARIAL, MB  # noqa: E402,F401
from leaks import assert_no_growth  # noqa: E402


@pytest.mark.parametrize("text", ADVERSARIAL.values(), ids=ADVERSARIAL.keys())
def test_adversarial_inputs(text):
    positions = pn.extract_identifiers_with_positions(text)
    assert set(pn.extract_identifiers(text)) == {p[0] for p in positions}
    assert pn.is_stdlib_module(text) is False
    assert pn.filter_stdlib_imports([text]) == ([], [text])


def test_batch_result_does_not_leak():
    import sys

    names = ["os", "x", "json.decoder"] * 10

    def run():
        for _ in range(2000):
            pn.batch_is_stdlib_modules(names)

    assert_no_growth(run, iterations=1, warmup=1, slack=100)
