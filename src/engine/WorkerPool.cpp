#include "engine/WorkerPool.h"

#include <algorithm>
#include <memory>

#ifdef __linux__
#include <sched.h>
#endif

namespace meridia {
namespace {

std::unique_ptr<TWorkerPool> g_pool;

} // namespace

TWorkerPool::TWorkerPool(int32_t threads) {
  for (int32_t k = 1; k < threads; ++k) {
    workers_.emplace_back([this] { WorkerLoop(); });
  }
}

TWorkerPool::~TWorkerPool() {
  Wait();
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& worker : workers_) {
    worker.join();
  }
}

void TWorkerPool::Start(int32_t count, Job job) {
  Wait();
  {
    const std::lock_guard lock(mutex_);
    job_ = std::move(job);
    count_ = std::max(count, 0);
    next_ = 0;
    finished_ = 0;
  }
  if (count > 0 && !workers_.empty()) {
    work_ready_.notify_all();
  }
}

void TWorkerPool::RunItems(std::unique_lock<std::mutex>& lock) {
  while (next_ < count_) {
    const int32_t item = next_++;
    lock.unlock();
    job_(item);
    lock.lock();
    if (++finished_ == count_) {
      batch_done_.notify_all();
    }
  }
}

void TWorkerPool::Wait() {
  std::unique_lock lock(mutex_);
  RunItems(lock);
  batch_done_.wait(lock, [this] { return finished_ == count_; });
  // The job's captures may refer to what the caller frees next.
  job_ = nullptr;
  count_ = next_ = finished_ = 0;
}

void TWorkerPool::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return stopping_ || next_ < count_; });
    if (stopping_) {
      return;
    }
    RunItems(lock);
  }
}

int32_t DefaultWorkerThreads() {
  unsigned hardware = std::thread::hardware_concurrency();
#ifdef __linux__
  // The machine's count ignores a process held to fewer processors (taskset, containers), where
  // more threads than processors would only take turns.
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) {
    hardware = std::min(hardware, static_cast<unsigned>(CPU_COUNT(&allowed)));
  }
#endif
  return static_cast<int32_t>(std::clamp(hardware, 1u, 8u));
}

TWorkerPool* SharedWorkerPool() {
  return g_pool.get();
}

void StartWorkerPool(int32_t threads) {
  g_pool = std::make_unique<TWorkerPool>(threads);
}

void StartWorkerPool() {
  StartWorkerPool(DefaultWorkerThreads());
}

void StopWorkerPool() {
  g_pool.reset();
}

} // namespace meridia
