"""extract_code_blocks on a large reply against the same pattern in Python's re.

    PYTHONPATH=build/dev/src/py python bench/py/bench_extractor.py [--mb 4] [--repeat 3]
"""

import argparse
import datetime
import os
import sys
import re
import time

import pelrin_native as pn

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from common import best_of, machine  # noqa: E402

FENCED = re.compile(r"```(?:python|py|javascript|js|typescript|ts|bash|sh|json|yaml|yml|toml|html|css|markdown|md|"
                    r"sql|go|rust|java|c|cpp|ruby|php)?\s*\n(.*?)```", re.I | re.S)
WS = " \t\n\v\f\r\x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"


def re_code_blocks(text):
    return [b for b in (m.group(1).strip(WS) for m in FENCED.finditer(text)) if b]


UNIT = ("Some explanation of the change, with `inline code` and a path src/app.py.\n\n"
        "```python\nimport os\n\ndef main():\n    return os.getcwd()\n```\n\n"
        "More prose follows, describing what the function does and why it matters.\n" * 2)



def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mb", type=int, default=4)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    text = UNIT * ((args.mb << 20) // len(UNIT))
    mb = len(text.encode()) / (1 << 20)
    assert pn.extract_code_blocks(text) == re_code_blocks(text), "results differ from re"
    a = best_of(lambda: pn.extract_code_blocks(text), args.repeat)
    b = best_of(lambda: re_code_blocks(text), args.repeat)
    print(f"# extract_code_blocks vs Python re, {mb:.1f} MB reply; {datetime.date.today()}, "
          f"{machine()}")
    print(f"ours {a * 1000:.1f} ms, re {b * 1000:.1f} ms, ratio {b / a:.1f}x")


if __name__ == "__main__":
    main()
