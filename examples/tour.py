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


def tour_json_repair_and_usage() -> None:
    section("A repaired tool call and a usage-log summary")
    reply = (DATA / "json_repair_reply.txt").read_text(encoding="utf-8")
    found = pn.extract_json_objects(reply)
    start, end, text = found[0]
    print(f"found JSON at bytes {start}..{end} of the reply, repaired to:")
    print(f"  {text}")
    ok, valid = pn.normalize_json_string(text)[1], pn.is_valid_json(text)
    call_json = json.loads(text)
    call = pn.ToolCall("call-1", call_json["tool"], json.dumps(call_json["arguments"]))
    print(f"  {call!r} with arguments {call.arguments}")
    assert ok and valid and json.loads(call.arguments)["follow_links"] is True
    for value in ["42", " 3.50 ", "None", "1e-7", "[1, 2]"]:
        print(f"  coerce_string_type({value!r}) -> {pn.coerce_string_type(value)}")

    stats = pn.scan_usage_file(str(DATA / "json_trace_usage.jsonl"))
    print("usage log sessions (two or more tool calls), best first:")
    for s in stats:
        print(f"  {s.session_id}: {s.task_type:<8} calls={s.tool_calls} failures={s.tool_failures} "
              f"score={s.completion_score:.2f}")
    assert [s.session_id for s in stats] == ["s-404", "s-101", "s-202"]


def toy_embedding(text: str, dims: int = 96) -> list:
    """A stand-in for a real embedding model: hashed words and character
    trigrams, each adding +1 or -1 to two of `dims` coordinates."""
    import hashlib

    vector = [0.0] * dims
    words = "".join(c.lower() if c.isalnum() else " " for c in text).split()
    features = words + [w[i : i + 3] for w in words for i in range(max(1, len(w) - 2))]
    for feature in features:
        digest = hashlib.blake2b(feature.encode(), digest_size=8).digest()
        for k in (0, 4):
            index = int.from_bytes(digest[k : k + 2], "little") % dims
            vector[index] += 1.0 if digest[k + 2] & 1 else -1.0
    return vector


def tour_semantic_search() -> None:
    section("Semantic search over sample embeddings")
    sample = json.loads((DATA / "similarity_documents.json").read_text(encoding="utf-8"))
    titles = [d["title"] for d in sample["documents"]]
    vectors = [d["embedding"] for d in sample["documents"]]
    index = pn.EmbeddingIndex(vectors, titles)
    print(f"index of {index.len()} documents, {index.dim()} dimensions")
    for query in ["why does my test fail with a timeout", "store embeddings in less memory"]:
        q = toy_embedding(query)
        hits = index.query(q, k=3)
        print(f"query: {query!r}")
        for title, score in hits:
            print(f"   {score:.3f}  {title}")
        # The index, top-k over the raw corpus and the cosine agree.
        top = pn.top_k_similar(q, vectors, k=3)
        assert [titles[i] for i, _ in top] == [t for t, _ in hits] or len(hits) < 3

    # 8-bit codes take a quarter of the memory and rank nearly alike.
    codes = pn.batch_quantize_embeddings(vectors)
    q = pn.quantize_embedding(toy_embedding("store embeddings in less memory"))
    sims = pn.batch_quantized_cosine_similarity(q, codes)
    best = max(range(len(sims)), key=sims.__getitem__)
    print(f"best match by 8-bit codes: {titles[best]} ({sims[best]:.3f})")
    graph = pn.knn_graph(vectors, k=1)
    neighbour, distance = graph[0][0][0], graph[0][1][0]
    print(f"nearest neighbour of {titles[0]!r}: {titles[neighbour]!r} (distance {distance:.3f})")


def tour_literal_matching() -> None:
    section("Classifying a request, filtering a streamed reply, spotting a loop")
    request = "don't run the tests yet, just explain why the parser fails"
    result = pn.classify_task(request)
    print(f"request: {request!r}")
    print(f"  -> {result!r}, tool budget {result.recommended_tool_budget}")
    for start, end, text, category in pn.find_all_keywords(request):
        print(f"     keyword {text!r} at bytes {start}..{end} ({category})")

    reply = (DATA / "literal_reply.txt").read_text(encoding="utf-8")
    stream = pn.StreamingFilter(suppress_thinking=True)
    shown = "".join(stream.process_chunk(reply[i:i + 16]).content for i in range(0, len(reply), 16))
    shown += stream.flush().content
    print(f"streamed reply in 16-character chunks, thinking suppressed ({stream.get_thinking_length()} bytes):")
    print(f"  {shown.strip()}")
    assert shown == pn.extract_thinking_content(reply)[0]

    detector = pn.ThinkingDetector()
    for block in json.loads((DATA / "literal_thinking.json").read_text(encoding="utf-8")):
        is_loop, guidance = detector.record_thinking(block)
        print(f"  thinking {block[:40]!r:44} -> {'LOOP: ' + guidance[:60] + '...' if is_loop else 'ok'}")
    print(f"  circular phrases in the first block: {pn.find_circular_patterns('Let me check the parser module.')}")


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
    tour_json_repair_and_usage()
    tour_semantic_search()
    tour_literal_matching()
    tour_bpe_tokenizer()
    tour_secrets()
    tour_tool_call()
    tour_sanitizer()


if __name__ == "__main__":
    main()
