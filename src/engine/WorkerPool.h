// A few threads kept for the life of the program that share out the items of a batch with the
// thread that started it. One batch at a time: Start hands it out, Wait makes the starting thread
// take part in what is left and returns once every item has finished.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace meridia {

class TWorkerPool {
public:
  using Job = std::function<void(int32_t item)>;

  // `threads` counts the thread that waits: 1 or less starts none, and every item runs in Wait.
  explicit TWorkerPool(int32_t threads);
  // Finishes a batch still out, then stops and joins the workers.
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  // The workers and the waiting thread.
  int32_t Threads() const { return static_cast<int32_t>(workers_.size()) + 1; }

  // Items 0 .. count - 1 of job go to the workers at once, in any order and at the same time;
  // the caller goes on with other work. A batch still out is waited for first.
  void Start(int32_t count, Job job);
  // Runs the items no worker has taken yet, then waits for the rest: nothing of the batch runs
  // after it returns. Returns at once without a batch.
  void Wait();
  void Run(int32_t count, Job job) {
    Start(count, std::move(job));
    Wait();
  }

private:
  void WorkerLoop();
  // Runs items while any are left; the lock is held on entry and on return.
  void RunItems(std::unique_lock<std::mutex>& lock);

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable work_ready_;
  std::condition_variable batch_done_;
  // Guarded by mutex_.
  Job job_;
  int32_t count_ = 0;
  int32_t next_ = 0;
  int32_t finished_ = 0;
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
