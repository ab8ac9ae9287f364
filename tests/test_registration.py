"""The module's registration: names, order, __all__, text signatures, docstrings."""

import pathlib
import shutil
import subprocess

import pytest

import pelrin_native as pn

# The fixed registration order of every public name. Areas not built yet are
# simply absent; those present must keep this relative order.
ORDER = """
__version__ Role ToolCall Usage Message StreamChunk echo_message echo_stream_chunk
rolling_hash_blocks normalize_block find_duplicate_blocks cosine_similarity
batch_cosine_similarity similarity_matrix top_k_similar batch_normalize_vectors
batch_cosine_similarity_normalized top_k_similar_normalized EmbeddingIndex repair_json
extract_json_objects compute_signature compute_batch_signatures signature_similarity
StreamingFilter StreamingChunkResult strip_thinking_tokens contains_thinking_tokens
find_thinking_tokens extract_thinking_content ThinkingDetector PatternAnalysis
detect_circular_phrases count_circular_patterns find_circular_patterns TaskClassifier
ClassificationResult TaskType classify_task has_action_keywords has_analysis_keywords
has_generation_keywords has_negation find_all_keywords chunk_by_sentences chunk_by_chars
chunk_by_paragraphs detect_doc_type count_tokens_approx ChunkInfoNative count_lines
find_line_boundaries line_at_offset chunk_with_overlap SecretMatch scan_secrets has_secrets
get_secret_types mask_secrets list_secret_patterns scan_secrets_summary PatternMatcher
PatternMatch contains_any_pattern find_all_patterns count_pattern_matches
get_matched_pattern_indices batch_contains_any weighted_pattern_score extract_file_path
extract_code_blocks extract_shell_commands extract_tool_call batch_extract_file_paths
sanitize_response is_garbage_content detect_leakage_patterns strip_markup validate_tool_name
QuantizedEmbedding quantize_embedding batch_quantize_embeddings dequantize_embedding
quantized_cosine_similarity batch_quantized_cosine_similarity matmul_vector
batch_matmul_vector random_projection pairwise_distances knn_graph parse_yaml
parse_yaml_with_env parse_yaml_file parse_yaml_file_with_env validate_yaml
extract_workflow_names is_stdlib_module batch_is_stdlib_modules filter_stdlib_imports
extract_identifiers extract_identifiers_with_positions coerce_string_type
batch_coerce_string_types normalize_json_string batch_normalize_json_strings repair_quotes
is_valid_json get_json_type pagerank weighted_pagerank betweenness_centrality
connected_components detect_cycles BpeTokenizer count_tokens_fast count_tokens_fast_batch
MessageSlot FitResult fit_context truncate_message batch_score_messages SessionStats
scan_usage_file scan_usage_files
""".split()

