#pragma once
// The network half of an assignment run for many devices at once: a few workers log in to and
// question the devices of the run in its order, each on its own library handle, while the caller
// takes the answers device by device, in that same order, and writes them into the image. So the
// file comes out as a run that asks one device after another would leave it, whatever the number
// of workers.
//
// A worker starts a device only once the caller has asked for one at most jobs - 1 before it:
// with one job nothing is asked before the caller wants it, and a run that stops (a full list, a
// failed save, a cancel) logs in to no device beyond the ones being asked.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "remote/netsdk.h"
#include "store/worker_threads.h"
#include "users/probe.h"

namespace kbcfg::users {

inline constexpr int kDefaultProbeJobs = 8;
inline constexpr int kMaxProbeJobs = 32;

class ProbePool {
  public:
    // Starts min(jobs, devices) workers (at least one, at most kMaxProbeJobs); each makes its own
    // handle with `factory`. With no thread to be had, answers() asks the device itself.
    ProbePool(std::vector<DeviceTarget> targets, int jobs, remote::NetSdkFactory factory);
    // Stops and waits for the workers: a device being asked is finished and logged out.
    ~ProbePool();
    ProbePool(const ProbePool&) = delete;
    ProbePool& operator=(const ProbePool&) = delete;

    // The answers of device i, waiting at most `wait` for them; nullptr when they are not there
    // yet. Asking for device i says the caller is done with the ones before it, which lets the
    // workers start up to device i + jobs - 1.
    const DeviceAnswers* answers(std::size_t i, std::chrono::milliseconds wait);
    // No device is started after this; the ones being asked are finished. Workers waiting for
    // room see it before they take another device.
    void stop();

    int workers() const { return static_cast<int>(threads_.size()); }
    // Devices being asked right now.
    int busy() const;

  private:
    void work();
    DeviceAnswers ask(remote::NetSdk* sdk, std::size_t i);

    const std::vector<DeviceTarget> targets_;
    const remote::NetSdkFactory factory_;
    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::condition_variable room_;  // the caller moved on, or the run stopped
    std::size_t window_ = 1;        // jobs
    // Devices the workers may start: up to the one the caller waits for, plus jobs - 1. None
    // before the caller first asks.
    std::size_t limit_ = 0;
    std::vector<std::unique_ptr<DeviceAnswers>> answers_;
    std::size_t next_ = 0;
    int busy_ = 0;
    bool stopped_ = false;
    store::WorkerThreads threads_;
    std::unique_ptr<remote::NetSdk> ownSdk_;  // the caller's handle when no worker could start
};

}  // namespace kbcfg::users
