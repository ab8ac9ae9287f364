"""The float32 model of the similarity tests is shared with these tests."""

import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "similarity"))