# name -> (text signature, first docstring line) for the functions built so far.
FUNCTIONS = {
    "scan_secrets": ("(text)", "Scan text for secrets"),
    "has_secrets": ("(text)", "Check if text contains any secrets"),
    "get_secret_types": ("(text)", "Get list of secret types found in text"),
    "mask_secrets": ("(text, mask_char='*', visible_chars=4)", "Mask secrets in text with asterisks"),
    "list_secret_patterns": ("()", "Get all available secret pattern names"),
    "scan_secrets_summary": ("(text)", "Scan and return summary statistics"),
    "extract_file_path": ("(text)", "Extract a file path from text."),
    "extract_code_blocks": ("(text)", "Extract code blocks from text (fenced and indented)."),
    "extract_shell_commands": ("(text)", "Extract shell commands from text."),
    "extract_tool_call": ("(text, tool_name, current_file=None)", "Extract a tool call from text for a specific tool."),
    "batch_extract_file_paths": ("(texts)", "Extract file paths from multiple texts (batch operation)."),
    "sanitize_response": ("(text)", "Sanitize model response by removing malformed patterns."),
    "is_garbage_content": ("(content)", "Detect if content is garbage/malformed output."),
    "detect_leakage_patterns": ("(text)", "Detect training data leakage patterns in text."),
    "strip_markup": ("(text)", "Remove XML/HTML-like tags to salvage plain text."),
    "validate_tool_name": ("(name)", "Validate a tool name is not a hallucination."),
    "is_stdlib_module": ("(module_name)", "Check if a module name is a standard library module."),
    "batch_is_stdlib_modules": ("(module_names)", "Check multiple module names for stdlib membership."),
    "filter_stdlib_imports": ("(imports)", "Partition imports into stdlib and non-stdlib."),
    "extract_identifiers": ("(source)", "Extract all unique identifier references from source code."),
    "extract_identifiers_with_positions": ("(source)", "Extract identifiers with their positions."),
    "echo_message": ("(msg)", "Echo a Message back unchanged"),
    "echo_stream_chunk": ("(chunk)", "Echo a StreamChunk back unchanged."),
    "repair_json": ("(input)", "Repair malformed JSON by converting Python-style syntax to valid JSON."),
    "extract_json_objects": ("(text)", "Extract JSON objects from mixed text content."),
    "coerce_string_type": ("(value)", "Coerce a string value to its likely type."),
    "batch_coerce_string_types": ("(values)", "Batch coerce multiple string values."),
    "normalize_json_string": ("(value)", "Normalize a potentially malformed JSON string."),
    "batch_normalize_json_strings": ("(values)", "Batch normalize multiple JSON strings."),
    "repair_quotes": ("(value)", "Repair mismatched or incorrect quotes in JSON."),
    "is_valid_json": ("(value)", "Check if a string is valid JSON."),
    "get_json_type": ("(value)", "Extract the type of a JSON value as a string."),
    "cosine_similarity": ("(a, b)", "Compute cosine similarity between two vectors."),
    "batch_cosine_similarity": ("(query, corpus)",
                                "Compute cosine similarity between a query vector and multiple corpus vectors."),
    "similarity_matrix": ("(queries, corpus, normalize=True)", ""),
    "top_k_similar": ("(query, corpus, k=10)", "Find top-k most similar vectors from a corpus."),
    "batch_normalize_vectors": ("(vectors)", ""),
    "batch_cosine_similarity_normalized": ("(query, normalized_corpus)", ""),
    "top_k_similar_normalized": ("(query, normalized_corpus, k=10)",
                                 "Find top-k similar vectors from a pre-normalized corpus."),
    "quantize_embedding": ("(embedding)", "Quantize a float32 embedding to int8."),
    "batch_quantize_embeddings": ("(embeddings)", "Batch quantize multiple embeddings."),
    "dequantize_embedding": ("(quantized)", "Dequantize a quantized embedding back to float32."),
    "quantized_cosine_similarity": ("(a, b)", "Compute cosine similarity between two quantized embeddings."),
    "batch_quantized_cosine_similarity": ("(query, corpus)",
                                          "Batch cosine similarity between a query and quantized corpus."),
    "matmul_vector": ("(matrix, vector)", "Matrix-vector multiplication using SIMD."),
    "batch_matmul_vector": ("(matrix, vectors)", "Batch matrix-vector multiplication."),
    "random_projection": ("(embeddings, target_dim, seed=42)",
                          "Project embeddings to lower dimension using random projection."),
    "pairwise_distances": ("(embeddings)", "Compute pairwise distances for a set of embeddings."),
    "knn_graph": ("(embeddings, k=5)", "Find k-nearest neighbors for each embedding in a corpus."),
    "count_tokens_fast": ("(text)", "Fast approximate token count (~90% accuracy)."),
    "count_tokens_fast_batch": ("(texts)", "Count tokens for a batch of texts using the fast heuristic."),
    "scan_usage_file": ("(file_path)", "Scan a single JSONL file (plain or gzip) and aggregate per-session stats."),
    "scan_usage_files": ("(file_paths)", "Scan multiple JSONL files and merge results."),
    "strip_thinking_tokens": ("(content)", "Strip all thinking tokens from content (batch processing)."),
    "contains_thinking_tokens": ("(content)", "Check if content contains any thinking tokens."),
    "find_thinking_tokens": ("(content)", "Find all thinking token positions in content."),
    "extract_thinking_content": ("(content)", "Extract thinking content from a complete response."),
    "detect_circular_phrases": ("(text)", "Detect circular phrases using Aho-Corasick."),
    "count_circular_patterns": ("(text)", "Count circular patterns in text."),
    "find_circular_patterns": ("(text)", "Find all circular pattern matches."),
    "classify_task": ("(text)", "Classify a task using default settings (convenience function)."),
    "has_action_keywords": ("(text)", "Check if text contains action keywords."),
    "has_analysis_keywords": ("(text)", "Check if text contains analysis keywords."),
    "has_generation_keywords": ("(text)", "Check if text contains generation keywords."),
    "has_negation": ("(text)", "Check if text contains negation patterns."),
    "find_all_keywords": ("(text)", "Find all keyword matches in text (Python FFI version with owned strings)."),
    "contains_any_pattern": ("(text, patterns, case_insensitive=True)",
                             "Quick function to check if text contains any of the patterns"),
    "find_all_patterns": ("(text, patterns, case_insensitive=True)",
                          "Quick function to find all pattern matches in text (zero-copy internal)"),
    "count_pattern_matches": ("(text, patterns, case_insensitive=True)", "Quick function to count pattern matches"),
    "get_matched_pattern_indices": ("(text, patterns, case_insensitive=True)",
                                    "Quick function to get indices of matched patterns"),
    "batch_contains_any": ("(texts, patterns, case_insensitive=True)",
                           "Batch check multiple texts against the same patterns"),
    "weighted_pattern_score": ("(text, patterns, weights, case_insensitive=True)",
                               "Calculate a weighted score for pattern matches"),
}

