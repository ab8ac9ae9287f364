"""The leak check: many calls must not grow the interpreter's block count."""

import gc
import sys


def assert_no_growth(call, iterations=10_000, warmup=200, slack=100):
    """Runs call() `iterations` times after `warmup` calls (which fill caches
    and free lists) and fails if more than `slack` memory blocks remain."""
    for _ in range(warmup):
        call()
    gc.collect()
    before = sys.getallocatedblocks()
    for _ in range(iterations):
        call()
    gc.collect()
    grown = sys.getallocatedblocks() - before
    assert grown < slack, f"{grown} blocks still allocated after {iterations} calls"
