#pragma once
// Assigning a device to an operator: log in to it, learn what kind of device it is and what it
// offers, and create one channel entry per input, output, scene or TV wall, each with the next
// free channel index of its group.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

// Where and how to log in to a device, read from its record before the network work starts.
struct DeviceTarget {
    int slot = -1;
    bool inUse = false;
    std::string address;  // 8-bit text, as the library takes it
    int port = 0;
    std::string userName;
    std::string password;
};
DeviceTarget deviceTarget(const store::ConfigImage& image, int slot);

// Everything a device told about itself: what its assignment needs from the network, read
// before anything is written. The channels come in the order they are to be added; their slot
// is filled in when they are.
struct DeviceAnswers {
    enum class Login { Skipped, NoConnection, WrongPassword, Done };
    Login login = Login::Skipped;  // Skipped: the slot is not in use, nothing was asked
    remote::LoginInfo info;
    std::uint32_t deviceClass = 0;
    std::vector<NewChannel> channels;
};

// The network half of an assignment: logs in, asks an encoder for its IP channels or a decoder
// for its outputs, scenes and walls (unless readChannels is false), and logs out. Touches no
// image, so several devices can be asked at once, each on its own library handle.
DeviceAnswers probeDevice(remote::NetSdk& sdk, const DeviceTarget& target,
                          bool readChannels = true);

// StopRun: the operator's device list is full. SaveFailed: the device's entries are in memory
// but the file could not be written (message 2 shown); the run ends as failed.
enum class ProbeResult { GoOn, StopRun, SaveFailed };

// Logs in to device `slot`, enters it into operator `op`'s device list and creates its channel
// entries; saves the image. A failed login is counted, and also reported by a message when the
// run has a single device.
ProbeResult probeAndAssignDevice(store::Host& host, store::SessionState& session,
                                 store::ConfigImage& image, remote::NetSdk& sdk, int op, int slot,
                                 RunCounters& counters,
                                 ChannelIndexCounter& indexes = ChannelIndexCounter::instance());
// The image half: enters the device into the list of operator `op` and adds its channels, then
// saves; counts a failed login and, in a single-device run, reports it.
ProbeResult applyDeviceAnswers(store::Host& host, store::SessionState& session,
                               store::ConfigImage& image, int op, int slot,
                               const DeviceAnswers& answers, RunCounters& counters,
                               ChannelAllocator& channels);
// The same within a run of several devices: the run's allocator keeps what it learnt of the
// operator's table from one device to the next.
ProbeResult probeAndAssignDevice(store::Host& host, store::SessionState& session,
                                 store::ConfigImage& image, remote::NetSdk& sdk, int op, int slot,
                                 RunCounters& counters, ChannelAllocator& channels);

}  // namespace kbcfg::users
