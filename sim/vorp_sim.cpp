// libVorp.so of the simulator: plays the installation's discovery timeline (and its burst, if
// any) to the registered callback from a thread of its own, until VORP_Stop.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "installation.h"
#include "remote/abi/vorp.h"

namespace vyxsim {
namespace {

using Clock = std::chrono::steady_clock;

struct Discovery {
    std::mutex control;  // serialises start and stop; never taken by the worker
    std::thread worker;
    std::atomic<std::thread::id> workerId{};

    std::mutex wakeLock;
    std::condition_variable wake;
    bool stopRequested = false;  // guarded by wakeLock
};

Discovery& discovery() {
    static Discovery& d = *new Discovery;  // never destroyed: see the worker's comment
    return d;
}

void putText(std::uint8_t* rec, int at, int width, const std::string& text) {
    // Field-bounded; a text as long as its field is left without its terminator, as a careless
    // device might send it.
    std::memcpy(rec + at, text.data(),
                std::min<std::size_t>(static_cast<std::size_t>(width), text.size()));
}
void put32(std::uint8_t* rec, int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) rec[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void fill(std::uint8_t* rec, const FoundEvent& e) {
    std::memset(rec, 0, VORP_FOUND_RECORD_SIZE);
    putText(rec, VORP_FOUND_TAG, VORP_FOUND_TAG_WIDTH, "VORP2");
    putText(rec, VORP_FOUND_SERIAL, VORP_FOUND_SERIAL_WIDTH, e.serial);
    putText(rec, VORP_FOUND_MAC, VORP_FOUND_MAC_WIDTH, e.mac);
    putText(rec, VORP_FOUND_IP, VORP_FOUND_IP_WIDTH, e.ip);
    putText(rec, VORP_FOUND_MASK, VORP_FOUND_MASK_WIDTH, e.mask);
    put32(rec, VORP_FOUND_PORT, e.port);
    put32(rec, VORP_FOUND_CHANNELS, e.channels);
    putText(rec, VORP_FOUND_SOFTWARE, VORP_FOUND_SOFTWARE_WIDTH, e.softwareVersion);
    putText(rec, VORP_FOUND_DSP, VORP_FOUND_DSP_WIDTH, e.dspVersion);
    putText(rec, VORP_FOUND_START_TIME, VORP_FOUND_START_TIME_WIDTH, e.startTime);
    put32(rec, VORP_FOUND_EVENT, static_cast<std::uint32_t>(e.code));
    putText(rec, VORP_FOUND_DESCRIPTION, VORP_FOUND_DESCRIPTION_WIDTH, e.description);
}

// Event k of a burst: each of its devices in turn is added, updated, then removed, so the list
// stays at most `devices` long however long the burst runs.
FoundEvent burstEvent(const Burst& b, long long k) {
    const long long d = k % b.devices;
    const long long round = k / b.devices;
    FoundEvent e;
    e.code = round % 3 == 0 ? 1 : round % 3 == 1 ? 2 : 3;
    char buf[48];
    std::snprintf(buf, sizeof buf, "SIM-BURST-%05lld", d);
    e.serial = buf;
    std::snprintf(buf, sizeof buf, "%s.%lld", d % 2 ? "198.51.100" : "203.0.113", 1 + d / 2 % 254);
    e.ip = buf;
    std::snprintf(buf, sizeof buf, "00:00:5e:00:%02llx:%02llx", d / 256 % 256, d % 256);
    e.mac = buf;
    e.mask = "255.255.255.0";
    e.description = "BURST";
    std::snprintf(buf, sizeof buf, "V1.0.%lld", round);
    e.softwareVersion = buf;
    e.channels = static_cast<std::uint32_t>(d % 33);
    return e;
}

// Waits until `until` or a stop; true when stopped.
bool sleepUntil(Discovery& d, Clock::time_point until) {
    std::unique_lock lk(d.wakeLock);
    return d.wake.wait_until(lk, until, [&] { return d.stopRequested; });
}

bool stopped(Discovery& d) {
    std::lock_guard lk(d.wakeLock);
    return d.stopRequested;
}

void run(DiscoveryScript script, VORP_DeviceFoundCallback callback, void* user) {
    Discovery& d = discovery();
    std::uint8_t rec[VORP_FOUND_RECORD_SIZE];
    const Clock::time_point start = Clock::now();
    Clock::time_point cycle = start;

    bool timelineLeft = !script.events.empty();
    std::size_t next = 0;
    long long burstSent = 0;
    const bool burst = script.hasBurst;
    const auto burstPeriod = burst && script.burst.rate > 0
                                 ? std::chrono::nanoseconds(1'000'000'000LL / script.burst.rate)
                                 : std::chrono::nanoseconds(0);

    while (timelineLeft || burst) {
        if (burst && script.burst.count && burstSent >= script.burst.count && !timelineLeft) break;
        // The next due item: a timeline event or a burst event, whichever comes first.
        Clock::time_point timelineDue = Clock::time_point::max();
        if (timelineLeft) timelineDue = cycle + std::chrono::milliseconds(script.events[next].atMs);
        Clock::time_point burstDue = Clock::time_point::max();
        if (burst && (!script.burst.count || burstSent < script.burst.count))
            burstDue = start + burstPeriod * burstSent;

        const bool fromTimeline = timelineDue <= burstDue;
        const Clock::time_point due = fromTimeline ? timelineDue : burstDue;
        if (due > Clock::now()) {
            if (sleepUntil(d, due)) return;
        } else if (stopped(d)) {
            return;
        }

        if (fromTimeline) {
            fill(rec, script.events[next]);
            if (++next == script.events.size()) {
                if (script.repeatMs > 0) {
                    next = 0;
                    cycle += std::chrono::milliseconds(script.repeatMs);
                } else {
                    timelineLeft = false;
                }
            }
        } else {
            fill(rec, burstEvent(script.burst, burstSent++));
        }
        callback(rec, user);
    }
    // Nothing more to report: idle until stopped, like a library with a quiet network.
    std::unique_lock lk(d.wakeLock);
    d.wake.wait(lk, [&] { return d.stopRequested; });
}

// Ends a worker whose stop was asked for, from any thread but its own.
void joinWorker(Discovery& d) {
    {
        std::lock_guard lk(d.wakeLock);
        d.stopRequested = true;
    }
    d.wake.notify_all();
    if (d.worker.joinable()) d.worker.join();
    d.workerId = std::thread::id{};
}

}  // namespace
}  // namespace vyxsim

using namespace vyxsim;

extern "C" {

VORP_API int32_t VORP_Start_V20(VORP_DeviceFoundCallback callback, void* userData) {
    if (!callback) return 0;
    Discovery& d = discovery();
    if (d.workerId.load() == std::this_thread::get_id()) return 0;  // from inside a callback
    std::lock_guard g(d.control);
    if (d.worker.joinable()) {
        // Still running, or stopped from its own callback and not joined yet.
        if (!stopped(d)) return 0;
        joinWorker(d);
    }
    bool reloaded = false;
    const Installation& inst = currentInstallation(reloaded);
    if (inst.discovery.startFails) return 0;
    {
        std::lock_guard lk(d.wakeLock);
        d.stopRequested = false;
    }
    // The worker gets its own copy of the script: a reload may replace the installation while
    // it runs.
    d.worker = std::thread(run, inst.discovery, callback, userData);
    d.workerId = d.worker.get_id();
    return 1;
}

VORP_API int32_t VORP_Stop(void) {
    Discovery& d = discovery();
    if (d.workerId.load() == std::this_thread::get_id()) {
        // Called from within a callback: the worker cannot join itself; it ends when the
        // callback returns and the next start or stop joins it.
        std::lock_guard lk(d.wakeLock);
        d.stopRequested = true;
        return 1;
    }
    std::lock_guard g(d.control);
    if (!d.worker.joinable()) return 0;
    joinWorker(d);
    return 1;
}

}  // extern "C"
