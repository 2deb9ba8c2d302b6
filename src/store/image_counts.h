#pragma once
// What a configuration holds, counted: for `info`, and for the summary lines of the editing
// commands (counted after the login and again as saved).

#include <array>

#include "store/config_image.h"

namespace kbcfg::store {

struct ChannelKinds {
    int inputs = 0, outputs = 0, scenes = 0, walls = 0, other = 0;
    int total() const { return inputs + outputs + scenes + walls + other; }
};

struct ImageCounts {
    int devices = 0;  // device slots in use
    int users = 0;    // operator records 1..3 in use
    // Per operator record (index 0 unused): assigned devices, channels by kind, enabled stream
    // bindings.
    std::array<int, 4> userDevices{}, streams{};
    std::array<ChannelKinds, 4> channels{};

    int allChannels() const {
        return channels[1].total() + channels[2].total() + channels[3].total();
    }
    int allUserDevices() const { return userDevices[1] + userDevices[2] + userDevices[3]; }
    int allStreams() const { return streams[1] + streams[2] + streams[3]; }
};

ImageCounts countImage(const ConfigImage& image);

// A stream binding that counts: it names a device and is switched on.
bool streamBound(const StreamRecord& stream);

}  // namespace kbcfg::store
