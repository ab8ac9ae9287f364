"""JSON acceptance and tool-call parsing against json.loads and orjson.loads.

Run: PYTHONPATH=build/dev/src/py python bench/py/bench_protocol.py
"""

import json
import os
import random
import sys
import time

import orjson

import pelrin_native as pn

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from common import best_of, machine  # noqa: E402



def document(target_bytes, seed=7):
    rng = random.Random(seed)
    items, size = [], 2
    while size < target_bytes:
        item = {
            "id": rng.randrange(10**9),
            "name": "tool_" + "".join(rng.choice("abcdefghij") for _ in range(8)),
            "score": rng.random() * 1000,
            "tags": [rng.choice(["read", "write", "exec", "é", "中"]) for _ in range(3)],
            "ok": rng.random() < 0.5,
            "note": None,
        }
        text = json.dumps(item)
        items.append(item)
        size += len(text) + 2
    return json.dumps({"items": items, "count": len(items)})


def accepts(loads, text):
    try:
        loads(text)
        return True
    except ValueError:
        return False


def main():
    print(f"{time.strftime('%Y-%m-%d')} {machine()}")
    for label, size in (("1 KB", 1_000), ("1 MB", 1_000_000)):
        doc = document(size)
        bad = doc[:-1]
        number = 2000 if size < 10_000 else 5
        # Answers first.
        assert pn.is_valid_json(doc) and not pn.is_valid_json(bad)
        assert accepts(json.loads, doc) and not accepts(json.loads, bad)
        assert json.loads(pn.ToolCall("1", "f", doc).arguments) == json.loads(doc)
        rows = [
            ("is_valid_json", best_of(lambda: pn.is_valid_json(doc), number=number)),
            ("ToolCall(...)", best_of(lambda: pn.ToolCall("1", "f", doc), number=number)),
            ("json.loads", best_of(lambda: accepts(json.loads, doc), number=number)),
            ("orjson.loads", best_of(lambda: accepts(orjson.loads, doc), number=number)),
        ]
        print(f"\n{label} document ({len(doc):,} bytes), seconds per call:")
        base = dict(rows)
        for name, t in rows:
            print(f"  {name:<15} {t * 1e6:10.1f} us")
        for name in ("is_valid_json", "ToolCall(...)"):
            print(f"  {name}: {base['json.loads'] / base[name]:.2f}x json.loads, "
                  f"{base['orjson.loads'] / base[name]:.2f}x orjson.loads")


if __name__ == "__main__":
    main()
