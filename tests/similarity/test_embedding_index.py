"""The embedding index: construction, growth, queries and scores."""

import math

import numpy as np
import pytest

import pelrin_native as pn
from float32_reference import eight_lane_dot, f32, normalized, random_vectors


@pytest.fixture
def idx():
    return pn.EmbeddingIndex([[1, 0], [0, 1], [-1, 0]], ["x", "y", "z"])


def test_class_surface():
    assert pn.EmbeddingIndex.__text_signature__ == "(vectors, labels)"
    assert pn.EmbeddingIndex.__doc__.startswith("Pre-normalized embedding corpus")
    assert pn.EmbeddingIndex.query.__text_signature__ == "($self, query, k=10, threshold=0.0)"
    with pytest.raises(TypeError):
        type("Sub", (pn.EmbeddingIndex,), {})


def test_scores_equal_the_reference():
    rng = np.random.default_rng(3)
    vectors = random_vectors(rng, 40, 17)
    q = random_vectors(rng, 1, 17)[0]
    labels = [f"v{i}" for i in range(40)]
    index = pn.EmbeddingIndex(vectors[:25], labels[:25])
    index.add(vectors[25:], labels[25:])
    unit = normalized(q)
    want = [eight_lane_dot(normalized(v), unit) for v in vectors]
    assert index.similarities(q) == want
    assert index.similarities(np.asarray(q, dtype=np.float32)) == want
    # The same numbers as the free function on a normalised corpus.
    assert want == pn.batch_cosine_similarity_normalized(q, pn.batch_normalize_vectors(vectors))
    got = index.query(q, k=5, threshold=-1.0)
    assert [s for _, s in got] == sorted(want, reverse=True)[:5]
    assert all(want[int(label[1:])] == s for label, s in got)


@pytest.mark.parametrize(
    "call, want",
    [
        (lambda i: i.query([2, 0]), [("x", 1.0), ("y", 0.0)]),
        (lambda i: i.query([2, 0], k=1), [("x", 1.0)]),
        (lambda i: i.query([2, 0], k=0), []),
        (lambda i: i.query([2, 0], threshold=-2.0), [("x", 1.0), ("y", 0.0), ("z", -1.0)]),
        (lambda i: i.query([2, 0], threshold=1.5), []),
        (lambda i: i.query([2, 0], threshold=float("nan")), []),
        (lambda i: i.query([1, 0, 0]), []),
        (lambda i: i.similarities([0, 3]), [0.0, 1.0, 0.0]),
        (lambda i: (i.dim(), i.len()), (2, 3)),
    ],
    ids=["default", "k1", "k0", "low-threshold", "high-threshold", "nan-threshold", "wrong-dim",
         "similarities", "dim-len"],
)
def test_queries(idx, call, want):
    assert call(idx) == want


def test_add_grows_and_failed_add_stores_nothing(idx):
    idx.add([[3, 4]], ["w"])
    assert idx.len() == 4
    assert idx.similarities([3, 4])[-1] == 1.0
    assert idx.similarities([1, 0])[-1] == f32(0.6)
    for vectors, labels in [([[1, 2, 3]], ["v"]), ([[1, 0], [1]], ["a", "b"]), ([[1, 0]], [])]:
        with pytest.raises(ValueError):
            idx.add(vectors, labels)
    with pytest.raises(TypeError):
        idx.add([[1, 0]], [5])
    assert idx.len() == 4
    idx.add([], [])
    assert idx.len() == 4 and idx.dim() == 2


def test_empty_index():
    idx = pn.EmbeddingIndex([], [])
    assert (idx.dim(), idx.len()) == (0, 0)
    assert idx.query([1, 2]) == [] and idx.similarities([1, 2]) == []
    with pytest.raises(ValueError, match="^Vectors must have non-zero dimension$"):
        idx.add([[]], ["a"])
    idx.add([[0, 0, 5]], ["a"])
    assert idx.dim() == 3 and idx.similarities([0, 0, 1]) == [1.0]


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: pn.EmbeddingIndex([[1, 0]], ["a", "b"]), "vectors length (1) must match labels length (2)"),
        (lambda: pn.EmbeddingIndex([[]], ["a"]), "Vectors must have non-zero dimension"),
        (lambda: pn.EmbeddingIndex([[1, 0], [1]], ["a", "b"]),
         "Dimension mismatch: vectors[0] has 2 dims, vectors[1] has 1 dims"),
        (lambda: pn.EmbeddingIndex([[1, 0]], ["a"]).add([[1, 2, 3]], ["v"]),
         "Dimension mismatch: index has 2 dims, vectors[0] has 3 dims"),
        (lambda: pn.EmbeddingIndex([[1, 0]], ["a"]).add([[1, 2]], []),
         "vectors length (1) must match labels length (0)"),
        (lambda: pn.EmbeddingIndex([[1, 0]], ["a"]).similarities([1, 0, 0]),
         "Dimension mismatch: index has 2 dims, query has 3 dims"),
    ],
    ids=["count", "zero-dim", "ctor-dim", "add-dim", "add-count", "similarities-dim"],
)
def test_error_texts(call, message):
    with pytest.raises(ValueError) as err:
        call()
    assert str(err.value) == message


def test_zero_and_nan_rows():
    idx = pn.EmbeddingIndex([[0, 0], [float("nan"), 1], [1, 1]], ["zero", "nan", "one"])
    sims = idx.similarities([1, 0])
    assert sims[0] == 0.0 and math.isnan(sims[1])
    assert idx.query([1, 0], threshold=-1.0) == [("one", sims[2]), ("zero", 0.0)]
