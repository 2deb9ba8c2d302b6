#pragma once
// The network half of an assignment run for many devices at once: a few workers log in to and
// question the devices of the run in its order, each on its own library handle, while the caller
// takes the answers device by device, in that same order, and writes them into the image. So the
// file comes out as a run that asks one device after another would leave it, whatever the number
// of workers.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "remote/netsdk.h"
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
    // yet.
    const DeviceAnswers* answers(std::size_t i, std::chrono::milliseconds wait);
    // No device is started after this; the ones being asked are finished.
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
    std::vector<std::unique_ptr<DeviceAnswers>> answers_;
    std::size_t next_ = 0;
    int busy_ = 0;
    bool stopped_ = false;
    std::vector<std::thread> threads_;
    std::unique_ptr<remote::NetSdk> ownSdk_;  // the caller's handle when no worker could start
};

}  // namespace kbcfg::users
