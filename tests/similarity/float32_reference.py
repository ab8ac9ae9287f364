"""A slow, obvious model of the 32-bit vector arithmetic, for exact comparisons.

Every operation is done on Python floats (64-bit) and rounded to 32 bits
straight after; for +, -, *, / and sqrt this gives the correctly rounded
32-bit result, because a 64-bit float has more than twice the precision.
"""

import math

import numpy as np

NORM_FLOOR = float(np.float32(1e-9))


def f32(x):
    with np.errstate(over="ignore", invalid="ignore"):
        return float(np.float32(x))


def vec(values):
    return [f32(v) for v in values]


def eight_lane_dot(a, b):
    assert len(a) == len(b)
    lanes = [0.0] * 8
    whole = len(a) // 8 * 8
    for i in range(whole):
        lanes[i % 8] = f32(lanes[i % 8] + f32(a[i] * b[i]))
    left = f32(f32(f32(lanes[0] + lanes[1]) + lanes[2]) + lanes[3])
    right = f32(f32(f32(lanes[4] + lanes[5]) + lanes[6]) + lanes[7])
    total = f32(left + right)
    for i in range(whole, len(a)):
        total = f32(total + f32(a[i] * b[i]))
    return total


def sqrt32(x):
    return f32(math.sqrt(x)) if x >= 0 else math.nan


def clamped_norm(x):
    root = sqrt32(eight_lane_dot(x, x))
    return root if root > NORM_FLOOR else NORM_FLOOR


def div32(a, b):
    if b == 0.0:
        if a == 0.0 or math.isnan(a):
            return math.nan
        return math.copysign(math.inf, a) * math.copysign(1.0, b)
    return f32(a / b)


def cosine(a, b):
    return div32(eight_lane_dot(a, b), f32(clamped_norm(a) * clamped_norm(b)))


def normalized(x):
    n = clamped_norm(x)
    return [div32(v, n) for v in x]


def matrix_normalized(x):
    n = clamped_norm(x)
    return [div32(v, n) for v in x] if n > NORM_FLOOR else list(x)


def row_normalized(x):
    """Left-to-right sum of squares from -0.0, then the floor and division."""
    s = -0.0
    for v in x:
        s = f32(s + f32(v * v))
    root = sqrt32(s)
    n = root if root > NORM_FLOOR else NORM_FLOOR
    return [div32(v, n) for v in x]


def random_vectors(rng, count, dim, scale_spread=True):
    """float32-exact random vectors with mixed magnitudes (as Python lists)."""
    values = rng.standard_normal((count, dim)).astype(np.float32)
    if scale_spread:
        values *= np.float32(2.0) ** rng.integers(-6, 7, size=(count, dim)).astype(np.float32)
    return values.tolist()
