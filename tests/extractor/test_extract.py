"""File paths, code blocks and shell commands taken out of replies."""

import pytest

import pelrin_native as pn
from leaks import assert_no_growth  # noqa: E402


@pytest.mark.parametrize(
    "text, path",
    [
        ("Please open `src/app.py` now", "src/app.py"),  # only the backquote pattern matches
        ("Please update `src/app.py` now", "src/app.py"),  # keyword pattern, quote excluded
        ("Write to config.yaml", "config.yaml"),
        ("main.py should export run", "main.py"),
        ("intro\nlib/util.js will change", "lib/util.js"),
        ("Look at the file 'notes.md' first", "notes.md"),
        ("a plugin x.py", "x.py"),  # "in" inside "plugin" counts: no word boundary
        ("Open `a.py` and also save b.txt", "b.txt"),  # an earlier pattern wins over an earlier position
        ("\u00e9crire to r\u00e9sum\u00e9.txt", None),  # non-ASCII is not a path character
        ("no path here", None),
        ("`src/`", None),
        ("", None),
    ],
    ids=["backquote", "keyword-backquote", "keyword", "line-start", "line-start-later-line", "the-file",
         "unbounded-keyword", "pattern-order", "non-ascii", "none", "no-extension", "empty"],
)
def test_extract_file_path(text, path):
    assert pn.extract_file_path(text) == path


def test_batch_extract_file_paths_matches_single_calls():
    texts = ["Write to a.py", "nothing", "`b/c.rs`", "edit d.go"] * 3
    assert pn.batch_extract_file_paths(texts) == [pn.extract_file_path(t) for t in texts]  # 12: pool
    assert pn.batch_extract_file_paths(texts[:3]) == ["a.py", None, "b/c.rs"]  # sequential
    assert pn.batch_extract_file_paths([]) == []
    with pytest.raises(TypeError):
        pn.batch_extract_file_paths("Write to a.py")


@pytest.mark.parametrize(
    "text, blocks",
    [
        ("Here:\n```python\n  def f():\n      pass\n```\nand\n    indented\n", ["def f():\n      pass"]),
        ("```\nA\n```\n```JS\nB\n```", ["A", "B"]),  # language word is case-insensitive
        ("```python\n   \n```", []),  # whitespace-only fenced block dropped, no indented fallback either
        ("```text\nnot a block\n```", []),
        ("```python3\nx\n```", []),
        ("intro\n    line one\n        line two\nafter", ["line one\n    line two"]),
        ("intro\n\tone\n\ttwo", ["one\ntwo"]),
        ("a\n    x\nb\n    y", ["x", "y"]),
        ("```python\u3000\nunicode space after fence\n```", ["unicode space after fence"]),
        ("no code", []),
    ],
    ids=["fenced-wins", "two-fenced", "blank-fenced", "unknown-word", "python3", "indented-4-8", "tabs",
         "two-indented", "unicode-space", "none"],
)
def test_extract_code_blocks(text, blocks):
    assert pn.extract_code_blocks(text) == blocks


def test_dedent_with_mixed_multibyte_indentation_stays_valid():
    # Tab (1 byte) and U+3000 (3 bytes): cutting one byte from the U+3000 line
    # would split a character; the whole character goes instead.
    text = "x\n\tfirst line\n\t\u3000second"
    [block] = pn.extract_code_blocks(text)
    block.encode()
    assert block == "first line\n\u3000second"


@pytest.mark.parametrize(
    "text, commands",
    [
        ("$ ls -la", ["ls -la"]),
        ("Run: `make test`", ["make test"]),
        ("```bash\nmake\nmake install\n```", ["make\nmake install"]),
        ("execute: 'a\" and command: \"b'", ["a", "b"]),  # quotes need not pair up
        ("```sh\necho 1\n```\nRun: `make`\n$ ls\n$ pwd", ["echo 1", "make", "ls", "pwd"]),
        ("Run: `ls`\n$ ls", ["ls", "ls"]),  # no deduplication
        ("$   \n", []),
        ("nothing", []),
    ],
    ids=["prompt", "run", "fenced", "mixed-quotes", "grouped-by-pattern", "duplicates", "blank", "none"],
)
def test_extract_shell_commands(text, commands):
    assert pn.extract_shell_commands(text) == commands


