"""Quantized embeddings: quantization, dequantization, integer similarity."""

import math

import numpy as np
import pytest

import pelrin_native as pn
from float32_reference import NORM_FLOOR, f32, random_vectors, sqrt32

Q = pn.QuantizedEmbedding


def reference_quantize(values):
    numbers = [v for v in values if not math.isnan(v)]
    if not values:
        return [], 1.0
    amax = max((abs(v) for v in numbers), default=math.inf)
    s = f32(amax / 127.0)
    codes = []
    for v in values:
        if s < NORM_FLOOR or math.isnan(v):
            codes.append(0)
            continue
        x = f32(v / s)
        if math.isnan(x):
            codes.append(0)
            continue
        r = math.floor(abs(x) + 0.5) * (1 if x >= 0 else -1) if math.isfinite(x) else x
        codes.append(int(max(-128, min(127, r))))
    return codes, max(s, NORM_FLOOR)


def reference_code_cosine(a, b):
    if not a:
        return 0.0
    p = sum(x * y for x, y in zip(a, b))
    na = sqrt32(f32(sum(x * x for x in a)))
    nb = sqrt32(f32(sum(x * x for x in b)))
    if na < NORM_FLOOR or nb < NORM_FLOOR:
        return 0.0
    return f32(f32(p) / f32(na * nb))


@pytest.mark.parametrize("n", [0, 1, 7, 8, 9, 17, 768], ids=lambda n: f"n{n}")
def test_quantize_and_cosine_equal_the_reference(n):
    rng = np.random.default_rng(n)
    vs = random_vectors(rng, 150, n)
    got = pn.batch_quantize_embeddings(vs)
    for v, q in zip(vs, got):
        codes, scale = reference_quantize(v)
        assert (q.data, q.scale, q.zero_point) == (codes, scale, 0)
    one = pn.quantize_embedding(vs[0])
    assert (one.data, one.scale) == (got[0].data, got[0].scale)
    sims = pn.batch_quantized_cosine_similarity(got[0], got)
    assert sims == [reference_code_cosine(got[0].data, q.data) for q in got]
    assert sims[:3] == [pn.quantized_cosine_similarity(got[0], q) for q in got[:3]]


@pytest.mark.parametrize(
    "values, codes, scale",
    [
        ([], [], 1.0),
        ([0.0, 0.0], [0, 0], NORM_FLOOR),
        ([1.0, -0.5, 0.25], [127, -64, 32], f32(1 / 127)),
        ([float("nan"), 2.0], [0, 127], f32(2 / 127)),
        ([float("nan")] * 3, [0, 0, 0], math.inf),
        ([float("inf"), 1.0], [0, 0], math.inf),
        ([1e-12, -1e-12], [0, 0], NORM_FLOOR),
    ],
    ids=["empty", "zeros", "ties-away", "nan-ignored", "all-nan", "infinite", "tiny"],
)
def test_quantize_examples(values, codes, scale):
    q = pn.quantize_embedding(values)
    assert (q.data, q.scale, q.zero_point) == (codes, scale, 0)


def test_dequantize_and_dot():
    assert Q([1, 2], 0.5, 1).dequantize() == [0.0, 0.5]
    assert pn.dequantize_embedding(Q([1, -128, 127], 0.25, -3)) == [1.0, -31.25, 32.5]
    assert pn.quantize_embedding([1.0, -0.5, 0.25]).dequantize() == [
        1.0, f32(-64 * f32(1 / 127)), f32(32 * f32(1 / 127))]
    assert Q([1, 2], 1.0, 0).dot(Q([3, 4], 2.0, 0)) == 22.0
    assert Q([1, 2], 1.0, 1).dot(Q([3, 4], 2.0, 1)) == 6.0
    assert Q([], 3.0, 5).dot(Q([], 2.0, 1)) == 0.0
    a, b = [-128, 127, 5] * 3, [-128, -128, 7] * 3
    assert Q(a, 0.5, 0).dot(Q(b, 0.25, 0)) == f32(f32(sum(x * y for x, y in zip(a, b)) * 0.5) * 0.25)


@pytest.mark.parametrize(
    "a, b, want",
    [([1, 0], [0, 1], 0.0), ([0, 0], [1, 1], 0.0), ([3, 4], [3, 4], 1.0), ([], [], 0.0),
     ([-128] * 9, [-128] * 9, 1.0)],
    ids=["orthogonal", "zero", "same", "empty", "extreme"],
)
def test_code_cosine_examples(a, b, want):
    assert pn.quantized_cosine_similarity(Q(a, 7.0, 3), Q(b, 0.1, -2)) == want


def test_large_code_sums_do_not_wrap():
    n = 200_000  # 128 * 128 * n is beyond 32 bits
    a = Q([-128] * n, 1.0, 0)
    assert pn.quantized_cosine_similarity(a, a) == 1.0
    assert a.dot(a) == f32(16384 * n)


def test_dimension_rules():
    with pytest.raises(ValueError, match="^Embeddings must have same dimension$"):
        pn.quantized_cosine_similarity(Q([1], 1, 0), Q([1, 2], 1, 0))
    with pytest.raises(ValueError, match="^Embeddings must have same dimension$"):
        Q([1], 1, 0).dot(Q([1, 2], 1, 0))
    corpus = [Q([1, 2], 1, 0), Q([], 1, 0), Q([2], 1, 0)]
    assert pn.batch_quantized_cosine_similarity(Q([1], 1, 0), corpus) == [0.0, 0.0, 1.0]
    assert pn.batch_quantized_cosine_similarity(Q([1], 1, 0), corpus * 50)[:3] == [0.0, 0.0, 1.0]


def test_class_surface_and_refusals():
    q = Q([1, 2], 0.5, 1)
    assert (q.data, q.scale, q.zero_point, q.dim()) == ([1, 2], 0.5, 1, 2)
    q.data.append(3)
    assert q.data == [1, 2]
    with pytest.raises(AttributeError):
        q.scale = 2.0
    for args, exc in [(([128], 1.0, 0), OverflowError), (([1], 1.0, -129), OverflowError),
                      (("ab", 1.0, 0), TypeError), (([1], "x", 0), TypeError)]:
        with pytest.raises(exc):
            Q(*args)
    with pytest.raises(TypeError):
        pn.batch_quantized_cosine_similarity(q, [q, [1, 2]])
    assert Q.__text_signature__ == "(data, scale, zero_point)"
