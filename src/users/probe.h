#pragma once
// Assigning a device to an operator: log in to it, learn what kind of device it is and what it
// offers, and create one channel entry per input, output, scene or TV wall, each with the next
// free channel index of its group.

#include <array>
#include <cstdint>
#include <string>

#include "remote/netsdk.h"
#include "store/config_image.h"
#include "store/host.h"
#include "store/session.h"
#include "users/channel_allocator.h"

namespace kbcfg::users {

// The results of one "Add>>" run.
struct RunCounters {
    int success = 0;
    int connectError = 0;
    int passwordError = 0;
    int checked = 0;  // devices ticked when the run began
};

// Device classes the probe acts on.
inline constexpr std::uint32_t kClassMatrix = 25;
bool isEncoderClass(std::uint32_t deviceClass);
bool isDecoderClass(std::uint32_t deviceClass);

// The class of a reported device type code.
std::uint32_t classifyDeviceType(std::uint16_t code);

struct DeviceTypeRow {
    char model[36];
    std::uint32_t code;
    std::uint32_t deviceClass;
};
// The built-in table of 180 rows, in search order.
const std::array<DeviceTypeRow, 180>& deviceTypeTable();

struct SceneRange {
    int count = 0;
    int first = 0;
};
// The scene range a logged-in decoder reports in its XML answer; (0, 0) when it tells nothing.
SceneRange readSceneRange(remote::NetSdk& sdk, int loginId);
// From the XML text itself.
SceneRange parseSceneRange(const std::string& xml);

// StopRun: the operator's device list is full. SaveFailed: the device's entries are in memory
// but the file could not be written (message 2 shown); the run ends as failed.
enum class ProbeResult { GoOn, StopRun, SaveFailed };

// Logs in to device `slot`, enters it into operator `op`'s device list and creates its channel
// entries; saves the image. A failed login is reported by a message when the run has a single
// device, and counted otherwise.
ProbeResult probeAndAssignDevice(store::Host& host, store::SessionState& session,
                                 store::ConfigImage& image, remote::NetSdk& sdk, int op, int slot,
                                 RunCounters& counters,
                                 ChannelIndexCounter& indexes = ChannelIndexCounter::instance());
// The same within a run of several devices: the run's allocator keeps what it learnt of the
// operator's table from one device to the next.
ProbeResult probeAndAssignDevice(store::Host& host, store::SessionState& session,
                                 store::ConfigImage& image, remote::NetSdk& sdk, int op, int slot,
                                 RunCounters& counters, ChannelAllocator& channels);

}  // namespace kbcfg::users
