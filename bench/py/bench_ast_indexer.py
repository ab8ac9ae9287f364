"""extract_identifiers(_with_positions) on Python sources against Python's re.

    PYTHONPATH=build/dev/src/py python bench/py/bench_ast_indexer.py [--repeat 3]
"""

import argparse
import datetime
import inspect
import os
import sys
import re
import time

import pelrin_native as pn

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from common import best_of, machine  # noqa: E402

IDENT = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")



def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    import argparse as ap, dataclasses, json, pathlib, typing
    source = "".join(inspect.getsource(m) for m in (inspect, ap, dataclasses, json.decoder, pathlib, typing)) * 4
    mb = len(source.encode()) / (1 << 20)
    assert set(pn.extract_identifiers(source)) == set(IDENT.findall(source)), "results differ from re"
    if source.isascii():
        assert pn.extract_identifiers_with_positions(source) == [(m.group(), m.start(), m.end())
                                                                 for m in IDENT.finditer(source)]
    rows = [
        ("extract_identifiers", lambda: pn.extract_identifiers(source), lambda: list(set(IDENT.findall(source)))),
        ("with_positions", lambda: pn.extract_identifiers_with_positions(source),
         lambda: [(m.group(), m.start(), m.end()) for m in IDENT.finditer(source)]),
    ]
    print(f"# identifiers vs Python re, {mb:.1f} MB of source; {datetime.date.today()}, "
          f"{machine()}")
    for name, mine, peer in rows:
        a, b = best_of(mine, args.repeat), best_of(peer, args.repeat)
        print(f"{name:<20} ours {a * 1000:7.1f} ms, re {b * 1000:7.1f} ms, ratio {b / a:.1f}x")


if __name__ == "__main__":
    main()
