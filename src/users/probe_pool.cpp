#include "users/probe_pool.h"

#include <algorithm>
#include <exception>

namespace kbcfg::users {

ProbePool::ProbePool(std::vector<DeviceTarget> targets, int jobs, remote::NetSdkFactory factory)
    : targets_(std::move(targets)), factory_(std::move(factory)), answers_(targets_.size()) {
    window_ = static_cast<std::size_t>(std::clamp(jobs, 1, kMaxProbeJobs));
    threads_.start(std::min(targets_.size(), window_), [this] { work(); });
}

ProbePool::~ProbePool() {
    stop();
    threads_.join();
}

void ProbePool::stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopped_ = true;
    }
    room_.notify_all();
}

int ProbePool::busy() const {
    std::lock_guard<std::mutex> guard(lock_);
    return busy_;
}

DeviceAnswers ProbePool::ask(remote::NetSdk* sdk, std::size_t i) {
    if (!sdk) {
        // No handle to be had: the device cannot be reached.
        DeviceAnswers none;
        if (targets_[i].inUse) none.login = DeviceAnswers::Login::NoConnection;
        return none;
    }
    try {
        return probeDevice(*sdk, targets_[i]);
    } catch (const std::exception&) {
        // Out of memory on a worker: the device counts as not reached; the run goes on.
        DeviceAnswers none;
        none.login = DeviceAnswers::Login::NoConnection;
        return none;
    }
}

void ProbePool::work() {
    // Without a handle of its own the worker answers "not reached" for its devices.
    const std::unique_ptr<remote::NetSdk> sdk = remote::handleFrom(factory_);
    for (;;) {
        std::size_t i = 0;
        {
            std::unique_lock<std::mutex> guard(lock_);
            room_.wait(guard,
                       [&] { return stopped_ || next_ >= targets_.size() || next_ < limit_; });
            if (stopped_ || next_ >= targets_.size()) return;
            i = next_++;
            ++busy_;
        }
        auto got = std::make_unique<DeviceAnswers>(ask(sdk.get(), i));
        {
            std::lock_guard<std::mutex> guard(lock_);
            answers_[i] = std::move(got);
            --busy_;
        }
        arrived_.notify_all();
    }
}

const DeviceAnswers* ProbePool::answers(std::size_t i, std::chrono::milliseconds wait) {
    if (i >= targets_.size()) return nullptr;
    if (threads_.size() == 0) {
        // Without workers the caller asks, one device at a time, in the run's order.
        std::unique_lock<std::mutex> guard(lock_);
        if (!answers_[i] && !stopped_) {
            if (!ownSdk_) ownSdk_ = remote::handleFrom(factory_);
            guard.unlock();
            auto got = std::make_unique<DeviceAnswers>(ask(ownSdk_.get(), i));
            guard.lock();
            answers_[i] = std::move(got);
        }
        return answers_[i].get();
    }
    std::unique_lock<std::mutex> guard(lock_);
    if (i + window_ > limit_) {
        limit_ = i + window_;
        room_.notify_all();
    }
    arrived_.wait_for(guard, wait, [&] { return answers_[i] != nullptr; });
    return answers_[i].get();
}

}  // namespace kbcfg::users
