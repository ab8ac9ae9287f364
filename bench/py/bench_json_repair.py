"""repair_json and normalize_json_string against the json-repair package.

Run: PYTHONPATH=build/dev/src/py python bench/py/bench_json_repair.py
"""

import json
import os
import random
import sys
import time

import json_repair

import pelrin_native as pn

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from common import best_of, machine  # noqa: E402



def python_literal(rng, n_items):
    parts = []
    for i in range(n_items):
        parts.append(f"'key_{i}': {{'path': 'src/file_{rng.randrange(100)}.py', 'flag': {rng.choice(['True', 'False'])}, "
                     f"'limit': {rng.choice(['None', str(rng.randrange(1000))])}, 'text': 'say \"hi\" {i}'}}")
    return "{" + ", ".join(parts) + "}"


def main():
    print(f"{time.strftime('%Y-%m-%d')} {machine()}")
    rng = random.Random(3)
    for label, n in (("small (~5 items)", 5), ("large (~2000 items)", 2000)):
        text = python_literal(rng, n)
        ours = pn.repair_json(text)
        # Answers first: both repairs decode to the same value.
        assert json.loads(ours) == json.loads(json_repair.repair_json(text))
        assert pn.normalize_json_string(text) == (ours, True)
        number = 500 if n < 100 else 3
        t_repair = best_of(lambda: pn.repair_json(text), number=number)
        t_norm = best_of(lambda: pn.normalize_json_string(text), number=number)
        t_peer = best_of(lambda: json_repair.repair_json(text), number=max(1, number // 10))
        print(f"\n{label}: {len(text):,} bytes, seconds per call")
        print(f"  repair_json            {t_repair * 1e6:10.1f} us  {t_peer / t_repair:8.1f}x json_repair")
        print(f"  normalize_json_string  {t_norm * 1e6:10.1f} us  {t_peer / t_norm:8.1f}x json_repair")
        print(f"  json_repair.repair_json{t_peer * 1e6:10.1f} us")


if __name__ == "__main__":
    main()
