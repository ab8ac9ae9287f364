"""Task classification: scores, negation, ties, results, TaskType and keyword helpers."""

import numpy as np
import pelrin_native as pn
import pytest
from leaks import assert_no_growth  # noqa: E402

f32 = lambda x: float(np.float32(x))  # noqa: E731 - keyword weights are 32-bit


@pytest.mark.parametrize(
    "classifier, text, task_type, confidence, matched, negated",
    [
        (None, "fix the bug in main.py", pn.TaskType.Edit, 1.0, 1, 0),
        (None, "run the tests", pn.TaskType.Action, 1.0, 2, 0),
        (None, "don't run the tests, just explain the failure", pn.TaskType.Analysis, 1.0, 1, 2),
        (None, "find and fix the bug", pn.TaskType.Search, 1.1 / (1.1 + 1.0 * ((1 - 9 / 20) * 0.1 + 1)), 2, 0),
        (None, "hello there", pn.TaskType.Default, 0.0, 0, 0),
        (None, "", pn.TaskType.Default, 0.0, 0, 0),
        (pn.TaskClassifier(position_weight=0.0), "find fix", pn.TaskType.Edit, 0.5, 2, 0),
        (pn.TaskClassifier(negation_radius=0), "not fix", pn.TaskType.Edit, 1.0, 1, 0),
        (pn.TaskClassifier(negation_radius=4), "not fix", pn.TaskType.Default, 0.0, 0, 1),
        # five categories, one match each, nearly equal: the best share is below 0.3
        (pn.TaskClassifier(0.0), "grep fix create analyze execute", pn.TaskType.Default, 0.2, 5, 0),
    ],
    ids=["edit", "action", "negated", "search-beats-edit", "nothing", "empty", "tie-later-wins",
         "radius-zero", "radius-reaches", "below-threshold"],
)
def test_classify(classifier, text, task_type, confidence, matched, negated):
    r = (classifier or pn.TaskClassifier()).classify(text)
    assert r.task_type is task_type
    assert r.confidence == pytest.approx(confidence, rel=1e-12)
    assert (r.matched_count, r.negated_count) == (matched, negated)
    if classifier is None:
        assert pn.classify_task(text).confidence == r.confidence


def test_action_score_uses_32_bit_weights():
    # "run" (0.9) at 0 and "test" (0.8) at 8 of 13 bytes; Action is the only category.
    expected = f32(0.9) * 1.1 + f32(0.8) * ((1 - 8 / 13) * 0.1 + 1)
    assert expected == pytest.approx(1.8208, abs=1e-4)
    r = pn.classify_task("run the tests, run")
    assert r.needs_execution and r.recommended_tool_budget == 15


def test_result_fields_and_repr():
    r = pn.classify_task("fix the bug in main.py")
    assert repr(r) == "ClassificationResult(type=Edit, confidence=1.00, matches=1, negated=0)"
    assert (r.recommended_tool_budget, r.is_action_task, r.is_analysis_task, r.is_generation_task,
            r.needs_execution) == (15, True, False, False, False)
    d = pn.classify_task("hello").to_legacy_dict()
    assert list(d.items()) == [("is_action_task", False), ("is_analysis_task", False), ("needs_execution", False),
                               ("coarse_task_type", "default"), ("confidence", 0.0), ("source", "native"),
                               ("task_type", "default")]
    assert pn.classify_task("fix").to_legacy_dict() == {
        "is_action_task": True, "is_analysis_task": False, "needs_execution": False, "coarse_task_type": "action",
        "confidence": 1.0, "source": "native", "task_type": "edit"}
    with pytest.raises(TypeError):
        pn.ClassificationResult()


@pytest.mark.parametrize(
    "text, budget, flags, coarse",
    [("create a file", 20, (True, False, True, False), "action"),
     ("explain this", 30, (False, True, False, False), "analysis"),
     ("where is it", 10, (False, True, False, False), "analysis")],
    ids=["generation", "analysis", "search"],
)
def test_budgets_and_flags(text, budget, flags, coarse):
    r = pn.classify_task(text)
    assert r.recommended_tool_budget == budget
    assert (r.is_action_task, r.is_analysis_task, r.is_generation_task, r.needs_execution) == flags
    assert r.to_legacy_dict()["coarse_task_type"] == coarse


def test_task_type_enum():
    assert pn.TaskType.Edit == 4 and pn.TaskType.Edit != pn.TaskType.Search
    assert str(pn.TaskType.Search) == "search" and repr(pn.TaskType.Default) == "TaskType.Default"
    assert int(pn.TaskType.Generation) == 2
    assert pn.classify_task("fix").task_type is pn.TaskType.Edit
    with pytest.raises(TypeError):
        hash(pn.TaskType.Edit)
    with pytest.raises(TypeError):
        pn.TaskType()


@pytest.mark.parametrize(
    "fn, text, expected",
    [(pn.has_negation, "nothing", True), (pn.has_negation, "yes", False),
     (pn.has_generation_keywords, "ADDRESS", True), (pn.has_action_keywords, "deploy it", True),
     (pn.has_action_keywords, "hello", False), (pn.has_analysis_keywords, "What Is this", True)],
)
def test_has_keywords(fn, text, expected):
    assert fn(text) is expected


def test_find_all_keywords():
    assert pn.find_all_keywords("Run tests") == [(0, 3, "Run", "action"), (4, 8, "test", "action")]
    # Offsets are bytes; the list is in text order across categories.
    assert pn.find_all_keywords("é add new") == [(3, 6, "add", "generation"), (7, 10, "new", "generation")]
    assert pn.find_all_keywords("update") == [(0, 6, "update", "edit")]
    assert [k[3] for k in pn.find_all_keywords("list start")] == ["search", "action"]


def test_legacy_dict_does_not_leak():
    import sys

    r = pn.classify_task("fix it")

    def run():
        for _ in range(10_000):
            r.to_legacy_dict()
            pn.find_all_keywords("run tests")

    assert_no_growth(run, iterations=1, warmup=1, slack=100)
