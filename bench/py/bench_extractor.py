"""extract_code_blocks on a large reply against the same pattern in Python's re.

    PYTHONPATH=build/dev/src/py python bench/py/bench_extractor.py [--mb 4] [--repeat 3]
"""

import os
import sys
import re

import pelrin_native as pn

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from common import compare_on_repeated_unit  # noqa: E402

FENCED = re.compile(r"```(?:python|py|javascript|js|typescript|ts|bash|sh|json|yaml|yml|toml|html|css|markdown|md|"
                    r"sql|go|rust|java|c|cpp|ruby|php)?\s*\n(.*?)```", re.I | re.S)
WS = " \t\n\v\f\r\x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a\u2028\u2029\u202f\u205f\u3000"


def re_code_blocks(text):
    return [b for b in (m.group(1).strip(WS) for m in FENCED.finditer(text)) if b]


UNIT = ("Some explanation of the change, with `inline code` and a path src/app.py.\n\n"
        "```python\nimport os\n\ndef main():\n    return os.getcwd()\n```\n\n"
        "More prose follows, describing what the function does and why it matters.\n" * 2)


def main():
    compare_on_repeated_unit("extract_code_blocks", UNIT, pn.extract_code_blocks, re_code_blocks)


if __name__ == "__main__":
    main()
