"""StreamingFilter: the marker state machine, hold-back across chunks, abort limit, repr."""

import itertools

import pelrin_native as pn
import pytest

FULL_START, FULL_END = "<\uff5cbegin\u2581of\u2581thinking\uff5c>", "<\uff5cend\u2581of\u2581thinking\uff5c>"
BAR_START, BAR_END = "<|begin_of_thinking|>", "<|end_of_thinking|>"
SHORT_START, SHORT_END = "<think>", "</think>"
STARTS = [FULL_START, BAR_START, SHORT_START]
ENDS = [FULL_END, BAR_END, SHORT_END]


def feed(chunks, suppress=False, limit=50000):
    f = pn.StreamingFilter(suppress, limit)
    out = "".join(f.process_chunk(c).content for c in chunks) + f.flush().content
    return out, f.get_thinking_length(), f.should_abort(), f.get_state()


def replies():
    # Every start/end form pairing, plus stray and nested markers and partial tails.
    for s, e in itertools.product(STARTS, ENDS):
        yield f"Hi <{s}plan é{e} ans</ <{s}again"
    yield f"{SHORT_END}x{SHORT_START}a{BAR_START}b{FULL_END}c<|end_of"
    yield f"<<{SHORT_START}<</{SHORT_END}<"


@pytest.mark.parametrize("suppress", [False, True], ids=["pass-through", "suppress"])
@pytest.mark.parametrize("reply", list(replies()))
def test_any_split_equals_whole(reply, suppress):
    whole = feed([reply], suppress)
    assert feed(list(reply), suppress) == whole  # one character at a time
    for i in range(len(reply) + 1):
        assert feed([reply[:i], reply[i:]], suppress) == whole, i


def test_whole_reply_reference():
    # The two modes on one reply: markers always go, thinking only when suppressed.
    reply = f"A{SHORT_START}t1{BAR_END}B{SHORT_END}C{FULL_START}t2"
    assert feed([reply]) == ("At1B" + SHORT_END + "Ct2", 4, False, "in_thinking")
    assert feed([reply], True) == ("AB" + SHORT_END + "C", 4, False, "in_thinking")


def test_split_start_marker_flags():
    f = pn.StreamingFilter(suppress_thinking=True)
    r1 = f.process_chunk("Hello <thi")
    assert (r1.content, r1.is_thinking, r1.state_changed, r1.entering_thinking, r1.exiting_thinking) == (
        "Hello ", False, False, False, False)
    r2 = f.process_chunk("nk>secret</think> bye")
    assert (r2.content, r2.is_thinking, r2.state_changed, r2.entering_thinking, r2.exiting_thinking) == (
        " bye", False, True, True, True)
    assert f.get_thinking_length() == 6
    g = pn.StreamingFilter()
    g.process_chunk("Hello <thi")
    assert g.process_chunk("nk>secret</think> bye").content == "secret bye"


@pytest.mark.parametrize(
    "chunk, content, state",
    [
        ("<think></think>", "", "normal"),
        ("<think>a<think>b</think>", "a<think>b", "normal"),
        ("</think>", "</think>", "normal"),
        ("<think>x<|end_of_thinking|>y", "xy", "normal"),
        ("a <x", "a <x", "normal"),
    ],
    ids=["empty-block", "nested-start", "stray-end", "mixed-forms", "no-hold"],
)
def test_single_chunk(chunk, content, state):
    f = pn.StreamingFilter()
    assert f.process_chunk(chunk).content == content
    assert f.get_state() == state


@pytest.mark.parametrize("suppress", [False, True])
def test_hold_back_and_flush(suppress):
    f = pn.StreamingFilter(suppress)
    assert f.process_chunk("x <").content == "x "
    r = f.process_chunk("")  # the held tail is examined again and held again
    assert (r.content, r.is_thinking, r.state_changed) == ("", False, False)
    assert f.flush().content == "<"
    f.process_chunk("<think>abc<")
    flushed = f.flush()
    assert flushed.content == ("" if suppress else "<") and flushed.is_thinking
    assert f.get_thinking_length() == 4
    assert f.process_chunk("").content == ""


@pytest.mark.parametrize(
    "chunks, aborted",
    [(["<think>abcdef</think>"], True), (["<think>abcde</think>"], False),
     (["<think>" + "x" * 100], False), (["<think>abc</think>", "<think>abc</think>"], True),
     (["<think>ééé</think>"], True)],  # bytes, not characters
    ids=["over", "exact", "never-closed", "cumulative", "bytes"],
)
def test_abort_limit(chunks, aborted):
    f = pn.StreamingFilter(False, 5)
    for c in chunks:
        f.process_chunk(c)
    assert f.should_abort() is aborted
    assert f.get_abort_reason() == ("Thinking content exceeded 5 chars" if aborted else None)


def test_reset_clears_everything():
    f = pn.StreamingFilter(True, 1)
    f.process_chunk("<think>abc</think><thi")
    f.reset()
    assert (f.should_abort(), f.get_abort_reason(), f.get_thinking_length(), f.get_state()) == (
        False, None, 0, "normal")
    assert f.flush().content == ""  # the held tail is gone


@pytest.mark.parametrize(
    "content, shown",
    [
        ("a" * 60, '"' + "a" * 50 + '..."'),
        ("a" * 49 + "é" + "b", '"' + "a" * 49 + '..."'),  # cut before a split character
        ('q"\\\n\r\t\0\x07\u0301é\xa0 ', '"q\\"\\\\\\n\\r\\t\\0\\u{7}\\u{301}é\\u{a0} "'),
    ],
    ids=["cut", "cut-at-boundary", "escapes"],
)
def test_result_repr(content, shown):
    r = pn.StreamingFilter().process_chunk(content)
    assert repr(r) == f"StreamingChunkResult(content={shown}, is_thinking=false, entering=false, exiting=false)"


def test_classes():
    with pytest.raises(TypeError):
        pn.StreamingChunkResult()
    with pytest.raises(OverflowError):
        pn.StreamingFilter(max_thinking_content=-1)
