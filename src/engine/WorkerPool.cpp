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

// Guarded by the pool's mutex, but for job, which is set before the batch is shared and only
// read after.
struct TWorkerPool::Batch {
  Job job;
  Priority priority = Priority::kNow;
  int32_t count = 0;
  int32_t next = 0;
  int32_t finished = 0;
  int32_t waiters = 0; // threads in Wait on it
};

TWorkerPool::TWorkerPool(int32_t threads) {
  for (int32_t k = 1; k < threads; ++k) {
    workers_.emplace_back([this] { WorkerLoop(); });
  }
}

TWorkerPool::~TWorkerPool() {
  for (;;) {
    BatchRef batch;
    {
      const std::lock_guard lock(mutex_);
      if (queue_.empty()) {
        stopping_ = true;
        break;
      }
      batch = queue_.front();
    }
    Wait(batch);
  }
  work_ready_.notify_all();
  // A worker leaves once it is idle, so items it has begun finish first.
  for (std::thread& worker : workers_) {
    worker.join();
  }
}

TWorkerPool::BatchRef TWorkerPool::Start(int32_t count, Job job, Priority priority) {
  auto batch = std::make_shared<Batch>();
  batch->job = std::move(job);
  batch->priority = priority;
  batch->count = std::max(count, 0);
  if (batch->count > 0) {
    {
      const std::lock_guard lock(mutex_);
      queue_.push_back(batch);
    }
    if (!workers_.empty()) {
      work_ready_.notify_all();
    }
  }
  return batch;
}

TWorkerPool::BatchRef TWorkerPool::NextBatch() const {
  for (const Priority priority : {Priority::kNow, Priority::kAhead}) {
    for (const BatchRef& batch : queue_) {
      if (batch->priority == priority) {
        return batch;
      }
    }
  }
  return nullptr;
}

void TWorkerPool::RunItems(std::unique_lock<std::mutex>& lock, const BatchRef& batch,
                           int32_t limit) {
  while (batch->next < std::min(batch->count, limit)) {
    const int32_t item = batch->next++;
    if (batch->next == batch->count) {
      std::erase(queue_, batch);
    }
    lock.unlock();
    batch->job(item);
    lock.lock();
    // Nobody waits on most batches.
    if (++batch->finished == batch->count && batch->waiters > 0) {
      batch_done_.notify_all();
    }
  }
}

void TWorkerPool::Wait(const BatchRef& batch) {
  if (batch == nullptr) {
    return;
  }
  std::unique_lock lock(mutex_);
  RunItems(lock, batch, batch->count);
  ++batch->waiters;
  batch_done_.wait(lock, [&batch] { return batch->finished == batch->count; });
  --batch->waiters;
  lock.unlock();
  // The job's captures may refer to what the caller frees next.
  batch->job = nullptr;
}

bool TWorkerPool::Finished(const BatchRef& batch) {
  if (batch == nullptr) {
    return true;
  }
  const std::lock_guard lock(mutex_);
  return batch->finished == batch->count;
}

void TWorkerPool::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    BatchRef batch;
    work_ready_.wait(lock, [this, &batch] {
      batch = NextBatch();
      return stopping_ || batch != nullptr;
    });
    if (batch == nullptr) {
      return; // stopping, and nothing left
    }
    // One item at a time: a batch started meanwhile for now goes before the rest of one ahead.
    RunItems(lock, batch, batch->next + 1);
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
