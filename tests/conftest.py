"""Test set-up: makes the test-only extension importable from the build tree."""

import os
import pathlib
import sys

_build = os.environ.get("PELRIN_TEST_BUILD_DIR")
if _build:
    sys.path.insert(0, str(pathlib.Path(_build) / "testing"))

# Shared test data modules (adversarial inputs) live beside this file.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
