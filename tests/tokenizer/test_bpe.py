"""BpeTokenizer: merges, pre-tokenization, special tokens, errors, and exactness against tiktoken."""

import pytest
from hypothesis import given, settings, strategies as st

import pelrin_native
from pelrin_native import BpeTokenizer

AB = [(b"a", 0), (b"b", 1), (b"ab", 2)]


@pytest.fixture
def ab():
    return BpeTokenizer("ab", AB, [("<|end|>", 100)])


@pytest.mark.parametrize(
    "text, ids",
    [
        ("ab", [2]),
        ("ba", [1, 0]),
        ("abc", [2, 99]),  # an unranked byte maps to its own value
        ("", []),
        ("ab<|end|>ab", [2, 100, 2]),
        ("<|end|><|end|>", [100, 100]),
        ("<|end|>", [100]),
        ("ab<|end", [2, 60, 124, 101, 110, 100]),  # an incomplete special token is ordinary text
        ("é", [0xC3, 0xA9]),
    ],
    ids=["merge", "no-merge", "unranked-byte", "empty", "special-between", "specials-only",
         "special-alone", "partial-special", "multibyte"],
)
def test_encode_small_vocab(ab, text, ids):
    assert ab.encode(text) == ids
    assert ab.count_tokens(text) == len(ids)


def test_leftmost_pair_wins_a_tie():
    assert BpeTokenizer("aa", [(b"a", 0), (b"aa", 1)], []).encode("aaa") == [1, 0]


def test_merge_order_follows_rank_not_position():
    # "bc" (rank 3) merges before "ab" (rank 4), so "ab" never forms.
    tok = BpeTokenizer("r", [(b"a", 0), (b"b", 1), (b"c", 2), (b"bc", 3), (b"ab", 4)], [])
    assert tok.encode("abc") == [0, 3]


def test_token_unreachable_by_merges_is_not_taken_whole():
    # "abc" is a token, but no pair merges towards it: the piece stays in bytes.
    tok = BpeTokenizer("u", [(b"a", 0), (b"b", 1), (b"c", 2), (b"abc", 3), (b"xy", 4), (b"x", 5), (b"y", 6)], [])
    assert tok.encode("abc") == [0, 1, 2]
    assert tok.count_tokens("abc") == 3
    assert tok.encode("xy") == [4]


# A vocabulary of all bytes plus a few multi-byte tokens shows how the
# pre-tokenization pattern splits: a merge only happens inside one piece.
PIECES = [(bytes([i]), i) for i in range(256)] + [(b"  ", 300), (b" b", 301), (b"'s", 302), (b"'S", 303),
                                                   (b"123", 304), (b"12", 305), (b"\n\n", 306), (b" \n", 307)]


@pytest.mark.parametrize(
    "text, ids",
    [
        ("a  b", [97, 300, 98]),  # several spaces before a word form their own piece
        ("a b", [97, 301]),
        ("it's", [105, 116, 302]),
        ("IT'S", [73, 84, 303]),  # contractions are case-insensitive
        ("1234", [304, 52]),  # numbers split in runs of at most three
        ("\u0661\u0662", [0xD9, 0xA1, 0xD9, 0xA2]),
        ("a \n\nb", [97, 32, 306, 98]),  # one piece: the lower rank merges first
        ("a\u3000b", [97, 0xE3, 0x80, 0x80, 98]),
    ],
    ids=["space-run", "space-word", "contraction", "contraction-upper", "digits", "arabic-digits",
         "newlines", "ideographic-space"],
)
def test_pretokenization_pieces(text, ids):
    assert BpeTokenizer("p", PIECES, []).encode(text) == ids


def test_later_duplicates_win():
    tok = BpeTokenizer("d", [(b"a", 0), (b"a", 7), (bytearray(b"b"), 1), ([97, 98], 9)], [("<s>", 1), ("<s>", 2)])
    assert tok.encode("a") == [7]
    assert tok.encode("ab<s>") == [9, 2]


def test_empty_special_token_is_ignored():
    tok = BpeTokenizer("e", AB, [("", 5), ("<x>", 6)])
    assert tok.encode("ab<x>") == [2, 6]


def test_count_tokens_batch(ab):
    assert ab.count_tokens_batch(["ab", "", "ba"]) == [1, 0, 2]
    texts = [("ab" * i) + "<|end|>" + "ba" * (i % 7) for i in range(200)]
    assert ab.count_tokens_batch(texts) == [ab.count_tokens(t) for t in texts]
    assert ab.count_tokens_batch(tuple(texts[:3])) == [ab.count_tokens(t) for t in texts[:3]]


def test_same_name_tokenizers_are_independent():
    first = BpeTokenizer("same", AB, [])
    second = BpeTokenizer("same", [(b"b", 0), (b"a", 1)], [])
    assert first.encode("ab") == [2]
    assert second.encode("ab") == [1, 0]
    assert first.name == second.name == "same"


