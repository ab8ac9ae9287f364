// Usage trace scanner: the SessionStats class and the scan functions.
#include "py/trace_scanner.h"

namespace pelrin::py {
namespace {

using trace_scanner::SessionStats;

const PropertyDef kSessionStatsProperties[] = {
    read_only<&SessionStats::session_id>("session_id"),
    read_only<&SessionStats::task_type>("task_type"),
    read_only<&SessionStats::tool_calls>("tool_calls"),
    read_only<&SessionStats::tool_failures>("tool_failures"),
    read_only<&SessionStats::tokens>("tokens"),
    read_only<&SessionStats::completion_score>("completion_score"),
};
const ClassSpec kSessionStatsSpec{"SessionStats",
                                  "Per-session aggregated statistics from usage.jsonl scanning.",
                                  nullptr,
                                  nullptr,
                                  sizeof(Object<SessionStats>),
                                  &dealloc_object<SessionStats>,
                                  {},
                                  kSessionStatsProperties,
                                  {}};

constexpr Param kFilePathParam[] = {{"file_path"}};
constexpr Signature kScanUsageFileSig{
    "scan_usage_file", nullptr, kFilePathParam,
    "Scan a single JSONL file (plain or gzip) and aggregate per-session stats.\n\n"
    "A path ending in \".gz\" is decompressed while it is read. Sessions with at least\n"
    "two tool calls are returned, highest completion score first; unreadable files and\n"
    "malformed lines are skipped."};
constexpr Param kFilePathsParam[] = {{"file_paths"}};
constexpr Signature kScanUsageFilesSig{
    "scan_usage_files", nullptr, kFilePathsParam,
    "Scan multiple JSONL files and merge results.\n\n"
    "The files are read in order into one tally, so a session spread over several\n"
    "files is counted once."};

}  // namespace

PyTypeObject* session_stats_type() { return class_type<SessionStats>(); }

const FunctionDef kScanUsageFile = function<&trace_scanner::scan_usage_file, kScanUsageFileSig>();
const FunctionDef kScanUsageFiles =
    function<&trace_scanner::scan_usage_files, kScanUsageFilesSig>();

ClassDef& ClassOf<SessionStats>::def() {
  static ClassDef d(kSessionStatsSpec);
  return d;
}

}  // namespace pelrin::py
