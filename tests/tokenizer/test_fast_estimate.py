"""The character-class token estimate and its batch form."""

import os
import random
import subprocess
import sys

import pytest

import pelrin_native as pn

WHITE_SPACE = [chr(c) for c in [*range(0x09, 0x0E), 0x20, 0x85, 0xA0, 0x1680, *range(0x2000, 0x200B),
                                0x2028, 0x2029, 0x202F, 0x205F, 0x3000]]
PUNCT = {chr(c) for c in [*range(33, 48), *range(58, 65), *range(91, 97), *range(123, 127)]}


def reference(text: str) -> int:
    """The estimate written out plainly, term by term."""
    if not text:
        return 0
    words, word = [], []
    for ch in text:
        if ch in WHITE_SPACE:
            if word:
                words.append("".join(word))
                word = []
        else:
            word.append(ch)
    if word:
        words.append("".join(word))
    if not words:
        return 1
    e = 0.0
    for w in words:
        length = len(w.encode("utf-8"))
        e += 1.0
        if length > 10:
            e += (length - 10) * 0.25
        elif length > 6:
            e += 0.3
        p = sum(ch in PUNCT for ch in w)
        if p:
            e += p * 0.8
        n = sum(ord(ch) > 127 for ch in w)
        if n:
            e += n * 0.5
    # Round half away from zero (e is never negative).
    r = int(e)
    if e - r >= 0.5:
        r += 1
    return max(r, 1)


@pytest.mark.parametrize(
    "text, expected",
    [
        ("", 0),
        ("   \n\t ", 1),
        ("\u3000\u00a0", 1),
        ("a", 1),
        ("Hello world", 2),
        ("hello, world!", 4),
        ("internationalization", 4),
        ("naïve", 2),
        ("...", 3),
        ("日本語", 3),
        ("abcdef", 1),  # 6 bytes: no length term
        ("abcdefg", 1),  # 7 bytes: 1.3
        ("abcdefghij", 1),  # 10 bytes: 1.3
        ("abcdefghijk", 1),  # 11 bytes: 1.25
        ("abcdefghijklmn", 2),  # 14 bytes: 2.0
        ("a\u00a0b", 2),
        ("a\u3000b", 2),
        ("a\u200bb", 2),  # zero-width space is part of the word: 1.0 + 0.5 -> 2
        ("a\u0085b\u2028c\u205fd", 4),
        ("x" * 12 + " " + "y" * 12, 3),  # 1.5 + 1.5 = 3.0
        # Term-by-term doubles: 6.499999999999999, not 6.5, so it rounds down.
        ("abcdefg " * 5, 6),
    ],
)
def test_examples(text, expected):
    assert pn.count_tokens_fast(text) == expected
    assert reference(text) == expected


def test_matches_the_reference_on_random_text():
    rng = random.Random(7)
    alphabet = list("abcXYZ019 ,.;!?'\"-_()[]{}é日😀") + WHITE_SPACE + ["\u200b", "\u00a0a"]
    # Lengths well past the 64-byte blocks of the fast path.
    texts = ["".join(rng.choice(alphabet) for _ in range(rng.randrange(0, 400))) for _ in range(3000)]
    assert [pn.count_tokens_fast(t) for t in texts] == [reference(t) for t in texts]


@pytest.mark.parametrize("separator", ["\u3000", "\u00a0", "\u2028", " ", "\u2010", ".", "é"])
def test_characters_straddling_block_boundaries(separator):
    for offset in range(56, 72):
        for word in ("x", "x" * 70, "é" * 3):
            text = "a" * offset + separator + word + separator + "b" * offset
            assert pn.count_tokens_fast(text) == reference(text), (offset, word)


def test_huge_word_does_not_overflow():
    text = "x" * 10_000_000
    # 2499998.5, rounded half away from zero (not to even).
    assert pn.count_tokens_fast(text) == 2_499_999


def test_batch_equals_singles():
    rng = random.Random(3)
    words = ["alpha", "beta,", "γάμμα", "デルタ", "epsilon!!", "\u3000", "\n"]
    texts = [" ".join(rng.choice(words) for _ in range(rng.randrange(0, 40))) for _ in range(20_000)]
    assert pn.count_tokens_fast_batch(texts) == [pn.count_tokens_fast(t) for t in texts]
    assert pn.count_tokens_fast_batch(tuple(texts[:3])) == pn.count_tokens_fast_batch(texts[:3])
    assert pn.count_tokens_fast_batch([]) == []
    assert pn.count_tokens_fast_batch(["a", "", "hello, world!"]) == [1, 0, 4]


def test_batch_with_one_thread_gives_the_same_results():
    code = (
        "import pelrin_native as pn; texts = [('word, ' * (i % 50)) + 'é' * (i % 7) for i in range(50000)];"
        "r = pn.count_tokens_fast_batch(texts); assert r == [pn.count_tokens_fast(t) for t in texts];"
        "print(sum(r))"
    )
    totals = set()
    for threads in ("1", "2", "4"):
        env = dict(os.environ, PELRIN_NUM_THREADS=threads, PYTHONPATH=os.pathsep.join(sys.path))
        out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
        totals.add(out.stdout.strip())
    assert len(totals) == 1


@pytest.mark.parametrize(
    "call, exc, message, note",
    [
        (lambda: pn.count_tokens_fast(1), TypeError, "'int' object is not an instance of 'str'", "text"),
        (lambda: pn.count_tokens_fast(None), TypeError, "'None' is not an instance of 'str'", "text"),
        (lambda: pn.count_tokens_fast_batch("abc"), TypeError,
         "'str' object cannot be converted to a list; pass a list or tuple", "texts"),
        (lambda: pn.count_tokens_fast_batch({"a"}), TypeError, "'set' object is not an instance of 'Sequence'",
         "texts"),
        (lambda: pn.count_tokens_fast_batch(["a", 2]), TypeError, "'int' object is not an instance of 'str'",
         "texts"),
    ],
    ids=["int", "none", "str-as-list", "set", "bad-item"],
)
def test_argument_errors(call, exc, message, note):
    with pytest.raises(exc) as info:
        call()
    assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: pn.count_tokens_fast(), "count_tokens_fast() missing 1 required positional argument: 'text'"),
        (lambda: pn.count_tokens_fast("a", "b"), "count_tokens_fast() takes 1 positional arguments but 2 were given"),
        (lambda: pn.count_tokens_fast(txt="a"), "count_tokens_fast() got an unexpected keyword argument 'txt'"),
        (lambda: pn.count_tokens_fast("a", text="b"), "count_tokens_fast() got multiple values for argument 'text'"),
    ],
)
def test_matching(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert pn.count_tokens_fast(text="a b") == 2
