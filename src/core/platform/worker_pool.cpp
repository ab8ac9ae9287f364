// The worker pool on oneTBB: one task arena per process, created lazily.
#include "core/platform/worker_pool.h"

#include <tbb/blocked_range.h>
#include <tbb/info.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <cerrno>
#include <cstdlib>

namespace pelrin::platform {
namespace {

int configured_threads() {
  // default_concurrency honours the process's CPU affinity mask, so it is the
  // number of processors available to us rather than the machine's count.
  const int available = tbb::info::default_concurrency();
  const char* env = std::getenv("PELRIN_NUM_THREADS");
  if (env == nullptr || *env == '\0') return available;
  errno = 0;
  char* end = nullptr;
  const long requested = std::strtol(env, &end, 10);
  if (errno != 0 || end == env || *end != '\0' || requested < 1 || requested > 4096) {
    return available;  // an unusable override is ignored rather than failing every call
  }
  return static_cast<int>(requested);
}

tbb::task_arena& arena() {
  // Leaked on purpose: the pool lives until the process ends, and joining
  // workers from a static destructor at exit can deadlock.
  static tbb::task_arena* const pool = [] {
    auto* a = new tbb::task_arena(configured_threads());
    a->initialize();
    return a;
  }();
  return *pool;
}

}  // namespace

std::size_t worker_count() { return static_cast<std::size_t>(arena().max_concurrency()); }

void parallel_ranges(std::size_t n, std::size_t grain,
                     void (*body)(void* ctx, std::size_t begin, std::size_t end), void* ctx) {
  if (n == 0) return;
  if (grain == 0) grain = 1;
  tbb::task_arena& pool = arena();
  if (pool.max_concurrency() <= 1 || n <= grain) {
    body(ctx, 0, n);
    return;
  }
  pool.execute([&] {
    tbb::parallel_for(
        tbb::blocked_range<std::size_t>(0, n, grain),
        [&](const tbb::blocked_range<std::size_t>& r) { body(ctx, r.begin(), r.end()); });
  });
}

}  // namespace pelrin::platform
