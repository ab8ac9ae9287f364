"""Conversion of every parameter type: accepted values, refusals, messages, notes."""

import array
import math
import struct

import pytest

import _pelrin_frame_test as t

STR_AS_LIST = "'str' object cannot be converted to a list; pass a list or tuple"


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Floaty:
    def __float__(self):
        return 2.5


class Seq:
    """A sequence that is neither list nor tuple, with a failing length."""

    def __init__(self, items):
        self.items = items

    def __getitem__(self, i):
        return self.items[i]

    def __len__(self):
        raise RuntimeError("no length")


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


@pytest.mark.parametrize(
    "fn, value, expected",
    [
        (t.echo_str, "héllo 日本", "héllo 日本"),
        (t.echo_str, type("S", (str,), {})("sub"), "sub"),
        (t.echo_string, "x\0y", "x\0y"),
        (t.echo_char, "é", 0xE9),
        (t.echo_char, "😀", 0x1F600),
        (t.echo_u64, 2**64 - 1, 2**64 - 1),
        (t.echo_u64, True, 1),
        (t.echo_u64, Index(7), 7),
        (t.echo_i64, -(2**63), -(2**63)),
        (t.echo_u32, 2**32 - 1, 2**32 - 1),
        (t.echo_u8, Index(255), 255),
        (t.echo_i8, -128, -128),
        (t.echo_f64, 1, 1.0),
        (t.echo_f64, True, 1.0),
        (t.echo_f64, Floaty(), 2.5),
        (t.echo_f64, Index(3), 3.0),
        (t.echo_f32, 0.1, f32(0.1)),
        (t.echo_f32, 1e300, math.inf),
        (t.echo_f32, -1e300, -math.inf),
        (t.echo_bool, True, True),
        (t.echo_bool, False, False),
        (t.echo_list_str, ("a", "b"), ["a", "b"]),
        (t.echo_list_str, Seq(["x", "y"]), ["x", "y"]),
        (t.echo_list_str, [], []),
        (t.echo_list_f32, range(3), [0.0, 1.0, 2.0]),
        (t.echo_list_list_u32, [[1], (2, 3), []], [[1], [2, 3], []]),
        (t.echo_bytes, b"\x00\xff", [0, 255]),
        (t.echo_bytes, bytearray(b"ab"), [97, 98]),
        (t.echo_bytes, [1, 2], [1, 2]),
        (t.echo_bytes, array.array("B", [3]), [3]),
        (t.echo_dict, {"b": 2, "a": 1}, {"a": 1, "b": 2}),
        (t.echo_dict, {}, {}),
        (t.echo_tuple, ("a", 1), ("a", 1)),
        (t.echo_tuple, type("T", (tuple,), {})(("b", 2)), ("b", 2)),
        (t.echo_pair, (1, False), (1.0, False)),
        (t.echo_optional, None, None),
        (t.echo_optional, 5, 5),
        (t.echo_optional_list, None, None),
        (t.echo_optional_list, ["a"], ["a"]),
    ],
    ids=lambda v: getattr(v, "__name__", None),
)
def test_accepted(fn, value, expected):
    result = fn(value)
    assert result == expected
    assert type(result) is type(expected)


