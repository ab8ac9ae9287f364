// A hand-written splitter that gives exactly the pieces of the BPE
// pre-tokenization pattern (the pattern stays the reference: tests and a
// fuzz target compare the two on arbitrary text).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/platform/regex.h"

namespace pelrin::tokenizer {

// Character classes as the pattern sees them.
enum CharClass : std::uint8_t { kOther = 0, kLetter = 1, kNumber = 2, kSpace = 3 };

// The class of a code point: letters and numbers from the regex engine's
// own Unicode tables (read once, so both splitters always agree), white
// space from the fixed White_Space set.
CharClass char_class(char32_t cp) noexcept;

// Byte length of the pre-tokenization piece that starts at `start` of
// `segment` (valid UTF-8, start < segment.size()); "$" is the segment's end.
std::size_t piece_end(std::string_view segment, std::size_t start) noexcept;

// Calls on_piece(piece) for each piece of segment, left to right.
template <class F>
void split_pieces(std::string_view segment, F&& on_piece) {
  std::size_t i = 0;
  while (i < segment.size()) {
    const std::size_t end = piece_end(segment, i);
    on_piece(segment.substr(i, end - i));
    i = end;
  }
}

// The pieces as spans (for tests and fuzzing).
std::vector<platform::Span> split_piece_spans(std::string_view segment);

}  // namespace pelrin::tokenizer
