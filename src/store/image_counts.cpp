#include "store/image_counts.h"

namespace kbcfg::store {

bool streamBound(const StreamRecord& stream) {
    return stream.deviceSlot() != -1 && stream.enabled();
}

ImageCounts countImage(const ConfigImage& image) {
    ImageCounts c;
    for (int slot = 0; slot < layout::kDeviceCount; ++slot)
        if (image.device(slot).inUse()) ++c.devices;
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        if (image.operatorRecord(op).inUse()) ++c.users;
        for (int i = 0; i < layout::kUserDeviceCount; ++i) {
            if (image.userDevice(op, i) >= 0) ++c.userDevices[op];
            if (streamBound(image.stream(op, i))) ++c.streams[op];
        }
        ChannelKinds& kinds = c.channels[op];
        for (int pos = 0; pos < layout::kChannelCount; ++pos) {
            const ChannelEntry e = image.channel(op, pos);
            if (e.empty()) continue;
            switch (e.kind()) {
                case kInputChannel:
                    ++kinds.inputs;
                    break;
                case kOutputChannel:
                    ++kinds.outputs;
                    break;
                case kScene:
                    ++kinds.scenes;
                    break;
                case kTvWall:
                    ++kinds.walls;
                    break;
                default:
                    ++kinds.other;
                    break;
            }
        }
    }
    return c;
}

}  // namespace kbcfg::store
