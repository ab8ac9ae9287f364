"""A tour of pelrin_native over the sample data in examples/data/."""

import json
import pathlib
import time

import pelrin_native as pn

DATA = pathlib.Path(__file__).resolve().parent / "data"


def section(title: str) -> None:
    print()
    print(title)
    print("-" * len(title))


def tour_token_estimate() -> None:
    section("Token estimate of a sample conversation")
    conversation = json.loads((DATA / "conversation.json").read_text(encoding="utf-8"))
    texts = [m["content"] for m in conversation]
    counts = pn.count_tokens_fast_batch(texts)
    for message, count in zip(conversation, counts):
        preview = message["content"].replace("\n", " ")[:60]
        print(f"{message['role']:>9}: {count:4d} tokens  {preview}...")
    print(f"{'total':>9}: {sum(counts):4d} tokens over {len(texts)} messages")
    assert counts == [pn.count_tokens_fast(t) for t in texts]

    corpus = texts * 20_000
    start = time.perf_counter()
    batch = pn.count_tokens_fast_batch(corpus)
    elapsed = time.perf_counter() - start
    print(f"batch of {len(corpus):,} messages: {sum(batch):,} tokens in {elapsed * 1000:.1f} ms")


def _tour_vocabulary():
    """The GPT-2 ranks when they can be had, else a small vocabulary learned here."""
    import sys

    sys.path.insert(0, str(DATA.parents[1] / "tests" / "tokenizer"))
    try:
        from vocab import END_OF_TEXT, END_OF_TEXT_ID, gpt2_ranks_path, load_ranks

        path = gpt2_ranks_path()
        if path is not None:
            return "gpt2", load_ranks(path), {END_OF_TEXT: END_OF_TEXT_ID}
    except ImportError:
        pass
    # Byte-level BPE learned from the sample conversation: 200 merges.
    texts = [m["content"].encode() for m in json.loads((DATA / "conversation.json").read_text(encoding="utf-8"))]
    ranks = {bytes([b]): b for b in range(256)}
    words = [[bytes([b]) for b in w] for t in texts for w in t.split(b" ") if w]
    for _ in range(200):
        pairs = {}
        for w in words:
            for a, b in zip(w, w[1:]):
                pairs[a + b] = pairs.get(a + b, 0) + 1
        if not pairs:
            break
        best = max(pairs, key=lambda k: (pairs[k], k))
        ranks.setdefault(best, len(ranks))
        merged = []
        for w in words:
            out, i = [], 0
            while i < len(w):
                if i + 1 < len(w) and w[i] + w[i + 1] == best:
                    out.append(best)
                    i += 2
                else:
                    out.append(w[i])
                    i += 1
            merged.append(out)
        words = merged
    return "toy", ranks, {"<|endoftext|>": len(ranks)}


def tour_bpe_tokenizer() -> None:
    section("Exact token counts with a BPE vocabulary")
    name, ranks, specials = _tour_vocabulary()
    tok = pn.BpeTokenizer(name, list(ranks.items()), list(specials.items()))
    conversation = json.loads((DATA / "conversation.json").read_text(encoding="utf-8"))
    texts = [m["content"] for m in conversation]
    counts = tok.count_tokens_batch(texts)
    for message, count, estimate in zip(conversation, counts, pn.count_tokens_fast_batch(texts)):
        print(f"{message['role']:>9}: {count:4d} tokens (estimate {estimate:4d})")
    sample = "Hello world<|endoftext|>"
    print(f"vocabulary {name!r} ({len(ranks):,} ranks): encode({sample!r}) = {tok.encode(sample)}")
    assert counts == [len(tok.encode(t)) for t in texts]


def tour_secrets() -> None:
    section("Credentials found and masked")
    text = (DATA / "secrets_config.env").read_text(encoding="utf-8")
    for m in pn.scan_secrets(text):
        print(f"line {m.line_number}: {m.secret_type:<18} {m.severity:<8} bytes {m.start}-{m.end}")
    print(pn.mask_secrets(text).rstrip())
    summary = pn.scan_secrets_summary(text)
    print(f"{summary['total_matches']} matches by severity: {dict(sorted(summary['by_severity'].items()))}")


def tour_tool_call() -> None:
    section("A tool call recovered from prose")
    reply = (DATA / "extractor_reply.md").read_text(encoding="utf-8")
    call = pn.extract_tool_call(reply, "write_file")
    print(f"tool={call['tool']} confidence={call['confidence']} path={call['args']['path']}")
    print(call["args"]["content"])
    print(f"shell commands: {pn.extract_shell_commands(reply)}")


def tour_sanitizer() -> None:
    section("A reply cleaned of leaked markup")
    reply = (DATA / "sanitizer_reply.txt").read_text(encoding="utf-8")
    print(f"garbage: {pn.is_garbage_content(reply)}; leaks: {pn.detect_leakage_patterns(reply)}")
    print(pn.sanitize_response(reply))
    print(f"tool names: {[pn.validate_tool_name(n) for n in ('read_file', 'my_tool', 'run cmd')]}")


def main() -> None:
    print(f"pelrin_native {pn.__version__}: {len(pn.__all__)} public names")
    tour_token_estimate()
    tour_bpe_tokenizer()
    tour_secrets()
    tour_tool_call()
    tour_sanitizer()


if __name__ == "__main__":
    main()
