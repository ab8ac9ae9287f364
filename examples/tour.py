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


def main() -> None:
    print(f"pelrin_native {pn.__version__}: {len(pn.__all__)} public names")
    tour_token_estimate()
    tour_json_repair_and_usage()
    tour_semantic_search()
    tour_literal_matching()


if __name__ == "__main__":
    main()
