#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace segweld::station {

// A fixed set of threads that run tasks from one queue in the order given.
// A task counts as active before it leaves the queue, so Wait() never sees an
// empty queue and no active task while one is being handed over. A task must
// not wait on its own pool.
class WorkerPool {
  public:
    explicit WorkerPool(unsigned workers);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    // Lets the tasks under way finish, drops the queued ones and ends the threads.
    ~WorkerPool();

    void Submit(std::function<void()> task);
    // Returns when the queue is empty and no task runs.
    void Wait();
    // Removes the tasks that have not started; returns how many there were.
    size_t DropQueued();

  private:
    void Work();

    std::mutex mutex_;
    std::condition_variable taskReady_;
    std::condition_variable allDone_;
    std::deque<std::function<void()>> queue_;
    size_t active_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The number of workers for "-j" when none is given: the processors the
// process may use (its affinity mask, a CPU quota), at least one.
unsigned DefaultWorkerCount();

}  // namespace segweld::station
