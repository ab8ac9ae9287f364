"""Converters and result builders must not leak: 10,000 calls, stable block count."""


import pytest

import _pelrin_frame_test as t
from leaks import assert_no_growth  # noqa: E402


class Index:
    def __index__(self):
        return 3


CALLS = [
    ("str", lambda: t.echo_str("héllo")),
    ("list-of-str", lambda: t.echo_list_str(["a", "bé", "c"])),
    ("list-of-list", lambda: t.echo_list_list_u32([[1, 2], (3,)])),
    ("bytes", lambda: t.echo_bytes(b"abc")),
    ("dict", lambda: t.echo_dict({"a": 1, "b": 2})),
    ("tuple", lambda: t.echo_tuple(("a", 1))),
    ("optional", lambda: t.echo_optional_list(["x"])),
    ("index", lambda: t.echo_u64(Index())),
    ("defaults", lambda: t.defaults(1)),
    ("class", lambda: t.clone_counter(t.Counter(1))),
    ("enum", lambda: t.color_of(1)),
    ("list-of-instances", lambda: t.sum_counters([t.Counter(1)])),
    ("type-error", lambda: _swallow(lambda: t.echo_list_str(["a", 1]))),
    ("panic", lambda: _swallow(lambda: t.panic_now("x"))),
    ("matching-error", lambda: _swallow(lambda: t.three(1, d=2))),
]


def _swallow(fn):
    try:
        fn()
    except BaseException:  # noqa: BLE001
        pass


@pytest.mark.parametrize("name, call", CALLS, ids=[c[0] for c in CALLS])
def test_no_growth(name, call):
    assert_no_growth(call, slack=50)
