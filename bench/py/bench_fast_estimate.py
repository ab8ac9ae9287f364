"""Token estimate: call overhead, single-text throughput and batch speed-up.

Peers, in one run: CPython's own builtins of the same calling shape (call
overhead), a pure-Python implementation of the same estimate and the
one-pass floor bytes.count(b" ") (throughput), the serial Python loop
(batch).
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))

import common  # noqa: E402
import pelrin_native as pn  # noqa: E402

WS = set("\t\n\v\f\r \x85\xa0\u1680\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a"
         "\u2028\u2029\u202f\u205f\u3000")
PUNCT = set("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~")


def python_estimate(text):
    if not text:
        return 0
    e = 0.0
    any_word = False
    for word in "".join(" " if c in WS else c for c in text).split(" "):
        if not word:
            continue
        any_word = True
        n = len(word.encode("utf-8"))
        e += 1.0
        if n > 10:
            e += (n - 10) * 0.25
        elif n > 6:
            e += 0.3
        p = sum(c in PUNCT for c in word)
        if p:
            e += p * 0.8
        q = sum(ord(c) > 127 for c in word)
        if q:
            e += q * 0.5
    if not any_word:
        return 1
    r = int(e)
    if e - r >= 0.5:
        r += 1
    return max(r, 1)


def call_overhead():
    f = pn.count_tokens_fast
    g = int.from_bytes
    b = b"\x01"
    s = "hi"
    n = 200_000

    def loop(call):
        def run():
            for _ in range(n):
                call()
        return run

    ours_pos, ours_kw, startswith, from_bytes_pos, from_bytes_kw, empty = [
        t / n
        for t in common.interleaved(
            [
                loop(lambda: f(s)),
                loop(lambda: f(text=s)),
                loop(lambda: s.startswith("h")),
                loop(lambda: g(b, "little")),
                loop(lambda: g(b, byteorder="little")),
                loop(lambda: None),
            ],
            repeat=15,
        )
    ]
    print("\n## Call overhead (ns per call, loop and lambda cost subtracted)")
    rows = [
        ("count_tokens_fast('hi')", ours_pos),
        ("count_tokens_fast(text='hi')", ours_kw),
        ("'hi'.startswith('h')", startswith),
        ("int.from_bytes(b, 'little')", from_bytes_pos),
        ("int.from_bytes(b, byteorder='little')", from_bytes_kw),
    ]
    for name, t in rows:
        print(f"{name:40s} {(t - empty) * 1e9:7.1f}")
    print(f"ratio positional vs int.from_bytes: {(ours_pos - empty) / (from_bytes_pos - empty):.2f}")
    print(f"ratio positional vs str.startswith: {(ours_pos - empty) / (startswith - empty):.2f}")
    print(f"ratio keyword vs int.from_bytes(byteorder=): {(ours_kw - empty) / (from_bytes_kw - empty):.2f}")


def throughput():
    print("\n## Single-text throughput over 10 MB")
    for name, text in [("English prose", common.english_prose(10_000_000)),
                       ("mixed CJK", common.cjk_mixed(3_400_000))]:
        data = text.encode("utf-8")
        sample = text[:200_000]
        assert pn.count_tokens_fast(sample) == python_estimate(sample)
        pn.count_tokens_fast(text)  # the str caches its UTF-8 form on first use
        ours, floor = common.interleaved([lambda: pn.count_tokens_fast(text), lambda: data.count(b" ")], repeat=9)
        py = common.best_of(lambda: python_estimate(sample), repeat=2) * (len(text) / len(sample))
        mb = len(data) / 1e6
        print(f"{name}: {mb:.1f} MB UTF-8")
        print(f"  pelrin_native       {mb / ours / 1000:6.2f} GB/s")
        print(f"  bytes.count floor   {mb / floor / 1000:6.2f} GB/s   (ours is {ours / floor:.2f}x the floor's time)")
        print(f"  pure Python         {mb / py / 1000:6.3f} GB/s   (ours is {py / ours:.0f}x faster)")


def batch():
    print("\n## Batch of 100,000 short texts")
    texts = [common.english_prose(40 + i % 200, seed=i) for i in range(100_000)]
    singles = [pn.count_tokens_fast(t) for t in texts]
    assert pn.count_tokens_fast_batch(texts) == singles
    loop, par = common.interleaved([lambda: [pn.count_tokens_fast(t) for t in texts],
                                    lambda: pn.count_tokens_fast_batch(texts)], repeat=7)
    code = ("import sys; sys.path.insert(0, %r); import common, pelrin_native as pn;"
            "texts = [common.english_prose(40 + i %% 200, seed=i) for i in range(100_000)];"
            "print(common.best_of(lambda: pn.count_tokens_fast_batch(texts), repeat=5))") % os.path.dirname(__file__)
    env = dict(os.environ, PELRIN_NUM_THREADS="1")
    one = float(subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True,
                               check=True).stdout)
    print(f"serial loop of count_tokens_fast   {loop * 1e3:7.2f} ms")
    print(f"batch, one thread                  {one * 1e3:7.2f} ms")
    print(f"batch, {len(os.sched_getaffinity(0))} threads                   {par * 1e3:7.2f} ms")
    print(f"speed-up over the serial loop: {loop / par:.2f}x; over one-thread batch: {one / par:.2f}x")


if __name__ == "__main__":
    common.header("pelrin_native token estimate")
    call_overhead()
    throughput()
    batch()
