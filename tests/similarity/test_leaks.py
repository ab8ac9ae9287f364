"""The vector converters and results leak nothing, on success or failure."""

import array

import numpy as np
import pytest

import pelrin_native as pn
from leaks import assert_no_growth  # noqa: E402


class Num:
    def __float__(self):
        return 0.5


M32 = np.arange(12, dtype=np.float32).reshape(3, 4)
Q = pn.QuantizedEmbedding([1, 2, 3, 4], 0.5, 0)


def refused():
    try:
        pn.batch_cosine_similarity([1.0, 2.0], [[1.0, 2.0], [1.0, "x"]])
    except TypeError:
        pass


def mismatched():
    try:
        pn.similarity_matrix(M32, [[1.0]])
    except ValueError:
        pass


CALLS = {
    "lists": lambda: pn.batch_cosine_similarity([1.0, 2.0, 3.0, 4.0], [[1.0, 2.0, 3.0, 4.0], (1, 2, 3, 4)]),
    "general-rule": lambda: pn.batch_normalize_vectors([[Num(), np.float64(2.0)], range(3)]),
    "float32-view": lambda: pn.similarity_matrix(M32, M32),
    "float64-copy": lambda: pn.top_k_similar(M32[0].astype(np.float64), M32.astype(np.float64), k=2),
    "array-module": lambda: pn.cosine_similarity(array.array("f", [1, 2]), memoryview(array.array("d", [3, 4]))),
    "refused-item": refused,
    "value-error": mismatched,
    "index": lambda: pn.EmbeddingIndex(M32, ["a", "b", "c"]).query(M32[1], k=2),
    "quantized": lambda: (pn.batch_quantized_cosine_similarity(Q, [Q, Q]), Q.data, pn.quantize_embedding([1.0, 2.0])),
    "knn": lambda: pn.knn_graph(M32, k=2),
}


@pytest.mark.parametrize("name", list(CALLS))
def test_no_growth_over_many_calls(name):
    call = CALLS[name]
    assert_no_growth(call, slack=100)
