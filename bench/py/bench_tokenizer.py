"""BpeTokenizer against tiktoken on the same GPT-2 vocabulary, special tokens and pattern.

Builds 10 MB of mixed text (English prose, indented Python source, CJK and
emoji, many short chat messages, one 10 KB run of letters), checks that both
tokenizers give the same counts, then times single-text and batch counting.

    PYTHONPATH=build/dev/src/py python bench/py/bench_tokenizer.py [--mb 10] [--repeat 3]
"""

import argparse
import datetime
import os
import pathlib
import random
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tests" / "tokenizer"))
from vocab import END_OF_TEXT, END_OF_TEXT_ID, PATTERN, gpt2_ranks_path, load_ranks  # noqa: E402

import pelrin_native  # noqa: E402
import tiktoken  # noqa: E402

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from common import best_of, machine  # noqa: E402

WORDS = ("the of and to in is that it for was on are as with his they at be this from have or by one had not "
         "but what all were when we there can an your which their said if do will each about how up out them "
         "then she many some so these would other into has more her two like him see time could no make than "
         "first been its who now people my made over did down only way find use may water long little very "
         "after words called just where most know get through back much before go good new write our used me "
         "man too any day same right look think also around another came come work three word must because "
         "does part even place well such here take why things help put years different away again off went").split()


def prose(rng, size):
    out, n = [], 0
    while n < size:
        sentence = " ".join(rng.choice(WORDS) for _ in range(rng.randint(6, 20))).capitalize()
        sentence += rng.choice([". ", "! ", "? ", ", and it's fine. ", "; they'll see.\n\n"])
        out.append(sentence)
        n += len(sentence)
    return "".join(out)


def python_source(size):
    import inspect, json, argparse as ap, dataclasses, pathlib as pl
    src = "".join(inspect.getsource(m) for m in (inspect, json.decoder, ap, dataclasses, pl))
    return (src * (size // len(src) + 1))[:size]


def cjk_emoji(rng, size):
    pools = [(0x4E00, 0x9FFF), (0x3040, 0x30FF), (0xAC00, 0xD7A3), (0x1F300, 0x1F64F)]
    out, n = [], 0
    while n < size:
        lo, hi = rng.choice(pools)
        run = "".join(chr(rng.randint(lo, hi)) for _ in range(rng.randint(1, 12)))
        run += rng.choice(["", " ", "，", "。", "\n"])
        out.append(run)
        n += len(run.encode())
    return "".join(out)


def chat_messages(rng, count):
    return [prose(rng, rng.randint(20, 200)).strip() for _ in range(count)]


def build_corpus(mb):
    rng = random.Random(42)
    quarter = mb * (1 << 20) // 4
    texts = [prose(rng, quarter), python_source(quarter), cjk_emoji(rng, quarter)]
    texts += chat_messages(rng, quarter // 110)
    texts.append("x" * 10_000)
    return texts



def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mb", type=int, default=10)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    path = gpt2_ranks_path()
    if path is None:
        sys.exit("the GPT-2 ranks file could not be fetched")
    ranks = load_ranks(path)
    specials = {END_OF_TEXT: END_OF_TEXT_ID}
    ours = pelrin_native.BpeTokenizer("gpt2", list(ranks.items()), list(specials.items()))
    theirs = tiktoken.Encoding("gpt2-bench", pat_str=PATTERN, mergeable_ranks=ranks, special_tokens=specials)

    texts = build_corpus(args.mb)
    joined = END_OF_TEXT.join(texts)
    total_mb = len(joined.encode()) / (1 << 20)

    # Check answers before timing.
    want = [len(theirs.encode(t, allowed_special="all")) for t in texts]
    assert ours.count_tokens_batch(texts) == want, "batch counts differ from tiktoken"
    assert ours.count_tokens(joined) == len(theirs.encode(joined, allowed_special="all")), "single count differs"

    rows = [
        ("single text", lambda: ours.count_tokens(joined), lambda: theirs.encode(joined, allowed_special="all")),
        ("batch", lambda: ours.count_tokens_batch(texts),
         lambda: theirs.encode_batch(texts, allowed_special="all", num_threads=os.cpu_count() or 1)),
    ]
    print(f"# BpeTokenizer vs tiktoken {tiktoken.__version__}, GPT-2 ranks, {total_mb:.1f} MB, "
          f"{len(texts)} texts; {datetime.date.today()}, {machine()}")
    print(f"{'case':<12} {'ours MB/s':>10} {'tiktoken MB/s':>14} {'ratio':>7}")
    for name, mine, peer in rows:
        a, b = best_of(mine, args.repeat), best_of(peer, args.repeat)
        print(f"{name:<12} {total_mb / a:>10.1f} {total_mb / b:>14.1f} {b / a:>6.2f}x")


if __name__ == "__main__":
    main()
