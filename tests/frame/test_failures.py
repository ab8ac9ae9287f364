"""Internal failures become InternalPanic; core errors map to their exceptions."""

import os
import subprocess
import sys

import pytest

import _pelrin_frame_test as t


def _panic_type():
    try:
        t.panic_now("x")
    except BaseException as e:  # noqa: BLE001
        return type(e)
    raise AssertionError("no panic")


def test_internal_panic_class():
    cls = _panic_type()
    assert cls.__name__ == "InternalPanic"
    assert cls.__bases__ == (BaseException,)
    assert "BaseException" in cls.__doc__
    import pelrin_native

    assert not hasattr(pelrin_native, "InternalPanic")
    assert "InternalPanic" not in pelrin_native.__all__


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: t.panic_now("boom"), "boom"),
        (lambda: t.panic_now(""), "native code panicked"),
        (lambda: t.throw_unknown(), "native code panicked"),
        (lambda: t.color_of(9), "no member of Color has the value 9"),
    ],
    ids=["message", "empty", "unknown-exception", "bad-enum-value"],
)
def test_panics(call, message):
    with pytest.raises(BaseException) as info:
        call()
    assert type(info.value).__name__ == "InternalPanic"
    assert str(info.value) == message


def test_panic_in_a_pool_task_is_not_an_exception():
    caught = None
    try:
        try:
            t.pool_panic(100_000, 77_777)
        except Exception:  # noqa: BLE001 - must not catch it
            caught = "Exception"
    except BaseException as e:  # noqa: BLE001
        caught = e
    assert type(caught).__name__ == "InternalPanic"
    assert "i != at" in str(caught)
    # The pool is still usable afterwards.
    assert t.pool_squares(5) == [0, 1, 4, 9, 16]


@pytest.mark.parametrize(
    "kind, exc, text",
    [
        ("value", ValueError, "bad value"),
        ("type", TypeError, "bad type"),
        ("overflow", OverflowError, "too big"),
        ("runtime", RuntimeError, "busy"),
        ("key", KeyError, "'missing'"),
        ("index", IndexError, "out of range"),
        ("os", FileNotFoundError, "[Errno 2] No such file or directory: '/nonexistent'"),
    ],
)
def test_error_kinds(kind, exc, text):
    with pytest.raises(exc) as info:
        t.error_kind(kind)
    assert str(info.value) == text
    assert t.error_kind("none") is None


def test_pool_error_becomes_the_calls_error():
    with pytest.raises(ValueError, match="^item 5 failed$"):
        t.pool_error(100_000, 5)
    assert t.pool_error(10, 99) == list(range(10))


def test_pool_keeps_order_and_honours_the_thread_override():
    n = 200_003
    assert t.pool_squares(n) == [i * i for i in range(n)]
    code = "import _pelrin_frame_test as t; print(t.pool_threads()); print(sum(t.pool_squares(100000)))"
    env = dict(os.environ, PELRIN_NUM_THREADS="1", PYTHONPATH=os.pathsep.join(sys.path))
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
    threads, total = out.stdout.split()
    assert threads == "1"
    assert int(total) == sum(i * i for i in range(100000))
    env["PELRIN_NUM_THREADS"] = "3"
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
    assert out.stdout.split()[0] == "3"
    env["PELRIN_NUM_THREADS"] = "zero"
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
    assert int(out.stdout.split()[0]) == len(os.sched_getaffinity(0))


def test_released_lock_call():
    assert t.sum_released([1.0, 2.5]) == 3.5


def test_first_use_from_many_threads_creates_one_class():
    # InternalPanic is created on first need; threads racing to raise the
    # first one must all see the same class (and must not deadlock).
    code = """
import threading, _pelrin_frame_test as t
seen, barrier = [], threading.Barrier(8)
def run():
    barrier.wait()
    for _ in range(50):
        try:
            t.panic_now("x")
        except BaseException as e:
            seen.append(type(e))
threads = [threading.Thread(target=run) for _ in range(8)]
for th in threads: th.start()
for th in threads: th.join()
assert len(seen) == 400 and len(set(seen)) == 1, set(seen)
print("ok")
"""
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, timeout=60)
    assert out.stdout.strip() == "ok", out.stderr


def test_pool_works_in_a_forked_child():
    # Agents fork worker processes after the pool exists; the child must not hang.
    code = """
import os, warnings
warnings.simplefilter("ignore", DeprecationWarning)
import _pelrin_frame_test as t
assert t.pool_squares(100000)[-1] == 99999 ** 2
pid = os.fork()
if pid == 0:
    os._exit(0 if t.pool_squares(100000)[-1] == 99999 ** 2 else 3)
print(os.waitpid(pid, 0)[1])
"""
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, timeout=60)
    assert out.stdout.strip() == "0", out.stderr
