"""Classes, properties, enumerations and the borrow rules."""

import pytest

import _pelrin_frame_test as t


def test_class_names_and_instantiation():
    for cls in (t.Counter, t.Sealed, t.Color):
        assert cls.__module__ == "builtins"
        assert cls.__qualname__ == cls.__name__
    assert isinstance(t.Counter(), t.Counter)
    assert repr(t.Counter(4)) == "Counter(4)"
    with pytest.raises(TypeError, match="cannot create 'builtins.Sealed' instances"):
        t.Sealed()
    with pytest.raises(TypeError, match="cannot create"):
        t.Color()
    assert t.make_sealed("q").tag == "q"


@pytest.mark.parametrize("cls", [t.Counter, t.Sealed, t.Color], ids=lambda c: c.__name__)
def test_no_subclassing(cls):
    with pytest.raises(TypeError, match="is not an acceptable base type"):
        type("X", (cls,), {})


def test_properties():
    c = t.Counter(3)
    assert c.count == 3
    c.label = "name"
    assert c.label == "name"
    with pytest.raises(AttributeError, match="^attribute 'count' of 'builtins.Counter' objects is not writable$"):
        c.count = 4
    for name in ("count", "label"):
        with pytest.raises(AttributeError, match="^property has no deleter$"):
            delattr(c, name)
    with pytest.raises(TypeError, match="'int' object is not an instance of 'str'") as info:
        c.label = 5
    assert info.value.__notes__ == ["while processing 'label'"]
    assert c.label == "name"


def test_instances_as_arguments_and_results():
    a, b = t.Counter(2), t.Counter(5)
    assert t.take_counter(a) == 2
    assert t.sum_counters([a, b]) == 7
    copy = t.clone_counter(b)
    assert copy is not b and copy.count == 5
    copy.add(1)
    assert b.count == 5  # a copy, not a view
    a.merge(b)
    assert a.count == 7


def test_lists_of_borrowed_instances():
    a, b = t.Counter(2), t.Counter(5)
    assert t.sum_borrowed([a, b, a]) == 9
    assert t.sum_borrowed(()) == 0
    with pytest.raises(TypeError) as info:
        t.sum_borrowed([a, 3])
    assert str(info.value) == "'int' object is not an instance of 'Counter'"
    # The object itself, held exclusively, cannot also be read in the list.
    with pytest.raises(RuntimeError) as info:
        a.add_all([b, a])
    assert str(info.value) == "Already mutably borrowed"
    # Every borrow taken before the failure was released.
    assert a.add_all([b, b]) == 12 and b.add(1) == 6


def test_borrow_conflicts():
    c = t.Counter(1)
    # An exclusive borrow of self, then a shared borrow of the same object.
    with pytest.raises(RuntimeError) as info:
        c.merge(c)
    assert str(info.value) == "Already mutably borrowed"
    # A shared borrow of self, then an exclusive borrow of the same object.
    with pytest.raises(RuntimeError) as info:
        c.peek_with(c)
    assert str(info.value) == "Already borrowed"

    class Reenter:
        def __index__(self):
            return c.get()  # a read while add() holds the object exclusively

    with pytest.raises(RuntimeError) as info:
        c.add(Reenter())
    assert str(info.value) == "Already mutably borrowed"
    # Every borrow was released on the way out.
    assert c.add(1) == 2
    assert c.peek_with(t.Counter(3)) == 5


def test_enumeration():
    red, green = t.Color.Red, t.Color.Green
    assert t.color_of(0) is red and t.color_of(1) is green
    assert int(t.Color.Blue) == 2
    assert str(red) == "red" and repr(green) == "Color.Green"
    assert red == red and red != green and red == 0 and 1 == green and red != 1
    assert (red == "red") is False and (red != "red") is True
    assert t.color_value(t.Color.Blue) == 2
    assert t.Color.Blue.text() == "blue" and t.Color.text.__text_signature__ == "($self)"

    class Two:
        def __index__(self):
            return 2

    assert t.Color.Blue == Two() and t.Color.Red != Two()
    assert (t.Color.Red == 2**70) is False and (t.Color.Red != 2**70) is True
    assert (t.Color.Red == 0.0) is False  # a float is not an integer
    with pytest.raises(TypeError):
        red < green  # noqa: B015
    with pytest.raises(TypeError, match="unhashable"):
        hash(red)
