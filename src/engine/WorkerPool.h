// A few threads kept for the life of the program that share out the items of batches with the
// threads that started them. Start hands a batch out and returns at once; Wait makes the caller
// take part in what is left of it and returns once every item has finished. Several batches may
// be out at once: the workers take them in the order they were started.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace meridia {

class TWorkerPool {
public:
  using Job = std::function<void(int32_t item)>;
  // kAhead is work a frame merely expects to need: a worker takes its items only while no
  // batch for now has any left.
  enum class Priority { kNow, kAhead };
  struct Batch;
  // Shared by the pool and whoever started the batch, so a batch nobody waits for ends on its
  // own.
  using BatchRef = std::shared_ptr<Batch>;

  // `threads` counts the thread that waits: 1 or less starts none, and every item runs in Wait.
  explicit TWorkerPool(int32_t threads);
  // Finishes every batch still out, then stops and joins the workers.
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  // The workers and the waiting thread.
  int32_t Threads() const { return static_cast<int32_t>(workers_.size()) + 1; }

  // Items 0 .. count - 1 of job go to the workers at once, in order, and run at the same time,
  // while the caller goes on with other work.
  BatchRef Start(int32_t count, Job job, Priority priority = Priority::kNow);
  // Runs the items of the batch no worker has taken yet, then waits for the rest: nothing of it
  // runs after this returns. Returns at once for a null batch.
  void Wait(const BatchRef& batch);
  void Run(int32_t count, Job job) { Wait(Start(count, std::move(job))); }
  // Whether every item of the batch has finished; true for a null batch.
  bool Finished(const BatchRef& batch);

private:
  void WorkerLoop();
  // The batch whose next item a worker takes: the first started of those with items left,
  // work for now before work ahead; null when none has any. The lock is held.
  BatchRef NextBatch() const;
  // Takes and runs batch's items below limit while any are left; the lock is held on entry and
  // on return.
  void RunItems(std::unique_lock<std::mutex>& lock, const BatchRef& batch, int32_t limit);

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable batch_done_;
  // Guarded by mutex_: the batches with items not yet taken, in the order they were started.
  std::vector<BatchRef> queue_;
  bool stopping_ = false;
};

// The machine's hardware threads that this process may run on, at least 1 and at most 8: more
// than that would idle on the few items of a frame.
int32_t DefaultWorkerThreads();

// The pool the program shares per-frame work with, the main thread being one of its threads;
// null before StartWorkerPool and after StopWorkerPool, when work runs on the calling thread.
TWorkerPool* SharedWorkerPool();
void StartWorkerPool(int32_t threads);
void StartWorkerPool();
void StopWorkerPool();

} // namespace meridia
