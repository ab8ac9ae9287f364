"""Matrix-vector products, random projection, pairwise distances and kNN."""

import math

import numpy as np
import pytest

import pelrin_native as pn
from float32_reference import eight_lane_dot, f32, random_vectors, row_normalized, sqrt32

MASK = (1 << 64) - 1


def reference_projection_matrix(target_dim, input_dim, seed):
    s = sqrt32(f32(1.0 / f32(target_dim)))
    state = seed
    rows = []
    for _ in range(target_dim):
        row = []
        for _ in range(input_dim):
            state = (state * 6364136223846793005 + 1) & MASK
            r = min(f32(f32(state >> 33) * 2.0**-31), f32(1 - 2.0**-24))
            row.append(f32(s * f32(f32(r + r) - 1.0)))
        rows.append(row)
    return rows


@pytest.mark.parametrize("rows", [3, 101, 130], ids=lambda r: f"rows{r}")
def test_products_equal_the_reference(rows):
    rng = np.random.default_rng(rows)
    matrix = random_vectors(rng, rows, 19)
    vectors = random_vectors(rng, 12, 19)
    want = [[eight_lane_dot(r, v) for r in matrix] for v in vectors]
    assert pn.matmul_vector(matrix, vectors[0]) == want[0]
    assert pn.batch_matmul_vector(matrix, vectors) == want
    assert pn.batch_matmul_vector(np.asarray(matrix, dtype=np.float32), vectors[:3]) == want[:3]
    # The same dot products as the similarity functions use.
    assert pn.matmul_vector(matrix[:1], vectors[0])[0] == eight_lane_dot(matrix[0], vectors[0])


@pytest.mark.parametrize(
    "call, want",
    [
        (lambda: pn.matmul_vector([], [1, 2]), []),
        (lambda: pn.matmul_vector([[1, 2], [3, 4]], [1, 1]), [3.0, 7.0]),
        (lambda: pn.matmul_vector([[], []], []), [0.0, 0.0]),
        (lambda: pn.batch_matmul_vector([[1, 0], [0, 1]], []), []),
        (lambda: pn.batch_matmul_vector([], [[1]]), []),
        (lambda: pn.batch_matmul_vector([[], [1, 2]], [[]]), [[0.0, 0.0]]),
        (lambda: pn.random_projection([], 3), []),
        (lambda: pn.random_projection([[1, 2], [3, 4]], 0), [[], []]),
        (lambda: pn.pairwise_distances([[1, 0]]), []),
        (lambda: pn.pairwise_distances([[1, 0], [1, 2, 3]][:1]), []),
        (lambda: pn.pairwise_distances([[1, 0], [0, 1], [1, 0]]), [1.0, 0.0, 1.0]),
        (lambda: pn.knn_graph([]), []),
        (lambda: pn.knn_graph([[1, 0]]), [([], [])]),
        (lambda: pn.knn_graph([[1, 0], [0, 1]], k=0), [([], []), ([], [])]),
    ],
    ids=["mm-empty", "mm-example", "mm-zero-cols", "bmm-no-vectors", "bmm-no-matrix", "bmm-zero-cols",
         "rp-empty", "rp-target0", "pd-one", "pd-one-unchecked", "pd-example", "knn-empty", "knn-one", "knn-k0"],
)
def test_edge_results(call, want):
    assert call() == want


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: pn.matmul_vector([[1, 2], [3]], [1, 1]), "Matrix row 1 has 1 cols, expected 2"),
        (lambda: pn.matmul_vector([[1, 2]], [1, 1, 1]), "Matrix row 0 has 2 cols, expected 3"),
        (lambda: pn.batch_matmul_vector([[1, 0], [0, 1]], [[5, 6], [7]]), "Vector has 1 dims, expected 2"),
        (lambda: pn.batch_matmul_vector([[1, 0]], [[5, 6]] * 20 + [[7]]), "Vector has 1 dims, expected 2"),
        (lambda: pn.batch_matmul_vector([[1, 2], [3]], [[1, 1]]), "Matrix row 1 has 1 cols, expected 2"),
        (lambda: pn.random_projection([[1, 2]], 3), "Target dimension must be <= input dimension"),
        (lambda: pn.random_projection([[1, 2], [1]], 1), "Vector has 1 dims, expected 2"),
        (lambda: pn.pairwise_distances([[1, 2], [3]]), "Matrix row 1 has 1 cols, expected 2"),
        (lambda: pn.knn_graph([[1, 2], [3, 4], [5]]), "Matrix row 2 has 1 cols, expected 2"),
    ],
    ids=["mm-row", "mm-first-row", "bmm-vector", "bmm-vector-pool", "bmm-matrix", "rp-target", "rp-vector",
         "pd-row", "knn-row"],
)
def test_error_texts(call, message):
    with pytest.raises(ValueError) as err:
        call()
    assert str(err.value) == message