def test_class_surface(ab):
    assert BpeTokenizer.__module__ == "builtins"
    assert BpeTokenizer.__text_signature__ == "(name, ranks_data, special_tokens)"
    assert BpeTokenizer.__doc__.splitlines()[-2:] == [
        "Construct once with ranks data (e.g. from tiktoken's cl100k_base),",
        "then call `count_tokens`, `encode`, or `count_tokens_batch`.",
    ]
    assert ab.encode.__doc__.endswith("Encode `text` into a vector of token ids.")
    with pytest.raises(AttributeError):
        ab.name = "other"
    with pytest.raises(TypeError):
        type("Sub", (BpeTokenizer,), {})


@pytest.mark.parametrize(
    "args, exc, message, note",
    [
        (("t", [(b"a", 0, 5)], []), ValueError, "expected tuple of length 2, but got tuple of length 3", "ranks_data"),
        (("t", [["a", 0]], []), TypeError, "'list' object is not an instance of 'tuple'", "ranks_data"),
        (("t", [], {"<|end|>": 1}), TypeError, "'dict' object is not an instance of 'Sequence'", "special_tokens"),
        (("t", [(b"a", 2**32)], []), OverflowError, "number too large to fit in target type", "ranks_data"),
        (("t", [(b"a", -1)], []), OverflowError, "number too small to fit in target type", "ranks_data"),
        (("t", [(b"\x00", 0), ([256], 1)], []), OverflowError, "number too large to fit in target type", "ranks_data"),
        (("t", [("a", 0)], []), TypeError, None, "ranks_data"),
        ((1, [], []), TypeError, "'int' object is not an instance of 'str'", "name"),
        (("t", [], [(b"x", 1)]), TypeError, "'bytes' object is not an instance of 'str'", "special_tokens"),
    ],
    ids=["tuple-length", "not-tuple", "dict", "rank-too-large", "rank-negative", "byte-out-of-range",
         "str-as-bytes", "name-type", "special-bytes"],
)
def test_constructor_errors(args, exc, message, note):
    with pytest.raises(exc) as info:
        BpeTokenizer(*args)
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


# ---- exactness against tiktoken on the real vocabulary ----

CORPUS = [
    "Hello, world! This is a simple English sentence, isn't it? We'll see; they've said I'm fine.",
    "def fibonacci(n: int) -> int:\n    if n < 2:\n        return n\n    return fibonacci(n - 1) + fibonacci(n - 2)\n",
    "    \tindented\t\tline   with   runs    \n\n\n   trailing spaces   ",
    "日本語のテキストと中文文本，还有한국어 텍스트。",
    "Emoji 😀🎉👍🏽 and flags 🇫🇷 with ZWJ 👩‍💻 sequences",
    "Numbers 1234567 3.14159 ١٢٣٤ ²³ Ⅻ and 0x1F",
    "Mixed case CONTRACTIONS: IT'S, WE'LL, THEY'RE, I'D 'S 'T",
    "Text with <|endoftext|> special<|endoftext|><|endoftext|> tokens and <|fim|>inside<|endo",
    "\r\n\r\nWindows line endings\r\nand\u00a0no-break\u3000spaces\u2028separators",
    "café naïve résumé Ærøskøbing ǅ combining e\u0301 a\u0308",
    "x" * 3000 + " " + "ab" * 500,
    "   ",
    "\n",
    " ",
    "!!!???...,,,;;;:::'''\"\"\"```",
    "url https://example.com/path?q=1&r=2#frag and email a.b@c.de",
]


@pytest.mark.parametrize("text", CORPUS, ids=[f"corpus{i}" for i in range(len(CORPUS))])
def test_matches_tiktoken_on_corpus(gpt2_pair, text):
    ours, theirs = gpt2_pair
    want = theirs.encode(text, allowed_special="all")
    assert ours.encode(text) == want
    assert ours.count_tokens(text) == len(want)


def test_batch_matches_tiktoken(gpt2_pair):
    ours, theirs = gpt2_pair
    texts = CORPUS * 5
    assert ours.count_tokens_batch(texts) == [len(theirs.encode(t, allowed_special="all")) for t in texts]


ALPHABET = st.sampled_from(
    list("aZ zé'sStT\n\r\t 0123!?.,-_()[]{}<|>") + ["<|endoftext|>", "\u00a0", "\u3000", "中", "😀", "\u0301", "١", "ǅ", "'ll"]
)


@settings(max_examples=300, deadline=None)
@given(st.lists(ALPHABET, max_size=40).map("".join))
def test_matches_tiktoken_on_random_text(gpt2_pair, text):
    ours, theirs = gpt2_pair
    assert ours.encode(text) == theirs.encode(text, allowed_special="all")


def test_registered_in_module():
    assert "BpeTokenizer" in pelrin_native.__all__


# ---- 1 MB adversarial inputs: every function returns, in linear time ----

from adversarial import ADVERSARIAL, MB  # noqa: E402,F401


@pytest.mark.parametrize("text", ADVERSARIAL.values(), ids=ADVERSARIAL.keys())
def test_adversarial_inputs(text):
    tok = BpeTokenizer("adv", PIECES + [(b"aa", 400), (b"aaaa", 401)], [("<|endoftext|>", 500)])
    ids = tok.encode(text + "<|endoftext|>")
    assert ids[-1] == 500
    assert tok.count_tokens_batch([text, text]) == [len(ids) - 1] * 2
