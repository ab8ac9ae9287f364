"""Vector arguments: direct list reads, buffers and the general sequence rule
all give the same values."""

import array

import numpy as np
import pytest

import pelrin_native as pn


class Num:
    def __init__(self, v):
        self.v = v

    def __float__(self):
        return self.v


class MyList(list):
    pass


@pytest.fixture
def data():
    rng = np.random.default_rng(5)
    # float64 values that are not float32-exact, so rounding on entry matters.
    return rng.standard_normal((6, 19)) * 3.0


def spellings_of_vector(v):
    """The same 1-D values in every accepted form."""
    v = np.asarray(v).tolist()
    return {
        "list": list(v),
        "tuple": tuple(v),
        "list-subclass": MyList(v),
        "numpy-f64": np.asarray(v, dtype=np.float64),
        "numpy-f32": np.asarray(v, dtype=np.float32),
        "array-d": array.array("d", v),
        "memoryview-d": memoryview(array.array("d", v)),
        "numpy-f64-strided": np.repeat(np.asarray(v), 2)[::2],
        "numpy-big-endian": np.asarray(v, dtype=">f8"),
        "numpy-scalars": [np.float64(x) for x in v],
        "dunder-float": [Num(x) for x in v],
    }


def spellings_of_matrix(m):
    return {
        "lists": [list(r) for r in m],
        "tuples": tuple(tuple(r) for r in m),
        "numpy-f64": np.asarray(m, dtype=np.float64),
        "numpy-f32-from-f64": np.asarray(m, dtype=np.float64).astype(np.float32),
        "list-of-arrays": [np.asarray(r) for r in m],
        "fortran-order": np.asfortranarray(m),
        "memoryview-2d": memoryview(np.ascontiguousarray(m)),
        "numpy-f16": np.asarray(m, dtype=np.float16),
    }


def test_every_vector_spelling_gives_the_same_numbers(data):
    corpus = data[1:].tolist()
    want = pn.batch_cosine_similarity(data[0].tolist(), corpus)
    for name, q in spellings_of_vector(data[0]).items():
        assert pn.batch_cosine_similarity(q, corpus) == want, name


def test_every_matrix_spelling_gives_the_same_numbers(data):
    want = pn.similarity_matrix(data.tolist(), data.tolist())
    want16 = pn.similarity_matrix(data.astype(np.float16).tolist(), data.tolist())
    for name, m in spellings_of_matrix(data).items():
        expected = want16 if name == "numpy-f16" else want
        assert pn.similarity_matrix(m, data.tolist()) == expected, name
        assert pn.batch_normalize_vectors(m) == pn.batch_normalize_vectors(
            np.asarray(m, dtype=np.float64).tolist()
        ), name


def test_float32_buffers_are_read_exactly(data):
    m32 = data.astype(np.float32)
    assert pn.batch_normalize_vectors(m32) == pn.batch_normalize_vectors(m32.tolist())
    assert pn.top_k_similar(m32[0], m32, k=3) == pn.top_k_similar(m32[0].tolist(), m32.tolist(), k=3)
    assert pn.batch_cosine_similarity(array.array("f", m32[0]), m32) == pn.batch_cosine_similarity(
        m32[0].tolist(), m32.tolist()
    )


@pytest.mark.parametrize(
    "shape", [(0, 4), (3, 0), (0, 0)], ids=["no-rows", "empty-rows", "empty"]
)
def test_empty_buffers(shape):
    m = np.zeros(shape, dtype=np.float32)
    assert pn.batch_normalize_vectors(m) == [[] for _ in range(shape[0])]


@pytest.mark.parametrize(
    "query, corpus, exc, text",
    [
        ("abc", [], TypeError, None),
        ([1.0, "x"], [], TypeError, "must be real number"),
        ({1.0}, [], TypeError, "'set' object is not an instance of 'Sequence'"),
        ([1.0], [[1.0], "ab"], TypeError, None),
        ([1.0], np.zeros((2, 2, 2), dtype=np.float32), TypeError, None),
        ([1.0], [[10**400]], OverflowError, None),
    ],
    ids=["str-query", "str-item", "set", "str-row", "3d-buffer", "huge-int"],
)
def test_refusals_keep_the_sequence_rule(query, corpus, exc, text):
    with pytest.raises(exc) as err:
        pn.batch_cosine_similarity(query, corpus)
    if text:
        assert text in str(err.value)
    assert err.value.__notes__[-1] in ("while processing 'query'", "while processing 'corpus'")


def test_a_list_changed_by_a_conversion_is_handled():
    items = [1.0, 2.0]

    class Shrinker:
        def __float__(self):
            items.clear()
            return 3.0

    items.append(Shrinker())
    items.append(4.0)
    # The general rule stops where the list now ends; nothing crashes.
    assert pn.batch_normalize_vectors([items]) == pn.batch_normalize_vectors([[1.0, 2.0, 3.0]])


def test_huge_doubles_become_infinity_like_the_list_rule():
    want = pn.batch_normalize_vectors([[1e300, 1.0, -1e300]])
    assert repr(pn.batch_normalize_vectors(np.array([[1e300, 1.0, -1e300]]))) == repr(want)
    assert repr(want) == "[[nan, 0.0, nan]]"