def test_projection_generator_and_range():
    rng = np.random.default_rng(8)
    emb = random_vectors(rng, 14, 9)
    m = reference_projection_matrix(4, 9, 7)
    assert pn.random_projection(emb, 4, seed=7) == [[eight_lane_dot(r, e) for r in m] for e in emb]
    assert pn.random_projection(emb, 4, 7) != pn.random_projection(emb, 4, 8)
    # Unit vectors pick out the matrix columns: seed 0 starts from state 1.
    cols = pn.random_projection([[1.0 if c == j else 0.0 for c in range(64)] for j in range(64)], 64, seed=0)
    entries = [x for col in cols for x in col]
    s = sqrt32(f32(1 / 64))
    m0 = reference_projection_matrix(64, 64, 0)
    assert entries == [m0[r][j] for j in range(64) for r in range(64)]
    assert all(-s <= x < s for x in entries)
    assert 0.4 < sum(x > 0 for x in entries) / len(entries) < 0.6
    assert min(entries) < -0.9 * s and max(entries) > 0.9 * s


def test_projection_matrix_never_reaches_the_upper_bound():
    # 2**31 - 1 is the largest u: it rounds to 2**31 as a float, which must
    # not give r == 1.0 (an entry equal to +s). The seed is chosen so that
    # the first state is (2**31 - 1) << 33.
    first_state = ((1 << 31) - 1) << 33
    inverse = pow(6364136223846793005, -1, 1 << 64)
    seed = ((first_state - 1) * inverse) & MASK
    (entry,) = pn.random_projection([[1.0]], 1, seed=seed)[0]
    assert entry < 1.0
    assert entry == reference_projection_matrix(1, 1, seed)[0][0]


@pytest.mark.parametrize("n", [40, 70], ids=["n40", "n70"])
def test_distances_and_neighbours_equal_the_reference(n):
    rng = np.random.default_rng(21)
    base = random_vectors(rng, 6, 13)
    emb = [base[i] for i in rng.integers(0, 6, size=n)]  # many exact ties
    unit = [row_normalized(e) for e in emb]
    sims = [[eight_lane_dot(unit[j], unit[i]) for j in range(n)] for i in range(n)]
    want_pd = [f32(1.0 - sims[i][j]) for i in range(n) for j in range(i + 1, n)]
    assert pn.pairwise_distances(emb) == want_pd
    for k in (1, 5, n - 1, 100):
        got = pn.knn_graph(emb, k=k)
        for i, (idx, dist) in enumerate(got):
            order = sorted((j for j in range(n) if j != i), key=lambda j: -sims[i][j])
            kk = min(n - 1, k)
            assert idx == order[:kk]
            assert dist == [f32(1.0 - sims[i][j]) for j in order[:kk]]


def test_knn_example_and_nan_rows():
    got = pn.knn_graph([[1, 0], [1, 0.1], [0, 1], [1, 0]], k=2)
    assert [g[0] for g in got] == [[3, 1], [0, 3], [1, 0], [0, 1]]
    assert got[0][1][0] == 0.0 and got[2][1][1] == 1.0
    assert got[1][1][0] == got[1][1][1] == pytest.approx(0.005, abs=1e-4)
    nan_rows = pn.knn_graph([[1, 0], [float("nan"), 1], [1, 1]], k=2)
    assert nan_rows[0][0] == [2, 1] and math.isnan(nan_rows[0][1][1])
