// Recovering action arguments from prose: file paths, code blocks and shell
// commands. All patterns are compiled once per process and shared by
// threads; results view or copy parts of the input text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/regex.h"

namespace pelrin::extractor {

// The four path patterns in the order they are tried.
const std::vector<platform::Regex>& FILE_PATH_PATTERNS();
const platform::Regex& CODE_BLOCK_PATTERN();
const platform::Regex& INDENTED_CODE_PATTERN();
const std::vector<platform::Regex>& SHELL_COMMAND_PATTERNS();

// Group 1 of the first match of the first path pattern that matches at all
// (an earlier pattern wins even if a later one matches earlier), or nullopt.
std::optional<std::string_view> extract_file_path(std::string_view text);

// extract_file_path of every text in order; on the worker pool from 10 texts.
std::vector<std::optional<std::string_view>> batch_extract_file_paths(
    const std::vector<std::string_view>& texts);

// The trimmed, non-empty contents of the fenced blocks in text order; when
// there is none, the indented blocks with their common indentation removed.
// Removing the common indentation never splits a character: a cut inside a
// multi-byte white-space character removes that whole character.
std::vector<std::string> extract_code_blocks(std::string_view text);

// Trimmed, non-empty commands: all fenced shell blocks, then all "run:" /
// "execute:" / "command:" quotations, then all "$ " prompt lines.
std::vector<std::string_view> extract_shell_commands(std::string_view text);

// text without leading and trailing Unicode White_Space.
std::string_view trim_white_space(std::string_view text) noexcept;

}  // namespace pelrin::extractor
