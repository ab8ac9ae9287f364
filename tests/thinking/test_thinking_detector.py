"""ThinkingDetector loop rules, guidance texts, statistics and the circular phrases."""

import pelrin_native as pn
import pytest
from leaks import assert_no_growth  # noqa: E402

NEUTRAL = "Considering the parser design options carefully"
GENERAL_LOOP = "Take a different approach or proceed with action. Repeated thinking without progress is unproductive."


def record_all(detector, blocks):
    return [detector.record_thinking(b) for b in blocks]


def test_exact_repetition_with_defaults():
    d = pn.ThinkingDetector()
    assert record_all(d, [NEUTRAL] * 3) == [(False, ""), (False, ""), (
        True, "LOOP DETECTED (exact_repetition): You've repeated this thought pattern 3 times. " + GENERAL_LOOP)]
    s = d.get_stats()
    assert list(s) == ["total_analyzed", "loops_detected", "exact_matches", "similar_matches", "stalling_detected",
                       "consecutive_stalls", "detection_rate", "history_size", "unique_patterns"]
    assert (s["total_analyzed"], s["loops_detected"], s["exact_matches"], s["history_size"],
            s["unique_patterns"]) == (3, 1, 1, 3, 1)
    assert s["detection_rate"] == 1 / 3


def test_whitespace_is_normalised_but_case_is_not():
    d = pn.ThinkingDetector(similarity_threshold=2.0)  # semantic rule off
    variants = [NEUTRAL, "  Considering the\nparser\u3000design  options carefully ", NEUTRAL.upper()]
    results = record_all(d, variants)
    assert [r[0] for r in results] == [False, False, False]
    assert d.get_stats()["unique_patterns"] == 2
    assert d.record_thinking(NEUTRAL)[0] is True  # third time for that content


def test_semantic_repetition():
    # Same keywords (stopwords and short words dropped, case folded), different text.
    d = pn.ThinkingDetector()
    blocks = ["Parser design options", "the PARSER design, options!", "options: parser design"]
    assert record_all(d, blocks)[2] == (
        True, "LOOP DETECTED (semantic, 100% similar): You've repeated this thought pattern 3 times. "
        + GENERAL_LOOP)
    assert d.get_stats()["similar_matches"] == 1


def test_stalling():
    d = pn.ThinkingDetector()
    assert d.record_thinking("Let me check the config.") == (False, "")
    assert d.record_thinking("Now I will read it.") == (
        True, "STALLING DETECTED: You've stated your intent 2 times without taking action. STOP saying 'let me "
        "read' - EXECUTE the read tool NOW. If you've already read the file, use that content.")
    # The run is not cleared by the report: the next stall reports with count 3.
    assert d.record_thinking("First, search for it").__getitem__(1).startswith(
        "STALLING DETECTED: You've stated your intent 3 times without taking action. STOP saying 'let me search'")
    s = d.get_stats()
    assert (s["stalling_detected"], s["consecutive_stalls"], s["unique_patterns"]) == (2, 3, 1)


@pytest.mark.parametrize(
    "content, stalls",
    [("Okay. Let me check", False), ("  first, the plan", True), ("nowhere to go", True),
     ("Plan\nlet me see", False), ("I'll do it\r\nmore", True), ("", False), ("   .let me", False)],
)
def test_stalling_test(content, stalls):
    d = pn.ThinkingDetector(stalling_threshold=1)
    assert d.record_thinking(content)[1].startswith("STALLING") is stalls


@pytest.mark.parametrize(
    "loop_type, content, advice",
    [
        ("stalling", "let me search around", "STOP saying 'let me search' - EXECUTE the search tool NOW. State "
         "your query and run the search."),
        ("stalling", "i should understand it", "STOP saying 'let me analyze' - provide your analysis NOW. Use "
         "the information you have."),
        ("stalling", "i need to implement it", "STOP planning - EXECUTE the edit/write tool NOW. Write the code "
         "based on what you know."),
        ("stalling", "now go", "STOP stating intent - TAKE ACTION NOW. Execute a tool or provide your response."),
        ("exact", "ALREADY done", "You've already read this file. Use the content you have. If you need specific "
         "information, state what you're looking for."),
        ("exact", "look for it", "You've already searched for this. Either use the results you have or try a "
         "different search query."),
        ("exact", "EXAMINE it", "You've analyzed this enough. Proceed with your current understanding and take "
         "action."),
        ("exact", "write code", "Stop planning and start implementing. Write the code now based on what you "
         "know."),
    ],
)
def test_guidance_by_category(loop_type, content, advice):
    d = pn.ThinkingDetector(repetition_threshold=1, stalling_threshold=1)
    is_loop, message = d.record_thinking(content)
    assert is_loop and message.endswith(advice)
    assert message.startswith("STALLING" if loop_type == "stalling" else "LOOP DETECTED (exact_repetition)")