# name -> (text signature or None without a constructor, first docstring line).
CLASSES: dict[str, tuple[str | None, str]] = {
    "SecretMatch": (None, "Secret match result"),
    "BpeTokenizer": ("(name, ranks_data, special_tokens)", "A BPE tokenizer that accepts pre-computed merge ranks."),
    "Role": (None, "Sender role for a chat message (mirrors ``pelrin_protocol::Role``)."),
    "ToolCall": ("(id, name, arguments=...)",
                 "A tool invocation requested by the model (mirrors ``pelrin_protocol::ToolCall``)."),
    "Usage": ("(prompt_tokens=0, completion_tokens=0, total_tokens=0)",
              "Token usage statistics (mirrors ``pelrin_protocol::Usage``)."),
    "Message": ("(role, content=None, tool_calls=None, tool_call_id=None)",
                "A chat message (mirrors ``pelrin_protocol::Message``)."),
    "StreamChunk": ("(content=None, tool_calls=None, is_final=False, usage=None)",
                    "A chunk from a streaming response (mirrors ``pelrin_protocol::StreamChunk``)."),
    "EmbeddingIndex": ("(vectors, labels)", "Pre-normalized embedding corpus for batch similarity queries."),
    "QuantizedEmbedding": ("(data, scale, zero_point)", "Quantized embedding representation using int8."),
    "SessionStats": (None, "Per-session aggregated statistics from usage.jsonl scanning."),
    "StreamingFilter": ("(suppress_thinking=False, max_thinking_content=50000)",
                        "High-performance streaming content filter."),
    "StreamingChunkResult": (None, "Result of processing a streaming chunk"),
    "ThinkingDetector": ("(repetition_threshold=3, similarity_threshold=0.65, window_size=10, stalling_threshold=2)",
                         "High-performance thinking pattern detector."),
    "PatternAnalysis": (None, "Detection result"),
    "TaskClassifier": ("(position_weight=0.1, negation_radius=20)",
                       "Fast task classifier using Aho-Corasick multi-pattern matching."),
    "ClassificationResult": (None, "Classification result with confidence and metadata"),
    "TaskType": (None, "Task type enumeration"),
    "PatternMatcher": ("(patterns, case_insensitive=True)", "Fast multi-pattern matcher using Aho-Corasick algorithm"),
    "PatternMatch": (None, "Owned version of PatternMatch for Python compatibility"),
}


def test_order_table_is_complete():
    assert len(ORDER) == 124 and len(set(ORDER)) == 124


def test_all_follows_the_registration_order():
    assert pn.__all__[0] == "__version__"
    positions = [ORDER.index(name) for name in pn.__all__]
    assert positions == sorted(positions), "a name is registered out of order"
    assert len(pn.__all__) == len(set(pn.__all__))
    for name in pn.__all__:
        assert hasattr(pn, name)
    assert set(pn.__all__) == set(FUNCTIONS) | set(CLASSES) | {"__version__"}


def test_version():
    assert pn.__version__ == "0.12.0"


@pytest.mark.parametrize("name", sorted(FUNCTIONS))
def test_function(name):
    fn = getattr(pn, name)
    signature, first_line = FUNCTIONS[name]
    assert fn.__module__ == "pelrin_native"
    assert fn.__self__ is pn
    assert fn.__qualname__ == name
    assert fn.__text_signature__ == signature
    assert ((fn.__doc__ or "").splitlines() or [""])[0] == first_line


@pytest.mark.parametrize("name", sorted(CLASSES))
def test_class(name):
    cls = getattr(pn, name)
    signature, first_line = CLASSES[name]
    assert cls.__module__ == "builtins"
    assert cls.__qualname__ == cls.__name__ == name
    assert cls.__text_signature__ == signature
    assert cls.__doc__.splitlines()[0] == first_line
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})


def test_module_docstring():
    lines = pn.__doc__.splitlines()
    assert lines[0] == "Pelrin Native Extensions Module"
    assert lines[1] == ""


def test_only_the_init_symbol_is_exported():
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm (binutils) is not installed")
    out = subprocess.run([nm, "-D", "--defined-only", pn.__file__], capture_output=True, text=True, check=True)
    symbols = [line.split()[-1] for line in out.stdout.splitlines() if line.strip()]
    assert symbols == ["PyInit_pelrin_native"], symbols


def test_second_import_reuses_the_module_objects():
    import importlib.util
    import sys

    module_spec = importlib.util.spec_from_file_location("pelrin_native", pathlib.Path(pn.__file__))
    again = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(again)
    assert again.__all__ == pn.__all__
    assert again is not sys.modules["pelrin_native"]
