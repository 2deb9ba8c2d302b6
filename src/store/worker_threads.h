#pragma once
// The threads of a bounded pool: probing devices, running a job on a fleet of keyboards.

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace kbcfg::store {

class WorkerThreads {
  public:
    WorkerThreads() = default;
    ~WorkerThreads() { join(); }
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Starts up to `count` threads running `work`; fewer when the system has no more threads to
    // give (the ones started then share the work). Returns how many run.
    std::size_t start(std::size_t count, const std::function<void()>& work);
    // Waits for every thread started.
    void join();
    std::size_t size() const { return threads_.size(); }

  private:
    std::vector<std::thread> threads_;
};

}  // namespace kbcfg::store
