#include "remote/queued_host.h"

namespace kbcfg::remote {

void QueuedHost::post(std::function<void()> task) {
    {
        std::lock_guard g(lock_);
        queue_.push_back(std::move(task));
    }
    arrived_.notify_one();
}

std::size_t QueuedHost::runBatch() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard g(lock_);
        batch.swap(queue_);
    }
    // Run without the lock, so a task may post and other threads never wait on one.
    for (auto& task : batch) task();
    return batch.size();
}

std::size_t QueuedHost::runPosted() {
    std::size_t ran = 0;
    while (std::size_t n = runBatch()) ran += n;
    return ran;
}

void QueuedHost::runUntil(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        // One batch at a time: under a flood the queue may never run empty, and the deadline
        // must still end the wait.
        runBatch();
        std::unique_lock lk(lock_);
        if (!arrived_.wait_until(lk, deadline, [this] { return !queue_.empty(); })) return;
        if (std::chrono::steady_clock::now() >= deadline) return;
    }
}

std::size_t QueuedHost::pending() const {
    std::lock_guard g(lock_);
    return queue_.size();
}

}  // namespace kbcfg::remote
