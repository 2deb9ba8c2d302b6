#include "remote/dynamic_discovery.h"

namespace kbcfg::remote {

namespace {

enum Symbol : std::size_t { kStart, kStop };

// The discovery that receives the library's reports. Guarded, so that a library whose stop does
// not wait for a callback in progress still cannot call into a discovery that has stopped.
std::mutex g_targetLock;
DynamicDiscovery* g_target = nullptr;

}  // namespace

DynamicDiscovery::DynamicDiscovery(Notice notice, std::filesystem::path folder)
    : library_(kVorpFile, {"VORP_Start_V20", "VORP_Stop"}, std::move(notice), std::move(folder)) {}

DynamicDiscovery::~DynamicDiscovery() {
    stop();
}

int DynamicDiscovery::onFound(const std::uint8_t* record, void* /*userData*/) {
    std::lock_guard lock(g_targetLock);
    if (g_target && g_target->callback_) g_target->callback_(record);
    return 0;
}

bool DynamicDiscovery::start(Callback onReport) {
    if (running_) return false;
    auto startFn = reinterpret_cast<decltype(VORP_Start_V20)*>(library_.symbol(kStart));
    // Without a stop there is no safe end to a discovery: refuse to start it.
    if (!startFn || !library_.symbol(kStop)) return false;
    {
        std::lock_guard lock(g_targetLock);
        if (g_target) return false;  // another discovery holds the library
        callback_ = std::move(onReport);
        g_target = this;
    }
    if (startFn(&DynamicDiscovery::onFound, nullptr) == 0) {
        std::lock_guard lock(g_targetLock);
        g_target = nullptr;
        callback_ = nullptr;
        return false;
    }
    running_ = true;
    return true;
}

void DynamicDiscovery::stop() {
    if (!running_) return;
    running_ = false;
    auto stopFn = reinterpret_cast<decltype(VORP_Stop)*>(library_.symbol(kStop));
    if (stopFn) stopFn();
    std::lock_guard lock(g_targetLock);
    if (g_target == this) g_target = nullptr;
    callback_ = nullptr;
}

}  // namespace kbcfg::remote
