"""Usage-log scanning: plain and gzip JSONL files into per-session statistics."""

import gzip
import json
import os

import pytest

import pelrin_native as pn


def line(session, event=None, **data):
    record = {"session_id": session}
    if event is not None:
        record["event_type"] = event
    if data:
        record["data"] = data
    return json.dumps(record)


def calls(session, n):
    return [line(session, "tool_call") for _ in range(n)]


def summary(stats):
    return sorted((s.session_id, s.task_type, s.tool_calls, s.tool_failures, s.tokens, s.completion_score)
                  for s in stats)


@pytest.fixture
def write(tmp_path):
    def _write(name, lines, newline="\n", compress=None):
        data = newline.join(lines).encode() if isinstance(lines, list) else lines
        path = tmp_path / name
        compress = name.endswith(".gz") if compress is None else compress
        path.write_bytes(gzip.compress(data) if compress else data)
        return str(path)

    return _write


@pytest.mark.parametrize(
    "lines, expected",
    [
        (calls("a", 1), []),
        (calls("a", 2), [("a", "default", 2, 0, 0, 1.0)]),
        (calls("a", 2) + [line("a", "tool_result", success=False)], [("a", "default", 2, 1, 0, 0.25)]),
        (calls("a", 2) + [line("a", "tool_result", success=False)] * 2, [("a", "default", 2, 2, 0, 0.0)]),
        (calls("a", 3) + [line("a", "tool_result", success=False)], [("a", "default", 3, 1, 0, 0.5)]),
        (calls("a", 2) + [line("a", "tool_result", success=v) for v in ("false", 0, True, None)]
         + [line("a", "tool_result"), json.dumps({"session_id": "a", "event_type": "tool_result", "data": [False]})],
         [("a", "default", 2, 0, 0, 1.0)]),
        (calls("a", 2) + [line("a", "task_classification", task_type="debug"),
                          line("a", "task_classification", task_type="refactor"),
                          line("a", "task_classification", task_type=7),
                          line("a", "task_classification")],
         [("a", "refactor", 2, 0, 0, 1.0)]),
        ([line("a"), line("a"), json.dumps({"session_id": "a", "event_type": 5})], []),
        ([json.dumps({"session_id": 1, "event_type": "tool_call"})] * 2, []),
        (['{"session_id": "a", "session_id": 2, "event_type": "tool_call"}'] * 2, []),
        (['{"session_id": 2, "session_id": "a", "event_type": "tool_call"}'] * 2, [("a", "default", 2, 0, 0, 1.0)]),
        (['{"session_id": "a", "event_type": "tool_call", "event_type": "x"}'] * 2, []),
        ([json.dumps({"session_id": "s\u00e9\"q", "event_type": "tool\u005fcall"}, ensure_ascii=True)] * 2,
         [("s\u00e9\"q", "default", 2, 0, 0, 1.0)]),
        (['{"session_id":"a","event_type":"tool_call"}', "", "not json", "[1]", '"a"',
          '{"session_id":"a","event_type":"tool_call",}', '{"session_id":"a","event_type":"tool_call"}'],
         [("a", "default", 2, 0, 0, 1.0)]),
    ],
    ids=["one-call", "two-calls", "one-failure", "clamped", "third", "not-failures", "classification",
         "no-event", "numeric-id", "duplicate-id", "duplicate-id-last", "duplicate-event", "escaped-keys", "malformed-lines"],
)
def test_events(write, lines, expected):
    assert summary(pn.scan_usage_file(write("usage.jsonl", lines))) == expected


def test_ranking_and_fields(write):
    lines = calls("good", 4) + calls("bad", 2) + [line("bad", "tool_result", success=False)] + calls("mid", 4)
    lines += [line("mid", "tool_result", success=False)]
    stats = pn.scan_usage_file(write("u.jsonl", lines))
    assert [s.session_id for s in stats] == ["good", "mid", "bad"]
    assert [s.completion_score for s in stats] == [1.0, 0.625, 0.25]
    assert type(stats[0]).__name__ == "SessionStats" and stats[0].tokens == 0
    with pytest.raises(TypeError):
        pn.SessionStats()
    with pytest.raises(AttributeError):
        stats[0].tool_calls = 9


def test_line_endings_and_encoding(write):
    lines = calls("a", 2) + calls("b", 2)
    assert summary(pn.scan_usage_file(write("crlf.jsonl", lines, newline="\r\n"))) == summary(
        pn.scan_usage_file(write("lf.jsonl", lines)))
    # The last line needs no line feed; an invalid UTF-8 line is skipped alone.
    raw = ("\n".join(calls("a", 2)) + "\n").encode() + b'{"session_id":"a\xff","event_type":"tool_call"}\n'
    raw += b'{"session_id":"a","event_type":"tool_call"}'
    assert summary(pn.scan_usage_file(write("mixed.jsonl", raw))) == [("a", "default", 3, 0, 0, 1.0)]


