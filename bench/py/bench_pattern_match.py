"""Literal matching throughput against pyahocorasick and ahocorasick-rs.

Three pattern sets over about 10 MB of English prose: (a) the 15 negation
words, (b) the 1,000 most frequent words of the prose, (c) 50,000 random
lowercase words. For each set, contains_any, count_matches and find_all
(leftmost-longest, case-sensitive, as the peers do it) are timed for every
engine on the same text in one run, after their answers have been checked
against each other. Ratios are peer time / our time (above 1: we are faster).

Also: classify_task latency on a 200-byte request, and
StreamingFilter.process_chunk on a 1 MB reply in 16-byte and 4 KB chunks
against a pure-Python str.find filter.

Run: PYTHONPATH=build/dev/src/py python bench/py/bench_pattern_match.py
"""

import ast
import collections
import pathlib
import random
import re
import sys
import sysconfig

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))

import ahocorasick  # noqa: E402
import ahocorasick_rs  # noqa: E402
import common  # noqa: E402
import pelrin_native as pn  # noqa: E402

NEGATIONS = ["don't", "do not", "dont", "shouldn't", "should not", "wouldn't", "would not", "can't", "cannot",
             "not", "never", "without", "avoid", "skip", "ignore"]


def english_prose(target_bytes=10_000_000):
    """Docstrings of the standard library (ASCII English prose), repeated to size."""
    parts, size = [], 0
    for path in sorted(pathlib.Path(sysconfig.get_paths()["stdlib"]).glob("*.py")):
        try:
            tree = ast.parse(path.read_text(encoding="utf-8"))
        except (SyntaxError, UnicodeDecodeError):
            continue
        for node in ast.walk(tree):
            if isinstance(node, (ast.FunctionDef, ast.ClassDef, ast.Module, ast.AsyncFunctionDef)):
                doc = ast.get_docstring(node)
                if doc and doc.isascii():
                    parts.append(" ".join(doc.split()))
                    size += len(parts[-1]) + 1
        if size > 3_000_000:
            break
    base = " ".join(parts)
    return (base * (target_bytes // len(base) + 1))[:target_bytes]


class Ours:
    name = "pelrin_native"

    def __init__(self, patterns):
        self.m = pn.PatternMatcher(patterns, case_insensitive=False)

    def contains_any(self, text):
        return self.m.contains_any(text)

    def count_matches(self, text):
        return self.m.count_matches(text)

    def find_all(self, text):
        return self.m.find_all(text)

    @staticmethod
    def triples(found):
        return [(m.pattern_idx, m.start, m.end) for m in found]


class Rs:
    name = "ahocorasick-rs"

    def __init__(self, patterns):
        self.ac = ahocorasick_rs.AhoCorasick(patterns, matchkind=ahocorasick_rs.MATCHKIND_LEFTMOST_LONGEST)

    def contains_any(self, text):
        return bool(self.ac.find_matches_as_indexes(text))  # no early-exit query in its API

    def count_matches(self, text):
        return len(self.ac.find_matches_as_indexes(text))

    def find_all(self, text):
        return self.ac.find_matches_as_indexes(text)

    @staticmethod
    def triples(found):
        return [tuple(t) for t in found]


class Py:
    name = "pyahocorasick"

    def __init__(self, patterns):
        self.a = ahocorasick.Automaton()
        for i, p in enumerate(patterns):
            if not self.a.exists(p):
                self.a.add_word(p, (i, len(p)))
        self.a.make_automaton()

    def contains_any(self, text):
        return next(self.a.iter(text), None) is not None

    def count_matches(self, text):
        return sum(1 for _ in self.a.iter_long(text))

    def find_all(self, text):
        return list(self.a.iter_long(text))

    @staticmethod
    def triples(found):
        return [(i, end + 1 - n, end + 1) for end, (i, n) in found]


def bench_sets(text):
    words = collections.Counter(re.findall(r"[a-z]+", text[:2_000_000].lower()))
    frequent = [w for w, _ in words.most_common(1000)]
    rng = random.Random(42)
    randoms = list(dict.fromkeys(
        "".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(4, 10)))
        for _ in range(52_000)))[:50_000]
    rows = []
    for label, patterns in [("(a) 15 negation words", NEGATIONS), ("(b) 1,000 English words", frequent),
                            ("(c) 50,000 random words", randoms)]:
        engines = [Ours(patterns), Rs(patterns), Py(patterns)]
        # Answers first: every engine must agree before anything is timed.
        ref = engines[0].triples(engines[0].find_all(text))
        for e in engines[1:]:
            assert e.triples(e.find_all(text)) == ref, f"{e.name} disagrees on {label}"
            assert e.count_matches(text) == len(ref) and e.contains_any(text) == bool(ref)
        assert engines[0].count_matches(text) == len(ref)
        for op in ["contains_any", "count_matches", "find_all"]:
            # Interleaved, so that a change of machine load hits every engine alike.
            ours, rs, py = common.interleaved([lambda e=e: getattr(e, op)(text) for e in engines], repeat=3)
            rows.append((label, op, len(ref), ours, rs / ours, py / ours))
    return rows


