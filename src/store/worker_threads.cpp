#include "store/worker_threads.h"

#include <system_error>

namespace kbcfg::store {

std::size_t WorkerThreads::start(std::size_t count, const std::function<void()>& work) {
    for (std::size_t w = 0; w < count; ++w) {
        try {
            threads_.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    return threads_.size();
}

void WorkerThreads::join() {
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

}  // namespace kbcfg::store
