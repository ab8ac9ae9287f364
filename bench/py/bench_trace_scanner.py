"""scan_usage_file on a JSONL usage log, plain and gzip, against gzip + orjson.

Run: PYTHONPATH=build/dev/src/py python bench/py/bench_trace_scanner.py [MEGABYTES]
(default 50; the goal figure is for 200).
"""

import gzip
import os
import random
import resource
import sys
import tempfile
import time

import orjson

import pelrin_native as pn

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from common import best_of, machine  # noqa: E402


def python_scan(path):
    opener = gzip.open if path.endswith(".gz") else open
    sessions = {}
    with opener(path, "rb") as f:
        for raw in f:
            try:
                rec = orjson.loads(raw)
            except orjson.JSONDecodeError:
                continue
            if not isinstance(rec, dict) or not isinstance(rec.get("session_id"), str):
                continue
            s = sessions.setdefault(rec["session_id"], ["default", 0, 0])
            event = rec.get("event_type")
            data = rec.get("data")
            if event == "tool_call":
                s[1] += 1
            elif event == "tool_result" and isinstance(data, dict) and data.get("success") is False:
                s[2] += 1
            elif event == "task_classification" and isinstance(data, dict) and isinstance(data.get("task_type"), str):
                s[0] = data["task_type"]
    return sorted((k, v[0], v[1], v[2]) for k, v in sessions.items() if v[1] >= 2)


def write_log(path, megabytes, seed=11):
    rng = random.Random(seed)
    events = ["tool_call", "tool_result", "task_classification", "message"]
    target = megabytes * 1_000_000
    with open(path, "wb") as f:
        written = 0
        while written < target:
            lines = []
            for _ in range(1000):
                event = rng.choice(events)
                data = {"success": rng.random() < 0.8} if event == "tool_result" else {
                    "task_type": rng.choice(["debug", "refactor", "explain"])} if event == "task_classification" else {
                    "tool": "read_file", "args": {"path": f"src/m{rng.randrange(500)}.py"}, "text": "x" * rng.randrange(200)}
                lines.append(orjson.dumps({"session_id": f"s{rng.randrange(5000)}", "event_type": event,
                                           "ts": 1.7e9 + rng.random(), "data": data}))
            chunk = b"\n".join(lines) + b"\n"
            f.write(chunk)
            written += len(chunk)


def timed(fn):
    start = time.perf_counter()
    out = fn()
    return out, time.perf_counter() - start


def main():
    megabytes = int(sys.argv[1]) if len(sys.argv) > 1 else 50
    print(f"{time.strftime('%Y-%m-%d')} {machine()}, {megabytes} MB log")
    with tempfile.TemporaryDirectory() as tmp:
        plain = os.path.join(tmp, "usage.jsonl")
        write_log(plain, megabytes)
        packed = plain + ".gz"
        with open(plain, "rb") as src, gzip.open(packed, "wb", compresslevel=6) as dst:
            while block := src.read(1 << 20):
                dst.write(block)
        for path in (plain, packed):
            rss_before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
            ours, t_ours = timed(lambda: pn.scan_usage_file(path))
            rss_after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
            theirs, t_theirs = timed(lambda: python_scan(path))
            assert sorted((s.session_id, s.task_type, s.tool_calls, s.tool_failures) for s in ours) == theirs
            print(f"  {os.path.basename(path):<16} {os.path.getsize(path) / 1e6:8.1f} MB  "
                  f"scan_usage_file {t_ours:6.2f} s  python+orjson {t_theirs:6.2f} s  "
                  f"ratio {t_theirs / t_ours:5.1f}x  peak RSS growth during scan {max(0, rss_after - rss_before) / 1024:.1f} MB")


if __name__ == "__main__":
    main()
