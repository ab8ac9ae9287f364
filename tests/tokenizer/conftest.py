"""Fixtures for the tokenizer tests: the real vocabulary, when it can be had."""

import pathlib
import sys

import pytest

# Tests are imported by path, so the vocabulary helper beside them is put on
# the path explicitly.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from vocab import END_OF_TEXT, END_OF_TEXT_ID, PATTERN, gpt2_ranks_path, load_ranks  # noqa: E402


@pytest.fixture(scope="session")
def gpt2_ranks():
    path = gpt2_ranks_path()
    if path is None:
        pytest.skip("the GPT-2 ranks file could not be fetched")
    return load_ranks(path)


@pytest.fixture(scope="session")
def gpt2_pair(gpt2_ranks):
    """(our tokenizer, tiktoken's encoding) over the same vocabulary and pattern."""
    import pelrin_native

    tiktoken = pytest.importorskip("tiktoken")
    specials = {END_OF_TEXT: END_OF_TEXT_ID, "<|fim|>": 50257}
    ours = pelrin_native.BpeTokenizer("gpt2", list(gpt2_ranks.items()), list(specials.items()))
    theirs = tiktoken.Encoding("gpt2-test", pat_str=PATTERN, mergeable_ranks=gpt2_ranks, special_tokens=specials)
    return ours, theirs
