"""1 MB inputs that make naive scanners quadratic or make them hang: long runs of
quotes, backquotes and braces, a credential prefix followed by 10^5 characters."""

MB = 1 << 20
ADVERSARIAL = {
    "quotes": '"' * MB,
    "single-quotes": "'" * MB,
    "backquotes": "`" * MB,
    "fences": "```" * (MB // 3),
    "braces": "{" * (MB // 2) + "}" * (MB // 2),
    "aws-run": "aws" + "x" * 100_000 + "'" * (MB - 100_003),
    "aws-quotes": ("aws" + "'" * 30) * (MB // 33),
    "tags": "</a>" * (MB // 4),
    "newlines": "\n" * MB,
    "spaces": " " * MB,
    "indented": "    x\n" * (MB // 6),
    "prompts": "$ x\n" * (MB // 4),
    "passwords": "".join(f"password={i:08d}\n" for i in range(MB // 18)),
    "accents": "\u00e9" * (MB // 2),
    "letters": "a" * MB,
}
