"""Shared helpers of the benchmarks: timing, machine description, sample text."""

import datetime
import os
import platform
import random
import time


def best_of(fn, repeat=5, number=1):
    """The smallest time of `repeat` runs of `number` calls, per call, in seconds."""
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        for _ in range(number):
            fn()
        best = min(best, (time.perf_counter() - start) / number)
    return best


def interleaved(fns, repeat=7, number=1):
    """Best time per call of each function, timed in alternation so that a
    change of machine load hits every candidate alike."""
    best = [float("inf")] * len(fns)
    for _ in range(repeat):
        for k, fn in enumerate(fns):
            start = time.perf_counter()
            for _ in range(number):
                fn()
            best[k] = min(best[k], (time.perf_counter() - start) / number)
    return best


def machine():
    cpu = platform.processor() or platform.machine()
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{cpu}, {len(os.sched_getaffinity(0))} processors, Python {platform.python_version()}"


def header(title):
    print(f"# {title}")
    print(f"# {datetime.date.today().isoformat()} on {machine()}")


WORDS = (
    "the of and to in is that for it as was with be by on not he this are or his from at which but have an "
    "they you were her she there one all we their can has been if more when will would who so no time "
    "system function value return model context budget message token request reply assistant "
    "configuration implementation international responsibility"
).split()


def english_prose(n_bytes, seed=1):
    rng = random.Random(seed)
    out, size = [], 0
    while size < n_bytes:
        sentence = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(6, 18)))
        sentence = sentence.capitalize() + rng.choice([".", ".", ",", "?", "!", ";"]) + " "
        out.append(sentence)
        size += len(sentence)
    return "".join(out)[:n_bytes]


def cjk_mixed(n_chars, seed=2):
    rng = random.Random(seed)
    han = [chr(c) for c in range(0x4E00, 0x4E00 + 2000)]
    kana = [chr(c) for c in range(0x3041, 0x3097)]
    out = []
    while len(out) < n_chars:
        r = rng.random()
        if r < 0.6:
            out.append(rng.choice(han))
        elif r < 0.85:
            out.append(rng.choice(kana))
        elif r < 0.93:
            out.append(rng.choice(["、", "。", "\u3000"]))
        else:
            out.append(" " + rng.choice(WORDS) + " ")
    return "".join(out)[:n_chars]


def compare_on_repeated_unit(name, unit, ours, peer, peer_name="Python re"):
    """The usual text benchmark: a command line with --mb and --repeat, the
    unit repeated to that size, answers checked equal, then both timed."""
    import argparse

    parser = argparse.ArgumentParser()
    parser.add_argument("--mb", type=int, default=4)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    text = unit * ((args.mb << 20) // len(unit))
    mb = len(text.encode()) / (1 << 20)
    assert ours(text) == peer(text), f"results differ from {peer_name}"
    a = best_of(lambda: ours(text), args.repeat)
    b = best_of(lambda: peer(text), args.repeat)
    print(f"# {name} vs {peer_name}, {mb:.1f} MB reply; {datetime.date.today()}, {machine()}")
    print(f"ours {a * 1000:.1f} ms, {peer_name} {b * 1000:.1f} ms, ratio {b / a:.1f}x")
