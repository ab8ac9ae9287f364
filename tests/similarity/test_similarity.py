"""Cosine similarity, top-k search and batch normalisation."""

import math
import threading
import time

import numpy as np
import pytest

import pelrin_native as pn
from float32_reference import (
    NORM_FLOOR,
    cosine,
    eight_lane_dot,
    f32,
    matrix_normalized,
    normalized,
    random_vectors,
)

LENGTHS = [1, 7, 8, 9, 15, 16, 17, 1536]


@pytest.fixture
def rng():
    return np.random.default_rng(20261211)


@pytest.mark.parametrize("n", LENGTHS, ids=[f"n{n}" for n in LENGTHS])
def test_every_cosine_path_equals_the_reference(rng, n):
    q, c, other = random_vectors(rng, 3, n)
    want = cosine(q, c)
    assert pn.cosine_similarity(q, c) == want
    assert pn.batch_cosine_similarity(q, [c, other]) == [want, cosine(q, other)]
    assert pn.similarity_matrix([q], [c, other], normalize=False) == [[want, cosine(q, other)]]
    assert pn.top_k_similar(q, [c], k=1) == [(0, want)]


@pytest.mark.parametrize("size", [100, 101, 257], ids=["serial100", "pool101", "pool257"])
def test_batches_around_the_pool_threshold(rng, size):
    q = random_vectors(rng, 1, 17)[0]
    corpus = random_vectors(rng, size, 17)
    got = pn.batch_cosine_similarity(q, corpus)
    assert got == [cosine(q, c) for c in corpus]
    half = size // 2
    assert got == pn.batch_cosine_similarity(q, corpus[:half]) + pn.batch_cosine_similarity(
        q, corpus[half:]
    )
    unit = normalized(q)
    assert pn.batch_cosine_similarity_normalized(q, corpus) == [eight_lane_dot(c, unit) for c in corpus]
    assert pn.batch_normalize_vectors(corpus) == [normalized(c) for c in corpus]


def test_similarity_matrix_equals_the_reference(rng):
    queries = random_vectors(rng, 3, 9)
    corpus = random_vectors(rng, 11, 9) + [[0.0] * 9, [1e-12] + [0.0] * 8]
    nq = [matrix_normalized(q) for q in queries]
    nc = [matrix_normalized(c) for c in corpus]
    assert pn.similarity_matrix(queries, corpus) == [[eight_lane_dot(q, c) for c in nc] for q in nq]
    assert pn.similarity_matrix(queries, corpus, normalize=False) == [
        [cosine(q, c) for c in corpus] for q in queries
    ]


@pytest.mark.parametrize(
    "call, want",
    [
        (lambda: pn.cosine_similarity([], []), 0.0),
        (lambda: pn.cosine_similarity([0, 0], [1, 1]), 0.0),
        (lambda: pn.batch_cosine_similarity([1, 0], []), []),
        # An empty corpus is not checked against the query at all.
        (lambda: pn.batch_cosine_similarity_normalized([1, 2, 3], []), []),
        (lambda: pn.batch_cosine_similarity_normalized([2, 0], [[2, 0]]), [2.0]),
        (lambda: pn.batch_normalize_vectors([]), []),
        (lambda: pn.batch_normalize_vectors([[3, 4], [0, 0], []]), [[f32(0.6), f32(0.8)], [0.0, 0.0], []]),
        (lambda: pn.similarity_matrix([[1, 0]], []), []),
        (lambda: pn.similarity_matrix([], [[1, 0]]), []),
        (lambda: pn.similarity_matrix([[1e-10, 0]], [[1, 0]]), [[f32(1e-10)]]),
        (lambda: pn.similarity_matrix([[1e-10, 0]], [[1, 0]], normalize=False), [[f32(f32(1e-10) / NORM_FLOOR)]]),
        (lambda: pn.similarity_matrix([[], []], [[]]), [[0.0], [0.0]]),
        (lambda: pn.top_k_similar([1, 0], [[1], [1, 2]], k=0), []),
        (lambda: pn.top_k_similar([1, 0], [], k=3), []),
        (lambda: pn.top_k_similar_normalized([1, 0], [], k=3), []),
        (lambda: pn.top_k_similar_normalized([1, 0], [[1, 0]], k=0), []),
    ],
    ids=[
        "cos-empty", "cos-zero", "batch-empty", "normalized-empty-unchecked", "normalized-corpus-as-given",
        "normalize-none", "normalize-mixed", "matrix-no-corpus", "matrix-no-queries", "matrix-tiny-unscaled",
        "matrix-tiny-floor", "matrix-zero-dims", "topk-k0-unchecked", "topk-empty", "topkn-empty", "topkn-k0",
    ],
)
def test_edge_results(call, want):
    assert call() == want


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: pn.cosine_similarity([1, 0], [1]), "Vectors must have same length: 2 vs 1"),
        (lambda: pn.batch_cosine_similarity([1, 0], [[1, 0], [1], [1, 2, 3]]),
         "Dimension mismatch: query has 2 dims, corpus[1] has 1 dims"),
        (lambda: pn.batch_cosine_similarity_normalized([1, 0], [[1, 0, 0]]),
         "Dimension mismatch: query has 2 dims, corpus[0] has 3 dims"),
        (lambda: pn.top_k_similar([1, 0], [[1, 0]] * 150 + [[1]], k=1),
         "Dimension mismatch: query has 2 dims, corpus[150] has 1 dims"),
        (lambda: pn.top_k_similar_normalized([1, 0], [[1], [1, 2]], k=0),
         "Dimension mismatch: query has 2 dims, corpus[0] has 1 dims"),
        (lambda: pn.similarity_matrix([[1, 0], [1]], [[1]]),
         "Query dimension mismatch: queries[0] has 2 dims, queries[1] has 1"),
        (lambda: pn.similarity_matrix([[1, 0]], [[1, 0], [1, 0, 0]]),
         "Dimension mismatch: query has 2 dims, corpus[1] has 3"),
    ],
    ids=["cos", "batch-first-mismatch", "normalized", "topk-pool", "topkn-k0", "matrix-queries", "matrix-corpus"],
)
def test_error_texts(call, message):
    with pytest.raises(ValueError) as err:
        call()
    assert str(err.value) == message