# ---- tool calls ----

PY_BLOCK = "```python\ndef main():\n    pass\n```"


@pytest.mark.parametrize(
    "text, tool, current, want",
    [
        ("Let me read the file src/main.py", "READ_FILE", None,
         {"tool": "read", "args": {"path": "src/main.py"}, "confidence": 0.9, "source": "Let me read the file src/main.py"}),
        ("Write it:\n" + PY_BLOCK, "write", "app.py",
         {"tool": "write", "args": {"path": "app.py", "content": "def main():\n    pass"}, "confidence": 0.95,
          "source": "Write it:\n" + PY_BLOCK}),
        ("Write it:\n" + PY_BLOCK, "write_file", "app.js",
         {"tool": "write", "args": {"path": "app.js", "content": "def main():\n    pass"}, "confidence": 0.85,
          "source": "Write it:\n" + PY_BLOCK}),
        ("Save to x.txt:\n" + PY_BLOCK, "Write", "app.py",
         {"tool": "write", "args": {"path": "x.txt", "content": "def main():\n    pass"}, "confidence": 0.85,
          "source": "Save to x.txt:\n" + PY_BLOCK}),
        ("Run: `make build`", "bash", None,
         {"tool": "shell", "args": {"command": "make build"}, "confidence": 0.75, "source": "Run: `make build`"}),
        ("see `docs`", "list", None, {"tool": "ls", "args": {"path": "docs"}, "confidence": 0.8, "source": "see `docs`"}),
        ("list it", "LS", None, {"tool": "ls", "args": {"path": "."}, "confidence": 0.8, "source": "list it"}),
    ],
    ids=["read", "write-python", "write-js", "text-path-wins", "shell", "list-backquote", "list-default"],
)
def test_extract_tool_call(text, tool, current, want):
    got = pn.extract_tool_call(text, tool, current)
    assert got == want
    assert list(got) == ["tool", "args", "confidence", "source"]


@pytest.mark.parametrize(
    "text, tool, current",
    [
        ("read src/main.py", "Edit", None),
        (PY_BLOCK, "write", None),  # no path and no current file, even with a block
        ("Write to a.py with no code", "write", None),
        ("nothing to read", "read", None),
        ("no command", "shell", None),
        ("read a.py", "r\u0113ad", None),
    ],
    ids=["other-tool", "write-no-path", "write-no-block", "read-no-path", "shell-no-command", "non-ascii-name"],
)
def test_extract_tool_call_none(text, tool, current):
    assert pn.extract_tool_call(text, tool, current) is None


@pytest.mark.parametrize("tool, n", [("read", 100), ("shell", 150), ("write", 200)])
def test_source_counts_code_points(tool, n):
    body = "é" * 300
    text = {"read": "edit a.py ", "shell": "$ ls\n", "write": "to a.py\n" + PY_BLOCK + "\n"}[tool] + body
    assert pn.extract_tool_call(text, tool)["source"] == text[:n]


def test_argument_errors_name_the_parameter():
    with pytest.raises(TypeError) as info:
        pn.extract_tool_call("x", "read", 5)
    assert info.value.__notes__ == ["while processing 'current_file'"]
    assert pn.extract_tool_call.__text_signature__ == "(text, tool_name, current_file=None)"


# ---- 1 MB adversarial inputs: every function returns, in linear time ----

from adversarial import ADVERSARIAL, MB  # noqa: E402,F401


@pytest.mark.parametrize("text", ADVERSARIAL.values(), ids=ADVERSARIAL.keys())
def test_adversarial_inputs(text):
    path = pn.extract_file_path(text)
    assert pn.batch_extract_file_paths([text] * 10) == [path] * 10
    assert isinstance(pn.extract_code_blocks(text), list)
    assert isinstance(pn.extract_shell_commands(text), list)
    for tool in ("read", "write", "shell", "ls"):
        pn.extract_tool_call(text, tool, "a.py")


def test_hand_built_results_do_not_leak():
    import sys

    def run():
        for _ in range(2000):
            pn.extract_tool_call("Write to a.py:\n" + PY_BLOCK, "write")
            pn.extract_tool_call("nothing", "edit")

    assert_no_growth(run, iterations=1, warmup=1, slack=100)