@pytest.mark.parametrize(
    "fn, value, exc, message",
    [
        (t.echo_str, 1, TypeError, "'int' object is not an instance of 'str'"),
        (t.echo_str, None, TypeError, "'None' is not an instance of 'str'"),
        (t.echo_str, b"x", TypeError, "'bytes' object is not an instance of 'str'"),
        (t.echo_char, "", ValueError, "expected a string of length 1"),
        (t.echo_char, "ab", ValueError, "expected a string of length 1"),
        (t.echo_char, 1, TypeError, "'int' object is not an instance of 'str'"),
        (t.echo_u64, -1, OverflowError, "can't convert negative int to unsigned"),
        (t.echo_u64, 2**64, OverflowError, "int too big to convert"),
        (t.echo_u64, 1.0, TypeError, "'float' object cannot be interpreted as an integer"),
        (t.echo_u64, "1", TypeError, "'str' object cannot be interpreted as an integer"),
        (t.echo_u32, 2**32, OverflowError, "number too large to fit in target type"),
        (t.echo_u32, -1, OverflowError, "number too small to fit in target type"),
        (t.echo_u8, 256, OverflowError, "number too large to fit in target type"),
        (t.echo_i8, 128, OverflowError, "number too large to fit in target type"),
        (t.echo_i8, -129, OverflowError, "number too small to fit in target type"),
        (t.echo_i8, 2**70, OverflowError, "Python int too large to convert to C long"),
        (t.echo_u32, 1.5, TypeError, "'float' object cannot be interpreted as an integer"),
        (t.echo_f64, "1", TypeError, "must be real number, not str"),
        (t.echo_f64, None, TypeError, "must be real number, not NoneType"),
        (t.echo_bool, 1, TypeError, "'int' object is not an instance of 'bool'"),
        (t.echo_bool, None, TypeError, "'None' is not an instance of 'bool'"),
        (t.echo_list_str, "ab", TypeError, STR_AS_LIST),
        (t.echo_list_str, {"a"}, TypeError, "'set' object is not an instance of 'Sequence'"),
        (t.echo_list_str, {"a": 1}, TypeError, "'dict' object is not an instance of 'Sequence'"),
        (t.echo_list_str, (x for x in "a"), TypeError, "'generator' object is not an instance of 'Sequence'"),
        (t.echo_list_str, None, TypeError, "'None' is not an instance of 'Sequence'"),
        (t.echo_list_str, ["a", 1], TypeError, "'int' object is not an instance of 'str'"),
        (t.echo_list_list_u32, [[1], "ab"], TypeError, STR_AS_LIST),
        (t.echo_list_list_u32, [[1, -1]], OverflowError, "number too small to fit in target type"),
        (t.echo_bytes, "ab", TypeError, STR_AS_LIST),
        (t.echo_bytes, [1, 256], OverflowError, "number too large to fit in target type"),
        (t.echo_bytes, 5, TypeError, "'int' object is not an instance of 'Sequence'"),
        (t.echo_dict, [("a", 1)], TypeError, "'list' object is not an instance of 'dict'"),
        (t.echo_dict, {"a": -1}, OverflowError, "can't convert negative int to unsigned"),
        (t.echo_dict, {1: 1}, TypeError, "'int' object is not an instance of 'str'"),
        (t.dict_len, [], TypeError, "'list' object is not an instance of 'dict'"),
        (t.echo_tuple, ["a", 1], TypeError, "'list' object is not an instance of 'tuple'"),
        (t.echo_tuple, ("a",), ValueError, "expected tuple of length 2, but got tuple of length 1"),
        (t.echo_tuple, ("a", 1, 2), ValueError, "expected tuple of length 2, but got tuple of length 3"),
        (t.echo_tuple, (1, 1), TypeError, "'int' object is not an instance of 'str'"),
        (t.echo_optional, -1, OverflowError, "can't convert negative int to unsigned"),
        (t.echo_optional_list, "ab", TypeError, STR_AS_LIST),
        (t.take_counter, {}, TypeError, "'dict' object is not an instance of 'Counter'"),
        (t.take_counter, None, TypeError, "'None' is not an instance of 'Counter'"),
        (t.sum_counters, [t.Counter(1), 2], TypeError, "'int' object is not an instance of 'Counter'"),
        (t.color_value, 0, TypeError, "'int' object is not an instance of 'Color'"),
    ],
    ids=lambda v: v if isinstance(v, str) else None,
)
def test_refused_with_note(fn, value, exc, message):
    with pytest.raises(exc) as info:
        fn(value)
    assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{fn.__text_signature__[1:-1]}'"]


def test_note_names_the_failing_parameter():
    with pytest.raises(TypeError) as info:
        t.defaults(1, 2, 3)
    assert info.value.__notes__ == ["while processing 'c'"]
    with pytest.raises(TypeError) as info:
        t.defaults(1, e=0)
    assert info.value.__notes__ == ["while processing 'e'"]


def test_lone_surrogate_raises_the_encoding_error():
    with pytest.raises(UnicodeEncodeError) as info:
        t.echo_str("a\udc80")
    assert info.value.__notes__ == ["while processing 'value'"]


def test_numpy_bool_is_accepted():
    np = pytest.importorskip("numpy")
    assert t.echo_bool(np.bool_(True)) is True
    assert t.echo_bool(np.bool_(False)) is False
    with pytest.raises(TypeError):
        t.echo_bool(np.int64(1))


def test_float32_rounds_to_nearest():
    for x in [0.1, 1 / 3, 16777217.0, 3.4028235677973366e38, 1e-46, -0.0]:
        assert t.echo_f32(x) == f32(x) or (math.isinf(t.echo_f32(x)))
    assert math.isnan(t.echo_f32(math.nan))
    assert math.copysign(1.0, t.echo_f32(-0.0)) == -1.0


def test_items_survive_a_sequence_that_changes_while_converting():
    # Converting an item may run Python code that empties the list; the
    # strings already viewed must stay valid and later items must not be read
    # past the new end.
    victims = ["first-" + "x" * 50, "second-" + "y" * 50]

    class Evil:
        def __getitem__(self, i):
            if i == 0:
                return victims[0]
            if i == 1:
                victims.clear()
                return "third"
            raise IndexError

        def __len__(self):
            return 2

    assert t.echo_list_str(Evil()) == ["first-" + "x" * 50, "third"]

    shrinking = [1, Index(2), 3]

    class Shrinker:
        def __index__(self):
            shrinking.clear()
            return 9

    shrinking[1] = Shrinker()
    assert t.echo_list_list_u32([shrinking]) == [[1, 9]]


def test_dict_changing_while_converting():
    d = {}

    class Grow:
        def __index__(self):
            for i in range(100):
                d[str(i)] = 1
            return 5

    d["a"] = Grow()
    assert t.echo_dict(d) == {"a": 5}


def test_result_shapes():
    assert t.flags(5) == [True, False, True, False, True]
    assert all(type(x) is bool for x in t.flags(3))
    result = t.mixed()
    assert list(result) == ["z", "a", "m", "b"]  # insertion order
    assert result == {"z": -1, "a": 0.5, "m": "text", "b": True}
    assert type(result["b"]) is bool and type(result["z"]) is int
