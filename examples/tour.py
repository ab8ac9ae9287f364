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


def main() -> None:
    print(f"pelrin_native {pn.__version__}: {len(pn.__all__)} public names")
    tour_token_estimate()
    tour_json_repair_and_usage()


if __name__ == "__main__":
    main()
