// The worker pool: order of results, error and panic transport.
#include "core/platform/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <set>
#include <thread>

#include "core/base/panic.h"

namespace pelrin::platform {
namespace {

TEST(WorkerPool, MapKeepsInputOrder) {
  for (std::size_t n : {0u, 1u, 2u, 7u, 1000u, 100003u}) {
    for (std::size_t grain : {1u, 3u, 4096u}) {
      auto r = parallel_map(n, [](std::size_t i) { return i * 3 + 1; }, grain);
      ASSERT_TRUE(r.ok());
      ASSERT_EQ(r->size(), n);
      for (std::size_t i = 0; i < n; ++i) ASSERT_EQ((*r)[i], i * 3 + 1);
    }
  }
}

TEST(WorkerPool, EveryIndexRunsOnce) {
  constexpr std::size_t n = 50000;
  std::vector<std::atomic<int>> hits(n);
  parallel_for(n, [&](std::size_t i) { hits[i].fetch_add(1); });
  for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(hits[i].load(), 1) << i;
}

TEST(WorkerPool, ErrorOfAnyItemIsTheResult) {
  auto r = parallel_map(10000, [](std::size_t i) -> Result<int> {
    if (i % 997 == 500) return Error::value("bad " + std::to_string(i));
    return static_cast<int>(i);
  });
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().kind, ErrorKind::kValue);
  EXPECT_EQ(r.error().message.rfind("bad ", 0), 0u);
}

TEST(WorkerPool, PanicReachesTheCaller) {
  EXPECT_THROW(parallel_for(100000, [](std::size_t i) { PELRIN_CHECK(i != 4242); }), Panic);
  try {
    parallel_for(100000, [](std::size_t i) {
      if (i == 99999) panic("last item");
    });
    FAIL() << "no panic";
  } catch (const Panic& p) {
    EXPECT_STREQ(p.what(), "last item");
  }
  // Still usable afterwards.
  auto r = parallel_map(100, [](std::size_t i) { return i; });
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(std::accumulate(r->begin(), r->end(), std::size_t{0}), 4950u);
}

TEST(WorkerPool, ChunksCoverTheRangeOnce) {
  for (bool parallel : {false, true}) {
    for (std::size_t n : {0u, 1u, 7u, 64u, 1001u}) {
      std::vector<std::atomic<int>> hits(n);
      std::atomic<std::size_t> calls{0};
      for_chunks(n, 64, parallel, [&](std::size_t begin, std::size_t end) {
        ASSERT_LT(begin, end);
        ASSERT_LE(end - begin, 64u);
        calls.fetch_add(1);
        for (std::size_t i = begin; i < end; ++i) hits[i].fetch_add(1);
      });
      for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(hits[i].load(), 1);
      EXPECT_EQ(calls.load(), (n + 63) / 64);
    }
  }
}

TEST(WorkerPool, UsesMoreThanTheCallerWhenProcessorsAllowIt) {
  if (worker_count() < 2) GTEST_SKIP() << "one processor";
  std::mutex mu;
  std::set<std::thread::id> ids;
  parallel_for(
      64,
      [&](std::size_t) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard<std::mutex> lock(mu);
        ids.insert(std::this_thread::get_id());
      },
      1);
  EXPECT_GE(ids.size(), 2u);
}

}  // namespace
}  // namespace pelrin::platform
