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


def main() -> None:
    print(f"pelrin_native {pn.__version__}: {len(pn.__all__)} public names")
    tour_token_estimate()


if __name__ == "__main__":
    main()