def test_gzip_files(write, tmp_path):
    lines = calls("z", 3) + [line("z", "tool_result", success=False)]
    expected = [("z", "default", 3, 1, 0, 0.5)]
    assert summary(pn.scan_usage_file(write("u.jsonl.gz", lines))) == expected
    # The suffix alone decides: gzip without ".gz" is read as text, text with it as gzip.
    assert pn.scan_usage_file(write("u.jsonl", lines, compress=True)) == []
    assert pn.scan_usage_file(write("plain.gz", lines, compress=False)) == []
    assert pn.scan_usage_file(write("u.jsonl.GZ", lines, compress=True)) == []
    # Two gzip members one after the other.
    two = gzip.compress("\n".join(calls("m", 1)).encode() + b"\n") + gzip.compress("\n".join(calls("m", 1)).encode())
    assert summary(pn.scan_usage_file(write("two.gz", two, compress=False))) == [("m", "default", 2, 0, 0, 1.0)]


def test_corrupt_and_truncated_gzip_keep_what_was_read(write):
    big = calls("t", 2) + [json.dumps({"session_id": f"s{i}", "event_type": "x", "pad": "y" * 200})
                           for i in range(5000)]
    data = gzip.compress("\n".join(big).encode())
    truncated = write("t.gz", data[: len(data) // 2], compress=False)
    assert summary(pn.scan_usage_file(truncated)) == [("t", "default", 2, 0, 0, 1.0)]
    corrupt = bytearray(data)
    corrupt[len(data) // 2 : len(data) // 2 + 64] = b"\x00" * 64
    assert summary(pn.scan_usage_file(write("c.gz", bytes(corrupt), compress=False))) == [
        ("t", "default", 2, 0, 0, 1.0)]
    assert pn.scan_usage_file(write("bad.gz", b"not gzip at all", compress=False)) == []
    assert pn.scan_usage_file(write("empty.gz", b"", compress=False)) == []


def test_unreadable_paths(write, tmp_path):
    good = write("g.jsonl", calls("g", 2))
    assert pn.scan_usage_file(str(tmp_path / "missing.jsonl")) == []
    assert pn.scan_usage_file(str(tmp_path)) == []
    assert pn.scan_usage_file("") == []
    assert pn.scan_usage_files([]) == []
    assert summary(pn.scan_usage_files([str(tmp_path), "/nonexistent/x.gz", good])) == [
        ("g", "default", 2, 0, 0, 1.0)]
    if os.geteuid() != 0:
        locked = write("locked.jsonl", calls("l", 2))
        os.chmod(locked, 0)
        assert pn.scan_usage_file(locked) == []


def test_many_files_merge(write):
    a = write("a.jsonl", calls("s", 1) + [line("s", "task_classification", task_type="x")])
    b = write("b.jsonl.gz", calls("s", 1) + [line("s", "tool_result", success=False)])
    assert summary(pn.scan_usage_files([a, b])) == [("s", "x", 2, 1, 0, 0.25)]
    assert summary(pn.scan_usage_files((a, a))) == [("s", "x", 2, 0, 0, 1.0)]
    assert summary(pn.scan_usage_files([b, b])) == [("s", "default", 2, 2, 0, 0.0)]
    with pytest.raises(TypeError) as e:
        pn.scan_usage_files(a)
    assert e.value.__notes__ == ["while processing 'file_paths'"]
    with pytest.raises(TypeError) as e:
        pn.scan_usage_file(None)
    assert e.value.__notes__ == ["while processing 'file_path'"]


def test_long_lines_across_buffers(write):
    pad = "p" * 100_000
    lines = [json.dumps({"session_id": "long", "event_type": "tool_call", "pad": pad})] * 3
    for name in ("long.jsonl", "long.jsonl.gz"):
        assert summary(pn.scan_usage_file(write(name, lines, newline="\r\n"))) == [
            ("long", "default", 3, 0, 0, 1.0)]


def test_paths_that_are_not_plain_files(write):
    good = write("g.jsonl", calls("g", 2))
    assert pn.scan_usage_file(good + "\0ignored") == []
    assert pn.scan_usage_file("/dev/zero") == []
    assert pn.scan_usage_file("/dev/null") == []
    fifo = good + ".fifo"
    os.mkfifo(fifo)
    assert pn.scan_usage_file(fifo) == []


def test_endless_line_is_dropped_without_holding_it(tmp_path):
    import resource

    path = tmp_path / "bomb.jsonl.gz"
    zeros = b"\0" * (1 << 20)
    with gzip.open(path, "wb", compresslevel=1) as f:
        f.write(("\n".join(calls("a", 2)) + "\n").encode())
        for _ in range(300):
            f.write(zeros)
        f.write(("\n" + "\n".join(calls("b", 2))).encode())
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    stats = pn.scan_usage_file(str(path))
    grown_mb = (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) / 1024
    assert summary(stats) == [("a", "default", 2, 0, 0, 1.0), ("b", "default", 2, 0, 0, 1.0)]
    assert grown_mb < 200
