"""The real GPT-2 vocabulary for tests and benchmarks.

The ranks file ships inside the openai-whisper source distribution. It is
downloaded once with pip (the package is never installed or imported), only
the ranks file is unpacked, and both archive and file are checked against
recorded digests. Everything is cached under PELRIN_VOCAB_CACHE (default
~/.cache/pelrin_native/vocab).
"""

import base64
import hashlib
import os
import pathlib
import subprocess
import sys
import tarfile

SDIST = "openai_whisper-20250625.tar.gz"
SDIST_SHA256 = "37a91a3921809d9f44748ffc73c0a55c9f366c85a3ef5c2ae0cc09540432eb96"
MEMBER = "openai_whisper-20250625/whisper/assets/gpt2.tiktoken"
RANKS_SHA256 = "306cd27f03c1a714eca7108e03d66b7dc042abe8c258b44c199a7ed9838dd930"

# The GPT-2 pre-tokenization pattern as the tokenizer compiles it.
PATTERN = (
    r"(?i:'s|'t|'re|'ve|'m|'ll|'d)|[^\r\n\p{L}\p{N}]?\p{L}+|\p{N}{1,3}| ?[^\s\p{L}\p{N}]+[\r\n]*"
    r"|\s*[\r\n]+|\s+$|\s+"
)
END_OF_TEXT = "<|endoftext|>"
END_OF_TEXT_ID = 50256


def _cache_dir() -> pathlib.Path:
    root = os.environ.get("PELRIN_VOCAB_CACHE")
    path = pathlib.Path(root) if root else pathlib.Path.home() / ".cache" / "pelrin_native" / "vocab"
    path.mkdir(parents=True, exist_ok=True)
    return path


def _sha256(path: pathlib.Path) -> str:
    return hashlib.sha256(path.read_bytes()).hexdigest()


def gpt2_ranks_path() -> pathlib.Path | None:
    """The verified ranks file, fetching it when needed; None when it cannot be had."""
    cache = _cache_dir()
    ranks = cache / "gpt2.tiktoken"
    if ranks.exists() and _sha256(ranks) == RANKS_SHA256:
        return ranks
    sdist = cache / SDIST
    if not (sdist.exists() and _sha256(sdist) == SDIST_SHA256):
        cmd = [sys.executable, "-m", "pip", "download", "-q", "--no-deps", "--no-binary", ":all:",
               "openai-whisper==20250625", "-d", str(cache)]
        try:
            subprocess.run(cmd, check=True, capture_output=True, timeout=300)
        except (OSError, subprocess.SubprocessError):
            return None
        if not (sdist.exists() and _sha256(sdist) == SDIST_SHA256):
            return None
    with tarfile.open(sdist) as tar:
        data = tar.extractfile(MEMBER).read()
    if hashlib.sha256(data).hexdigest() != RANKS_SHA256:
        return None
    tmp = ranks.with_suffix(".tmp")
    tmp.write_bytes(data)
    tmp.replace(ranks)
    return ranks


def load_ranks(path: pathlib.Path) -> dict[bytes, int]:
    ranks = {}
    for line in path.read_bytes().splitlines():
        if line:
            token, rank = line.split()
            ranks[base64.b64decode(token)] = int(rank)
    return ranks