def test_similarity_percentage_rounds_half_to_even():
    # 1/8 overlap -> 12.5% -> "12"; two prior blocks reach the threshold of 3 - 1.
    words = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel"]
    d = pn.ThinkingDetector(similarity_threshold=0.1)
    d.record_thinking("alpha zulu")
    d.record_thinking("alpha yankee")
    _, message = d.record_thinking(" ".join(words))
    assert message.startswith("LOOP DETECTED (semantic, 11% similar)")  # 1/9 union
    d2 = pn.ThinkingDetector(similarity_threshold=0.1)
    d2.record_thinking("alpha " + " ".join(w + "x" for w in words[1:4]))
    d2.record_thinking("alpha " + " ".join(w + "y" for w in words[1:4]))
    _, message = d2.record_thinking(" ".join(words[:5]))
    assert message.startswith("LOOP DETECTED (semantic, 12% similar)")  # 1/8 union


def test_empty_content_and_windows():
    d = pn.ThinkingDetector()
    assert [r[0] for r in record_all(d, ["", "", ""])] == [False, False, True]
    w = pn.ThinkingDetector(window_size=0)
    record_all(w, ["one thing", "another thing", "third item"])
    assert w.get_stats()["history_size"] == 1
    r = pn.ThinkingDetector(repetition_threshold=1)
    assert r.record_thinking("a unique block").__getitem__(1).startswith(
        "LOOP DETECTED (exact_repetition): You've repeated this thought pattern 1 times.")


def test_clear_stats_and_reset():
    d = pn.ThinkingDetector()
    record_all(d, [NEUTRAL, NEUTRAL, "let me go"])
    d.clear_stats()
    s = d.get_stats()
    assert (s["total_analyzed"], s["loops_detected"], s["detection_rate"], s["history_size"],
            s["unique_patterns"], s["consecutive_stalls"]) == (0, 0, 0.0, 3, 2, 1)
    assert d.record_thinking(NEUTRAL)[0] is True  # repetition counts survived
    d.reset()
    s = d.get_stats()
    assert (s["total_analyzed"], s["history_size"], s["unique_patterns"], s["consecutive_stalls"]) == (1, 0, 0, 0)
    assert d.record_thinking(NEUTRAL) == (False, "")
    assert pn.ThinkingDetector().get_stats()["detection_rate"] == 0.0


def test_unicode_keywords():
    # Full lower-casing and Unicode letters: "ΣΟΦΟΣ" and "σοφος" share a keyword.
    d = pn.ThinkingDetector(repetition_threshold=2, similarity_threshold=1.0)
    d.record_thinking("ΣΟΦΟΣ")
    assert d.record_thinking("σοφος")[1].startswith("LOOP DETECTED (semantic, 100% similar)")


@pytest.mark.parametrize(
    "text, expected",
    [
        ("Now let me read it", [(0, 10, "Now let me")]),
        ("é Let Me Check", [(3, 15, "Let Me Check")]),
        ("I'll read. I need to read", [(0, 9, "I'll read"), (11, 25, "I need to read")]),
        ("nothing here", []),
    ],
    ids=["earliest-end", "bytes-and-case", "several", "none"],
)
def test_circular_phrases(text, expected):
    assert pn.find_circular_patterns(text) == expected
    assert pn.count_circular_patterns(text) == len(expected)
    assert pn.detect_circular_phrases(text) is bool(expected)


def test_classes():
    with pytest.raises(TypeError):
        pn.PatternAnalysis()
    with pytest.raises(OverflowError):
        pn.ThinkingDetector(window_size=-1)


def test_stats_do_not_leak():
    import sys

    d = pn.ThinkingDetector()

    def run():
        for _ in range(10_000):
            d.get_stats()
            d.record_thinking("a block")

    assert_no_growth(run, iterations=1, warmup=1, slack=100)
