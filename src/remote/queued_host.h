#pragma once
// A host whose post() may be called from any thread, for hosts that have no event loop of their
// own (the command line, tests): posted tasks wait in a queue until the owning thread runs them.
// Everything else goes to the wrapped host.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "store/host.h"

namespace kbcfg::remote {

class QueuedHost : public store::ForwardingHost {
  public:
    explicit QueuedHost(store::Host& inner) : ForwardingHost(inner) {}

    // Any thread; never waits for the owner.
    void post(std::function<void()> task) override;

    // On the owning thread: runs what is queued, including what those tasks post, until the
    // queue is empty; returns how many ran.
    std::size_t runPosted();
    // On the owning thread: runs tasks as they arrive until the deadline (a batch under way is
    // finished).
    void runUntil(std::chrono::steady_clock::time_point deadline);
    std::size_t pending() const;

  private:
    std::size_t runBatch();

    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace kbcfg::remote
