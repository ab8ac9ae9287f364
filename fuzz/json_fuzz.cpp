// Fuzzes the strict reader, the writer and the repair pass against their
// properties: tree and validating readers agree, written JSON reads back to
// the same text, repaired and extracted texts are what they claim.
//
// Build and run: see fuzz/README.md (`cmake --preset fuzz`), then
//   build/fuzz/fuzz/json_fuzz -max_total_time=300 -max_len=4096 fuzz/corpus/json
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/arg_normalizer/normalizer.h"
#include "core/json_repair/repair.h"
#include "core/platform/json.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool has_python_marks(std::string_view s) {
  return s.find('\'') != std::string_view::npos || s.find("True") != std::string_view::npos ||
         s.find("False") != std::string_view::npos || s.find("None") != std::string_view::npos;
}

void reader_properties(std::string_view text) {
  using namespace pelrin::json;
  const ParseResult parsed = parse(text);
  const ValidateResult validated = validate(text);
  check(parsed.ok == validated.ok);
  if (!parsed.ok) {
    check(parsed.error.message() == validated.error.message());
    return;
  }
  check(parsed.value.kind() == validated.kind);
  const std::string written = write(parsed.value);
  const ParseResult again = parse(written);
  check(again.ok);
  check(again.value == parsed.value);
  check(write(again.value) == written);
}

void repair_properties(std::string_view text) {
  using namespace pelrin;
  const std::string repaired = json_repair::repair_json_internal(text);
  if (!has_python_marks(text)) check(repaired == text);
  // The pass split in steps gives the same output as in one go.
  json_repair::RepairPass pass(text);
  std::size_t step = 1;
  while (!pass.done()) pass.run_until(pass.output().size() + step++);
  check(pass.output() == repaired);

  std::uint64_t last_end = 0;
  for (const auto& [start, end, json] : json_repair::extract_json_objects(text)) {
    check(start >= last_end && start < end && end <= text.size());
    check(pelrin::json::is_valid(json));
    const std::string_view source = text.substr(start, end - start);
    check(json == source || json == json_repair::repair_json_internal(source));
    last_end = end;
  }
  const auto [normalized, ok] = arg_normalizer::normalize_json_string(text);
  check(ok ? json::is_valid(normalized) : normalized == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const bool wrap = provider.ConsumeBool();
  std::string text = provider.ConsumeRemainingBytesAsString();
  if (wrap) text = "{\"k\": [" + text + "]}";
  reader_properties(text);
  repair_properties(text);
  return 0;
}
