"""PatternMatcher, PatternMatch and the quick functions with their cache."""

import threading

import pelrin_native as pn
import pytest
from leaks import assert_no_growth  # noqa: E402


def spans(matches):
    return [(m.pattern_idx, m.matched_text, m.start, m.end) for m in matches]


@pytest.mark.parametrize(
    "patterns, ci, text, expected",
    [
        (["foo"], True, "a FOO b", [(0, "FOO", 2, 5)]),
        (["foo"], False, "a FOO b", []),
        (["é"], True, "É", []),  # only ASCII letters fold
        (["b"], True, "ñb", [(0, "b", 2, 3)]),  # byte offsets, not str indices
        (["abc", "b"], True, "abc", [(0, "abc", 0, 3)]),
        (["a", "a"], True, "aa", [(0, "a", 0, 1), (0, "a", 1, 2)]),
        (["", "a"], True, "ab", [(1, "a", 0, 1), (0, "", 2, 2)]),
    ],
    ids=["fold", "exact", "non-ascii-exact", "byte-offsets", "longest", "duplicates", "empty-pattern"],
)
def test_find_all(patterns, ci, text, expected):
    assert spans(pn.PatternMatcher(patterns, ci).find_all(text)) == expected


def test_pattern_match_record():
    (m,) = pn.PatternMatcher(["foo"]).find_all("bar Foo")
    assert repr(m) == "PatternMatch(pattern=0, text='Foo', span=(4, 7))"
    with pytest.raises(AttributeError):
        m.start = 1
    with pytest.raises(TypeError):
        pn.PatternMatch()


def test_matcher_queries():
    m = pn.PatternMatcher(["x", "y"])
    assert m.matched_patterns("yxy") == [1, 0]
    assert m.matched_pattern_strings("yxy") == ["y", "x"]
    assert m.count_by_pattern("yxy z") == {1: 2, 0: 1}
    assert m.count_matches("yxy") == 3
    assert pn.PatternMatcher(["a", "a"]).matched_patterns("aa") == [0]
    assert m.get_pattern(1) == "y" and m.get_pattern(5) is None
    with pytest.raises(OverflowError):
        m.get_pattern(-1)
    assert m.pattern_count() == 2 and m.case_insensitive is True
    assert pn.PatternMatcher(["x"], case_insensitive=False).case_insensitive is False
    empty = pn.PatternMatcher([])
    assert not empty.contains_any("abc") and empty.pattern_count() == 0
    assert empty.replace_all("abc", "-") == "abc"


def test_replacement():
    m = pn.PatternMatcher(["a", "b"])
    assert m.replace_all("ab", "-") == "--"
    assert m.replace_all_with("xAbx", ["1", "2"]) == "x12x"
    with pytest.raises(ValueError, match=r"^Expected 2 replacements, got 1$"):
        m.replace_all_with("ab", ["1"])
    # Empty matches never split a character.
    assert pn.PatternMatcher([""]).replace_all("é", "|") == "|é|"


@pytest.mark.parametrize(
    "call, expected",
    [
        (lambda: pn.get_matched_pattern_indices("abc", ["abc", "b"]), [1]),
        (lambda: spans(pn.find_all_patterns("abc", ["abc", "b"])), [(0, "abc", 0, 3)]),
        (lambda: pn.count_pattern_matches("aaa", ["a"]), 3),
        (lambda: pn.count_pattern_matches("aaaa", ["aa"]), 2),
        (lambda: pn.count_pattern_matches("ABab", ["ab"], False), 1),
        (lambda: pn.contains_any_pattern("anything", [""]), True),
        (lambda: pn.contains_any_pattern("anything", []), False),
        (lambda: pn.batch_contains_any(["x", "yz", ""], ["z"]), [False, True, False]),
        (lambda: pn.weighted_pattern_score("foo foo bar", ["foo", "bar", "baz"], [1.0, 2.5, 4.0]), 3.5),
        # "b" only ever occurs inside the longer leftmost match "abc"
        (lambda: pn.weighted_pattern_score("abc", ["abc", "b"], [1.0, 10.0]), 1.0),
    ],
    ids=["standard-indices", "leftmost-longest", "count", "count-non-overlapping", "case-exact",
         "empty-pattern", "no-patterns", "batch", "weighted", "weighted-hidden"],
)
def test_quick_functions(call, expected):
    assert call() == expected


def test_weighted_length_mismatch():
    with pytest.raises(ValueError, match=r"^Number of patterns \(3\) must match number of weights \(2\)$"):
        pn.weighted_pattern_score("foo", ["foo", "bar", "baz"], [1.0, 2.0])


def test_colliding_cache_keys_use_their_own_list():
    # Both lists join to "a\0b"; each call must report indices into its own list.
    assert pn.get_matched_pattern_indices("b a", ["a", "b"]) == [1, 0]
    assert pn.get_matched_pattern_indices("b a", ["a\0b"]) == []
    assert pn.get_matched_pattern_indices("a\0b", ["a\0b"]) == [0]
    assert spans(pn.find_all_patterns("a\0b", ["a", "b"])) == [(0, "a", 0, 1), (1, "b", 2, 3)]


def test_threads_share_matcher_and_cache():
    words = [f"w{i}x" for i in range(200)]
    text = " ".join(words[::3]) * 5
    shared = pn.PatternMatcher(words)
    expected = (spans(shared.find_all(text)), pn.count_pattern_matches(text, words),
                [pn.get_matched_pattern_indices(text, words[k:]) for k in range(20)])
    results, errors = [], []

    def work():
        try:
            for _ in range(5):
                results.append((spans(shared.find_all(text)), pn.count_pattern_matches(text, words),
                                [pn.get_matched_pattern_indices(text, words[k:]) for k in range(20)]))
        except BaseException as e:  # noqa: BLE001 - reported below
            errors.append(e)

    threads = [threading.Thread(target=work) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors
    assert len(results) == 40 and all(r == expected for r in results)


def test_hand_built_results_do_not_leak():
    import sys

    m = pn.PatternMatcher(["ab", "b"])

    def run():
        for _ in range(10_000):
            pn.batch_contains_any(["xab", "y"], ["ab"])
            m.find_all("ab b")
            m.count_by_pattern("ab b")

    assert_no_growth(run, iterations=1, warmup=1, slack=100)
