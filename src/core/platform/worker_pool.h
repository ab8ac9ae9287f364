// The process-wide worker pool: ordered parallel maps over indices.
//
// One pool per process, created on first use, with one worker per processor
// available to the process, or PELRIN_NUM_THREADS workers when that variable
// holds a positive integer. The calling thread waits for the whole step and
// works on it too. Items must not touch Python objects.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/base/result.h"

namespace pelrin::platform {

// Number of threads that take part in a parallel step (caller included).
std::size_t worker_count();

// Calls body(ctx, begin, end) on disjoint ranges covering [0, n), in
// parallel; ranges hold at least `grain` items except the last. Any
// exception thrown by body (a Panic included) is rethrown in the caller
// after the step has stopped.
void parallel_ranges(std::size_t n, std::size_t grain,
                     void (*body)(void* ctx, std::size_t begin, std::size_t end), void* ctx);

// Calls fn(i) for every i in [0, n) on the pool.
template <class F>
void parallel_for(std::size_t n, F&& fn, std::size_t grain = 1) {
  using Fn = std::remove_reference_t<F>;
  parallel_ranges(
      n, grain,
      [](void* ctx, std::size_t begin, std::size_t end) {
        Fn& f = *static_cast<Fn*>(ctx);
        for (std::size_t i = begin; i < end; ++i) f(i);
      },
      const_cast<void*>(static_cast<const void*>(&fn)));
}

// Calls body(begin, end) over [0, n) in consecutive chunks of `chunk` items
// (the last may be shorter): on the pool when `parallel` and there is more
// than one chunk, else in order on this thread.
template <class F>
void for_chunks(std::size_t n, std::size_t chunk, bool parallel, F&& body) {
  if (chunk == 0) chunk = 1;
  const std::size_t chunks = (n + chunk - 1) / chunk;
  auto run = [&](std::size_t c) { body(c * chunk, n - c * chunk < chunk ? n : (c + 1) * chunk); };
  if (parallel && chunks > 1) {
    parallel_for(chunks, run);
  } else {
    for (std::size_t c = 0; c < chunks; ++c) run(c);
  }
}

namespace detail {
template <class R>
struct MapValue {
  using type = R;
};
template <class T>
struct MapValue<Result<T>> {
  using type = T;
};
}  // namespace detail

// Ordered parallel map: element i of the result is fn(i). fn returns a T or
// a Result<T>; when any item fails, the step's result is one of the failing
// items' errors (which one is not fixed) and remaining items are skipped.
template <class F>
auto parallel_map(std::size_t n, F&& fn, std::size_t grain = 1)
    -> Result<std::vector<typename detail::MapValue<std::invoke_result_t<F&, std::size_t>>::type>> {
  using R = std::invoke_result_t<F&, std::size_t>;
  using T = typename detail::MapValue<R>::type;
  std::vector<T> out(n);
  if constexpr (kIsResult<R>) {
    std::atomic<bool> failed{false};
    std::optional<Error> error;
    parallel_for(
        n,
        [&](std::size_t i) {
          if (failed.load(std::memory_order_relaxed)) return;
          R r = fn(i);
          if (r.ok()) {
            out[i] = std::move(r).value();
          } else if (!failed.exchange(true)) {
            error = std::move(r).error();
          }
        },
        grain);
    if (error) return std::move(*error);
  } else {
    parallel_for(n, [&](std::size_t i) { out[i] = fn(i); }, grain);
  }
  return out;
}

}  // namespace pelrin::platform
