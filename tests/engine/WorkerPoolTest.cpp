#include "engine/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sched.h>
#endif

namespace meridia {
namespace {

// Waits up to five seconds for the condition; false if it never came.
template <typename Condition> bool WithinSeconds(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) {
      return false;
    }
    std::this_thread::yield();
  }
  return true;
}

TEST(WorkerPool, EveryItemOfEveryBatchRunsOnceAndIsDoneWhenWaitReturns) {
  for (const int32_t threads : {0, 1, 2, 4}) {
    TWorkerPool pool(threads);
    EXPECT_EQ(pool.Threads(), std::max(threads, 1));
    for (int batch = 0; batch < 300; ++batch) {
      const int32_t count = batch % 17;
      std::vector<std::atomic<int>> runs(static_cast<size_t>(count));
      pool.Run(count, [&](int32_t item) {
        if (item == count - 1 && batch % 50 == 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(2)); // finishes last
        }
        runs[static_cast<size_t>(item)].fetch_add(1);
      });
      for (int32_t k = 0; k < count; ++k) {
        ASSERT_EQ(runs[static_cast<size_t>(k)].load(), 1)
            << threads << " threads, batch " << batch << ", item " << k;
      }
    }
  }
}

TEST(WorkerPool, ItemsRunTogetherWhileTheCallerGoesOnAndOneThreadKeepsThemAllAtHome) {
  TWorkerPool pool(3);
  std::atomic<int> arrived{0};
  std::atomic<bool> caller_went_on{false};
  std::atomic<int> met_all{0}, saw_caller{0};
  const TWorkerPool::BatchRef batch = pool.Start(3, [&](int32_t) {
    ++arrived;
    met_all += WithinSeconds([&] { return arrived.load() == 3; });
    saw_caller += WithinSeconds([&] { return caller_went_on.load(); });
  });
  caller_went_on = true; // only the waiting thread can be the third
  pool.Wait(batch);
  EXPECT_EQ(met_all.load(), 3);
  EXPECT_EQ(saw_caller.load(), 3);

  TWorkerPool alone(1);
  std::set<std::thread::id> ran_on;
  alone.Run(20, [&](int32_t) { ran_on.insert(std::this_thread::get_id()); });
  EXPECT_EQ(ran_on, std::set<std::thread::id>{std::this_thread::get_id()});
}

TEST(WorkerPool, BatchesOutTogetherAreWaitedForAloneAndWorkForNowGoesFirst) {
  TWorkerPool pool(2); // one worker, so the order it takes items in is seen
  std::mutex order_mutex;
  std::vector<int> order;
  auto record = [&](int what) {
    const std::lock_guard lock(order_mutex);
    order.push_back(what);
  };
  std::atomic<bool> entered{false}, release{false};
  // The worker is held in the first item ahead while the other batches are started.
  const TWorkerPool::BatchRef ahead = pool.Start(
      4,
      [&](int32_t item) {
        if (item == 0) {
          entered = true;
          EXPECT_TRUE(WithinSeconds([&] { return release.load(); }));
        }
        record(100 + item);
      },
      TWorkerPool::Priority::kAhead);
  ASSERT_TRUE(WithinSeconds([&] { return entered.load(); }));
  const TWorkerPool::BatchRef now = pool.Start(3, [&](int32_t item) { record(item); });
  const TWorkerPool::BatchRef none = pool.Start(0, [&](int32_t) { record(-1); });
  EXPECT_TRUE(pool.Finished(none));
  EXPECT_FALSE(pool.Finished(now));
  release = true;
  ASSERT_TRUE(WithinSeconds([&] { return pool.Finished(ahead); }));
  EXPECT_TRUE(pool.Finished(now));
  EXPECT_EQ(order, (std::vector<int>{100, 0, 1, 2, 101, 102, 103}));

  // Waiting for one batch leaves another out, held by an item that is still running.
  entered = release = false;
  const TWorkerPool::BatchRef held = pool.Start(1, [&](int32_t) {
    entered = true;
    EXPECT_TRUE(WithinSeconds([&] { return release.load(); }));
  });
  ASSERT_TRUE(WithinSeconds([&] { return entered.load(); }));
  std::atomic<int> runs{0};
  pool.Run(5, [&](int32_t) { ++runs; });
  EXPECT_EQ(runs.load(), 5);
  EXPECT_FALSE(pool.Finished(held));
  release = true;
  pool.Wait(held);
  EXPECT_TRUE(pool.Finished(held));
}

TEST(WorkerPool, TheSharedPoolExistsBetweenStartAndStopSizedByTheProcessorsAllowed) {
  EXPECT_GE(DefaultWorkerThreads(), 1);
  EXPECT_LE(DefaultWorkerThreads(), 8);
#ifdef __linux__
  cpu_set_t allowed, one;
  ASSERT_EQ(sched_getaffinity(0, sizeof(allowed), &allowed), 0);
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &allowed)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
  EXPECT_EQ(DefaultWorkerThreads(), 1) << "held to one processor";
  sched_setaffinity(0, sizeof(allowed), &allowed);
#endif
  StartWorkerPool(3);
  ASSERT_NE(SharedWorkerPool(), nullptr);
  EXPECT_EQ(SharedWorkerPool()->Threads(), 3);
  StopWorkerPool();
  EXPECT_EQ(SharedWorkerPool(), nullptr);
}

} // namespace
} // namespace meridia
