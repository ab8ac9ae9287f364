"""sanitize_response on a large reply against an equivalent written with Python's re.

    PYTHONPATH=build/dev/src/py python bench/py/bench_sanitizer.py [--mb 4] [--repeat 3]
"""

import os
import sys
import re

import pelrin_native as pn

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from common import compare_on_repeated_unit  # noqa: E402

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
    compare_on_repeated_unit("sanitize_response", UNIT, pn.sanitize_response, re_sanitize)


if __name__ == "__main__":
    main()
