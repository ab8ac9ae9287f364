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
    tour_literal_matching()


if __name__ == "__main__":
    main()