def as_multiset_rows(result):
    """Groups (index, score) results by score, so tie order does not matter."""
    groups = {}
    for index, score in result:
        groups.setdefault(score, set()).add(index)
    return [(score, groups[score]) for score in dict.fromkeys(s for _, s in result)]


@pytest.mark.parametrize("fn", ["top_k_similar", "top_k_similar_normalized"])
@pytest.mark.parametrize("k", [1, 3, 10, 150], ids=lambda k: f"k{k}")
def test_top_k_orders_with_ties(fn, k):
    # Few distinct directions, so many exact ties, across the pool threshold.
    rng = np.random.default_rng(k)
    base = random_vectors(rng, 5, 8, scale_spread=False)
    corpus = [base[i] for i in rng.integers(0, 5, size=140)]
    if fn == "top_k_similar_normalized":
        corpus = pn.batch_normalize_vectors(corpus)
    q = random_vectors(rng, 1, 8)[0]
    sims = getattr(pn, "batch_cosine_similarity" if fn == "top_k_similar" else "batch_cosine_similarity_normalized")(q, corpus)
    got = getattr(pn, fn)(q, corpus, k=k)
    m = min(k, len(corpus))
    assert len(got) == m
    assert [s for _, s in got] == sorted(sims, reverse=True)[:m]
    assert all(sims[i] == s for i, s in got)
    assert len({i for i, _ in got}) == m
    # Every index strictly above the cut-off score is present.
    cut = got[-1][1]
    assert {i for i, s in enumerate(sims) if s > cut} <= {i for i, _ in got}


def test_top_k_examples():
    assert pn.top_k_similar([1, 0], [[0, 1], [1, 0], [1, 1]], k=10) == [
        (1, 1.0), (2, cosine([1, 0], [1, 1])), (0, 0.0)]
    got = pn.top_k_similar_normalized([1, 0], [[0, 1], [1, 0], [0.6, 0.8]], k=2)
    assert got == [(1, 1.0), (2, f32(0.6))]


@pytest.mark.parametrize("fn", ["top_k_similar", "top_k_similar_normalized"])
def test_top_k_with_nan_scores(fn):
    nan = float("nan")
    corpus = [[1, 0], [nan, 1], [0, 1], [1, 1], [nan, nan]] * 30
    got = getattr(pn, fn)([1, 0], corpus, k=200)
    scores = [s for _, s in got]
    numbers = [s for s in scores if not math.isnan(s)]
    assert len(got) == len(corpus)
    assert sorted(i for i, _ in got) == list(range(len(corpus)))
    # NaN never breaks the order of the numbers around it.
    assert numbers == sorted(numbers, reverse=True)
    assert scores[: len(numbers)] == numbers


def test_nan_and_infinity_in_cosines():
    nan, inf = float("nan"), float("inf")
    assert math.isnan(pn.cosine_similarity([nan, 1], [1, 1]))
    assert math.isnan(pn.cosine_similarity([inf, 1], [1, 1]))
    assert pn.batch_normalize_vectors([[nan, 1.0]])[0][1] == f32(1.0 / NORM_FLOOR)


def test_the_lock_is_released_while_the_matrix_is_computed():
    rng = np.random.default_rng(1)
    # Long rows: much arithmetic (done without the lock) for few result floats
    # (built with it).
    queries = rng.standard_normal((200, 4096)).astype(np.float32)
    corpus = rng.standard_normal((2000, 4096)).astype(np.float32)
    ticks = []
    stop = threading.Event()

    def count():
        while not stop.is_set():
            ticks.append(time.perf_counter())

    worker = threading.Thread(target=count)
    worker.start()
    try:
        time.sleep(0.01)
        start = time.perf_counter()
        pn.similarity_matrix(queries, corpus)
        end = time.perf_counter()
    finally:
        stop.set()
        worker.join()
    # Ticks in the first half of the call: with the lock held throughout, the
    # other thread could run only after the call returns (or while the
    # result is built at its end).
    first_half = [t for t in ticks if start < t < start + (end - start) / 2]
    assert len(first_half) > 10, (end - start, len(first_half))
