"""sanitize_response on a large reply against an equivalent written with Python's re.

    PYTHONPATH=build/dev/src/py python bench/py/bench_sanitizer.py [--mb 4] [--repeat 3]
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

CLEANUP = [(re.compile(p), r) for p, r in [
    (r"(</\w+>\s*){3,}", ""), (r"</?function[^>]*>", ""), (r"</?parameter[^>]*>", ""), (r"</?tool[^>]*>", ""),
    (r"</?IMPORTANT[^>]*>", ""), (r'\{"name":\s*"[^"]+",\s*"arguments":\s*\{[^}]*\}\}', ""), (r"\n{4,}", "\n\n\n")]]
MARKERS = ["<\uff5cbegin\u2581of\u2581thinking\uff5c>", "<\uff5cend\u2581of\u2581thinking\uff5c>",
           "<|begin_of_thinking|>", "<|end_of_thinking|>", "<think>", "</think>"]
LEAKS = [re.compile(p, re.I) for p in [
    r"Do not invent any new (?:or additional )?parameters.*", r"The parameter value should be passed as a string.*",
    r"If you want to call multiple functions.*", r"Do NOT surround the function call.*",
    r"All parameters are required unless.*", r"The agent is not allowed to directly access.*",
    r"Begin by calling list_directory.*"]]
WS = " \t\n\v\f\r\x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"


def re_sanitize(text):
    if not text:
        return ""
    for rx, r in CLEANUP:
        text = rx.sub(r, text)
    for m in MARKERS:
        text = text.replace(m, "")
    for rx in LEAKS:
        text = rx.sub("", text)
    for prefixes in (('{"name":', "</"), ("parameter=", "<parameter")):
        lines = [ln[:-1] if ln.endswith("\r") else ln for ln in text.split("\n")]
        text = "\n".join(ln for ln in lines if not ln.strip(WS).startswith(prefixes))
    return text.strip(WS)


UNIT = ("Here is the plan.<think>consider options</think> I will read the file.\n"
        "<function=read_file><parameter=path>src/app.py</parameter></function>\n"
        '{"name": "read_file", "arguments": {"path": "a"}}\n'
        "Do not invent any new parameters. Extra text follows here.\n\n\n\n\n"
        "    def main():\n        return 0\n"
        "Regular prose line with some words, numbers 12345 and punctuation!\n" * 3)



def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mb", type=int, default=4)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    text = UNIT * ((args.mb << 20) // len(UNIT))
    mb = len(text.encode()) / (1 << 20)
    assert pn.sanitize_response(text) == re_sanitize(text), "results differ from re"
    a = best_of(lambda: pn.sanitize_response(text), args.repeat)
    b = best_of(lambda: re_sanitize(text), args.repeat)
    print(f"# sanitize_response vs Python re, {mb:.1f} MB reply; {datetime.date.today()}, "
          f"{machine()}")
    print(f"ours {a * 1000:.1f} ms, re {b * 1000:.1f} ms, ratio {b / a:.1f}x")


if __name__ == "__main__":
    main()
