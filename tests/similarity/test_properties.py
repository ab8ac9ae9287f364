"""Properties over generated vectors, special values included: every path to
one similarity gives the same bits, and buffers equal lists."""

import struct

import numpy as np
from hypothesis import given, settings
from hypothesis import strategies as st
from hypothesis.extra import numpy as hnp

import pelrin_native as pn
from float32_reference import cosine, eight_lane_dot

floats32 = st.floats(width=32, allow_nan=True, allow_infinity=True, allow_subnormal=True)


def same(x, y):
    """Equal as float32 bit patterns, any NaN matching any NaN."""
    if x != x or y != y:
        return x != x and y != y
    return struct.pack("<f", x) == struct.pack("<f", y)


def pairs(max_len=40):
    return st.integers(0, max_len).flatmap(
        lambda n: st.tuples(st.lists(floats32, min_size=n, max_size=n), st.lists(floats32, min_size=n, max_size=n))
    )


@settings(max_examples=300, deadline=None)
@given(pairs())
def test_one_similarity_by_every_path(pair):
    a, b = pair
    want = cosine(a, b) if a else 0.0
    got = [
        pn.cosine_similarity(a, b),
        pn.batch_cosine_similarity(a, [b])[0],
        pn.similarity_matrix([a], [b], normalize=False)[0][0],
        pn.top_k_similar(a, [b], k=1)[0][1],
    ]
    assert all(same(g, want) for g in got), (got, want)
    assert same(pn.matmul_vector([a], b)[0], eight_lane_dot(a, b) if a else 0.0)


@settings(max_examples=100, deadline=None)
@given(hnp.arrays(np.float32, hnp.array_shapes(min_dims=2, max_dims=2, max_side=12), elements=floats32))
def test_buffers_equal_lists(m):
    as_lists = m.tolist()
    for got, want in [
        (pn.batch_normalize_vectors(m), pn.batch_normalize_vectors(as_lists)),
        (pn.batch_normalize_vectors(m.astype(np.float64)), pn.batch_normalize_vectors(as_lists)),
        (pn.similarity_matrix(m, m), pn.similarity_matrix(as_lists, as_lists)),
    ]:
        assert len(got) == len(want)
        assert all(len(r) == len(w) and all(map(same, r, w)) for r, w in zip(got, want))
