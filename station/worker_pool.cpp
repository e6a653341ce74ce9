#include "station/worker_pool.h"

#include <algorithm>

#include "os/processor_count.h"

namespace segweld::station {

WorkerPool::WorkerPool(unsigned workers) {
    workers = std::max(workers, 1u);
    threads_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) {
        threads_.emplace_back([this] { Work(); });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        stopping_ = true;
    }
    taskReady_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void WorkerPool::Submit(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(task));
    }
    taskReady_.notify_one();
}

void WorkerPool::Wait() {
    std::unique_lock lock(mutex_);
    allDone_.wait(lock, [this] { return queue_.empty() && active_ == 0; });
}

size_t WorkerPool::DropQueued() {
    std::lock_guard lock(mutex_);
    const size_t dropped = queue_.size();
    queue_.clear();
    if (active_ == 0) {
        allDone_.notify_all();
    }
    return dropped;
}

void WorkerPool::Work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            taskReady_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            ++active_;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
        std::lock_guard lock(mutex_);
        --active_;
        if (active_ == 0 && queue_.empty()) {
            allDone_.notify_all();
        }
    }
}

unsigned DefaultWorkerCount() {
    return os::UsableProcessorCount();
}

}  // namespace segweld::station
