"""The literal engine against a slow, obviously correct reference of both semantics."""

import pelrin_native as pn
import pytest
from hypothesis import given, settings, strategies as st


def _fold(b: bytes, ci: bool) -> bytes:
    return bytes(c + 32 if ci and 65 <= c <= 90 else c for c in b)


def _is_boundary(text: bytes, pos: int) -> bool:
    return pos >= len(text) or (text[pos] & 0xC0) != 0x80


def _find_at(text, pats, start, leftmost_longest):
    """First match at or after `start` by the definition of each semantics."""
    if leftmost_longest:
        for s in range(start, len(text) + 1):
            best = None
            for i, p in enumerate(pats):
                if text[s:s + len(p)] == p and (best is None or len(p) > len(pats[best])):
                    best = i
            if best is not None:
                return best, s, s + len(pats[best])
        return None
    for e in range(start, len(text) + 1):
        best = None
        for i, p in enumerate(pats):
            s = e - len(p)
            if s >= start and text[s:e] == p and (best is None or len(p) > len(pats[best])):
                best = i
        if best is not None:
            return best, e - len(pats[best]), e
    return None


def reference(text: str, patterns, ci: bool, leftmost_longest: bool):
    raw = text.encode()
    folded = _fold(raw, ci)
    pats = [_fold(p.encode(), ci) for p in patterns]
    out, pos, last_end = [], 0, None
    while pos <= len(folded):
        m = _find_at(folded, pats, pos, leftmost_longest)
        if m is None:
            break
        i, s, e = m
        if s == e and (e == last_end or not _is_boundary(raw, e)):
            pos = e + 1
            continue
        out.append((i, s, e, raw[s:e].decode()))
        pos, last_end = e, e
    return out


def _spans(matches):
    return [(m.pattern_idx, m.start, m.end, m.matched_text) for m in matches]


# Small alphabets make shared prefixes, suffixes, duplicates and overlaps common.
_alphabet = st.sampled_from(["a", "b", "A", "B", "c", "é", "É", "ab", "ba"])
_pattern = st.lists(_alphabet, max_size=4).map("".join)
_patterns = st.lists(_pattern, max_size=6)
_text = st.lists(_alphabet, max_size=24).map("".join)


@settings(max_examples=400, deadline=None)
@given(_text, _patterns, st.booleans())
def test_leftmost_longest_matches_reference(text, patterns, ci):
    expected = reference(text, patterns, ci, True)
    assert _spans(pn.PatternMatcher(patterns, ci).find_all(text)) == expected
    assert _spans(pn.find_all_patterns(text, patterns, ci)) == expected
    m = pn.PatternMatcher(patterns, ci)
    assert m.count_matches(text) == len(expected)
    assert m.contains_any(text) == bool(expected)


@settings(max_examples=400, deadline=None)
@given(_text, _patterns, st.booleans())
def test_standard_matches_reference(text, patterns, ci):
    expected = reference(text, patterns, ci, False)
    assert pn.count_pattern_matches(text, patterns, ci) == len(expected)
    assert pn.contains_any_pattern(text, patterns, ci) == bool(expected)
    firsts = list(dict.fromkeys(i for i, *_ in expected))
    assert pn.get_matched_pattern_indices(text, patterns, ci) == firsts


@settings(max_examples=200, deadline=None)
@given(_text, _patterns, st.booleans(), st.sampled_from(["", "-", "<é>"]))
def test_replace_all_matches_reference(text, patterns, ci, replacement):
    raw = text.encode()
    out, last = b"", 0
    for _, s, e, _ in reference(text, patterns, ci, True):
        out += raw[last:s] + replacement.encode()
        last = e
    out += raw[last:]
    assert pn.PatternMatcher(patterns, ci).replace_all(text, replacement) == out.decode()


@pytest.mark.parametrize("n_patterns", [3000, 30000], ids=["dense", "sparse"])
def test_large_sets_match_reference(n_patterns):
    # The larger set no longer fits the dense table; both forms must agree
    # with the definition (on a short text: the reference is slow).
    import random

    rng = random.Random(n_patterns)
    letters = "abcdefghijklmnopqrstuvwxyz"
    patterns = ["".join(rng.choice(letters) for _ in range(rng.randint(1, 7))) for _ in range(n_patterns)]
    text = "".join(rng.choice(letters + "AB ") for _ in range(300))
    assert _spans(pn.PatternMatcher(patterns, True).find_all(text)) == reference(text, patterns, True, True)
    assert pn.count_pattern_matches(text, patterns, False) == len(reference(text, patterns, False, False))
