"""Secret scanning against the same 20 expressions run with Python's re.

Builds about 10 MB of Python-like source with a few secrets, checks that
both give the same matches (spans compared as UTF-8 byte offsets), then
times scan_secrets, has_secrets and mask_secrets.

    PYTHONPATH=build/dev/src/py python bench/py/bench_secrets.py [--mb 10] [--repeat 3]
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

# The catalogue, in order, as Python expressions (re's \s \d \w are Unicode,
# like the module's dialect).
PATTERNS = [
    ("aws_access_key", r"(?i)AKIA[0-9A-Z]{16}"),
    ("aws_secret_key", r"""(?i)(?:aws|amazon).{0,20}['"][0-9a-zA-Z/+]{40}['"]"""),
    ("openai_api_key", r"sk-[a-zA-Z0-9]{20,}T3BlbkFJ[a-zA-Z0-9]{20,}"),
    ("openai_api_key_v2", r"sk-proj-[a-zA-Z0-9_-]{80,}"),
    ("anthropic_api_key", r"sk-ant-[a-zA-Z0-9_-]{20,}"),
    ("google_api_key", r"AIza[0-9A-Za-z_-]{35}"),
    ("github_token", r"gh[pousr]_[A-Za-z0-9_]{36,}"),
    ("github_oauth", r"gho_[A-Za-z0-9]{36}"),
    ("slack_token", r"xox[baprs]-[0-9]{10,13}-[0-9]{10,13}[a-zA-Z0-9-]*"),
    ("slack_webhook", r"https://hooks\.slack\.com/services/T[A-Z0-9]+/B[A-Z0-9]+/[a-zA-Z0-9]+"),
    ("discord_token", r"[MN][a-zA-Z\d]{23,}\.[\w-]{6}\.[\w-]{27}"),
    ("private_key", r"-----BEGIN (?:RSA |EC |DSA |OPENSSH )?PRIVATE KEY-----"),
    ("database_url", r"""(?i)(?:postgres|mysql|mongodb|redis)://[^\s'"]+:[^\s'"]+@[^\s'"]+"""),
    ("generic_api_key", r"""(?i)(?:api[_-]?key|apikey|api[_-]?secret)['":\s=]+['"]?([a-zA-Z0-9_-]{20,})['"]?"""),
    ("generic_password", r"""(?i)(?:password|passwd|pwd|secret)['":\s=]+['"]?([^\s'"]{8,})['"]?"""),
    ("jwt_token", r"eyJ[a-zA-Z0-9_-]+\.eyJ[a-zA-Z0-9_-]+\.[a-zA-Z0-9_-]+"),
    ("stripe_key", r"(?:sk|pk)_(?:live|test)_[a-zA-Z0-9]{24,}"),
    ("twilio_sid", r"AC[0-9a-f]{32}"),
    ("sendgrid_key", r"SG\.[a-zA-Z0-9_-]{22}\.[a-zA-Z0-9_-]{43}"),
    ("heroku_api_key", r"""(?i)heroku.{0,20}['"][0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}['"]"""),
]
COMPILED = [(name, re.compile(p)) for name, p in PATTERNS]

SECRETS = [
    'aws_key = "AKIA' + 'IOSFODNN7EXAMPLE"\n',
    "DATABASE_URL = 'postgres://app:hunter2hunter2@db:5432/x'\n",
    "token = 'ghp_" + "aB3dE5gH7jK9mN1pQ2rS0123456789ABCDEF'\n",
    "password = 'correct-horse-battery'\n",
]


def build_source(mb):
    import argparse as ap, dataclasses, json, pathlib
    src = "".join(inspect.getsource(m) for m in (inspect, json.decoder, ap, dataclasses, pathlib))
    chunks, size, i = [], 0, 0
    while size < mb << 20:
        chunks.append(src)
        chunks.append(SECRETS[i % len(SECRETS)])
        size += len(src)
        i += 1
    return "".join(chunks)


def re_scan(text):
    """(type, start, end) in code points, grouped by entry like scan_secrets."""
    return [(name, m.start(), m.end()) for name, rx in COMPILED for m in rx.finditer(text)]



def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mb", type=int, default=10)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    text = build_source(args.mb)
    mb = len(text.encode()) / (1 << 20)

    ours = [(m.secret_type, m.start, m.end) for m in pn.scan_secrets(text)]
    if text.isascii():
        assert ours == re_scan(text), "matches differ from re"
    assert pn.has_secrets(text) == any(rx.search(text) for _, rx in COMPILED)

    rows = [
        ("scan_secrets", lambda: pn.scan_secrets(text), lambda: re_scan(text)),
        ("has_secrets", lambda: pn.has_secrets(text), lambda: any(rx.search(text) for _, rx in COMPILED)),
        ("get_secret_types", lambda: pn.get_secret_types(text),
         lambda: [n for n, rx in COMPILED if rx.search(text)]),
    ]
    print(f"# secrets vs Python re, {mb:.1f} MB of source, {len(ours)} matches; "
          f"{datetime.date.today()}, {machine()}")
    print(f"{'function':<18} {'ours ms':>9} {'re ms':>9} {'ratio':>7}")
    for name, mine, peer in rows:
        a, b = best_of(mine, args.repeat), best_of(peer, args.repeat)
        print(f"{name:<18} {a * 1000:>9.1f} {b * 1000:>9.1f} {b / a:>6.1f}x")
    print(f"{'mask_secrets':<18} {best_of(lambda: pn.mask_secrets(text), args.repeat) * 1000:>9.1f}")


if __name__ == "__main__":
    main()