def bench_classify():
    request = ("Please fix the failing test in the parser module, then run the whole suite and explain "
               "why the tokenizer broke when we added the new unicode handling; don't deploy anything yet.")
    request = (request * 2)[:200]
    assert pn.classify_task(request).task_type is pn.TaskType.Edit
    return common.best_of(lambda: pn.classify_task(request), repeat=5, number=20_000) * 1e6


def python_filter(chunks):
    """Pure-Python str.find filter with the same hold-back rule (pass-through)."""
    starts = ["<\uff5cbegin\u2581of\u2581thinking\uff5c>", "<|begin_of_thinking|>", "<think>"]
    ends = ["<\uff5cend\u2581of\u2581thinking\uff5c>", "<|end_of_thinking|>", "</think>"]
    buf, thinking, out = "", False, []
    for chunk in chunks:
        text, buf, pos = buf + chunk, "", 0
        while pos < len(text):
            markers = ends if thinking else starts
            hits = [(i, m) for m in markers if (i := text.find(m, pos)) >= 0]
            if hits:
                i, m = min(hits)
                out.append(text[pos:i])
                pos, thinking = i + len(m), not thinking
                continue
            rest = text[pos:]
            keep = 0
            for n in range(min(len(rest), 20), 0, -1):
                if any(m.startswith(rest[-n:]) and len(m) > n for m in markers):
                    keep = n
                    break
            out.append(rest[:len(rest) - keep])
            buf = rest[len(rest) - keep:]
            break
    out.append(buf)
    return "".join(out)


def bench_stream():
    rng = random.Random(1)
    pieces = []
    while sum(map(len, pieces)) < 1_000_000:
        pieces.append("word " * rng.randint(20, 200))
        pieces.append(rng.choice(["<think>", "</think>", "<|begin_of_thinking|>", "<|end_of_thinking|>"]))
    reply = "".join(pieces)[:1_000_000]
    rows = []
    for size in (16, 4096):
        chunks = [reply[i:i + size] for i in range(0, len(reply), size)]

        def ours():
            f = pn.StreamingFilter()
            return "".join(f.process_chunk(c).content for c in chunks) + f.flush().content

        assert ours() == python_filter(chunks), "filters disagree"
        t_ours, t_py = common.interleaved([ours, lambda: python_filter(chunks)], repeat=3)
        rows.append((size, len(reply) / t_ours / 1e6, len(reply) / t_py / 1e6, t_py / t_ours))
    return rows


def main():
    common.header("Literal matching: pattern matcher, classifier, streaming filter")
    text = english_prose()
    print(f"text: {len(text.encode()) / 1e6:.1f} MB")
    print("| pattern set | operation | matches | ours (ms) | ahocorasick-rs / ours | pyahocorasick / ours |")
    print("|---|---|---|---|---|---|")
    for label, op, n, t, rs, py in bench_sets(text):
        print(f"| {label} | {op} | {n} | {t * 1e3:.2f} | {rs:.2f} | {py:.2f} |")
    print(f"\nclassify_task, 200-byte request: {bench_classify():.2f} us per call")
    print("\n| chunk | ours (MB/s) | Python str.find filter (MB/s) | ratio |")
    print("|---|---|---|---|")
    for size, ours, py, ratio in bench_stream():
        print(f"| {size} B | {ours:.1f} | {py:.1f} | {ratio:.1f} |")


if __name__ == "__main__":
    main()
