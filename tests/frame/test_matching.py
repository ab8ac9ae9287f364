"""Argument matching: every message form, positional and keyword binding, defaults."""

import pytest

import _pelrin_frame_test as t


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: t.three(), "three() missing 3 required positional arguments: 'a', 'b', and 'c'"),
        (lambda: t.three(1), "three() missing 2 required positional arguments: 'b' and 'c'"),
        (lambda: t.three(1, 2), "three() missing 1 required positional argument: 'c'"),
        (lambda: t.three(c=1), "three() missing 2 required positional arguments: 'a' and 'b'"),
        (lambda: t.three(1, 2, 3, 4), "three() takes 3 positional arguments but 4 were given"),
        (lambda: t.echo_u64(1, 2), "echo_u64() takes 1 positional arguments but 2 were given"),
        (lambda: t.defaults(), "defaults() missing 1 required positional argument: 'a'"),
        (lambda: t.defaults(*range(7)), "defaults() takes from 1 to 6 positional arguments but 7 were given"),
        (lambda: t.three(1, 2, 3, d=4), "three() got an unexpected keyword argument 'd'"),
        (lambda: t.three(1, 2, 3, a=4), "three() got multiple values for argument 'a'"),
        (lambda: t.three(1, 2, **{"c": 3, "é": 4}), "three() got an unexpected keyword argument 'é'"),
        (lambda: t.Counter(1, 2), "Counter.__new__() takes from 0 to 1 positional arguments but 2 were given"),
        (lambda: t.Counter(begin=1), "Counter.__new__() got an unexpected keyword argument 'begin'"),
        (lambda: t.Counter(0).add(1, 2), "Counter.add() takes from 0 to 1 positional arguments but 2 were given"),
        (lambda: t.Counter(0).merge(), "Counter.merge() missing 1 required positional argument: 'other'"),
    ],
    ids=lambda v: v if isinstance(v, str) else "",
)
def test_matching_messages(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert not getattr(info.value, "__notes__", None)


def test_one_positional_uses_was():
    with pytest.raises(TypeError, match=r"^pool_threads\(\) takes 0 positional arguments but 1 was given$"):
        t.pool_threads(1)
    # Registered as taking no arguments: the interpreter's own refusal.
    with pytest.raises(TypeError, match="takes no arguments"):
        t.no_arguments(1)


def test_every_parameter_binds_by_position_or_keyword():
    assert t.defaults(1) == (1, 1, "x'y", None, True, 0.5)
    assert t.defaults(1, 2, "z", "w", False, 2) == (1, 2, "z", "w", False, 2.0)
    assert t.defaults(f=3.5, a=7, d="q") == (7, 1, "x'y", "q", True, 3.5)
    assert t.three(1, c=3, b=2) == 6
    assert t.Counter(start=4).get() == 4
    assert t.Counter(4).add(amount=2) == 6


def test_defaults_go_through_the_same_converter():
    # The default of 'b' is 1, converted as an int; giving it explicitly is the same.
    assert t.defaults(0) == t.defaults(0, 1)
    assert t.defaults.__text_signature__ == "(a, b=1, c='x\\'y', d=None, e=True, f=0.5)"
    assert t.no_arguments.__text_signature__ == "()"
    # A default may be shown in a documented form; its value is still used.
    assert t.shown_default.__text_signature__ == "(value=...)"
    assert t.shown_default() == "{}"
    assert t.no_arguments() == "ok"


def test_text_signatures_of_methods_and_classes():
    assert t.Counter.__text_signature__ == "(start=0)"
    assert t.Counter.__doc__ == "A counter with a label."
    assert t.Counter.add.__text_signature__ == "($self, amount=1)"
    assert t.Counter.add.__doc__ == "Add to the count."
    assert t.Sealed.__doc__ == "Made only by make_sealed."
    assert t.echo_str.__doc__ == "Echo a str."
    assert t.echo_str.__module__ == "_pelrin_frame_test"
