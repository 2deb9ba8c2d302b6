#include "support/literal_channel_alloc.h"

#include "store/bytes.h"

namespace kbcfg::testing {

namespace {

// The operator's entries as bytes: the scans read the fields straight from the image.
const std::uint8_t* entryBytes(const store::ConfigImage& image, int op, int pos) {
    return image.bytes().data() + store::layout::kChannelTable +
           store::layout::kChannelTablePerOperator * static_cast<std::size_t>(op - 1) +
           store::layout::kChannelEntrySize * static_cast<std::size_t>(pos);
}

int literalFindFree(const store::ConfigImage& image, int op) {
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos)
        if (store::getI16(entryBytes(image, op, pos) + store::ChannelEntry::kDeviceSlot) == -1)
            return pos;
    return -1;
}

bool inGroup(std::uint8_t kind, users::IndexGroup group) {
    switch (group) {
        case users::IndexGroup::Inputs:
            return kind == store::kInputChannel;
        case users::IndexGroup::Outputs:
            return kind == store::kOutputChannel;
        case users::IndexGroup::ScenesAndWalls:
            return kind == store::kScene || kind == store::kTvWall;
    }
    return false;
}

bool candidateUsed(const store::ConfigImage& image, int op, users::IndexGroup group,
                   std::uint32_t candidate) {
    const std::uint8_t* devices = image.bytes().data() + store::layout::kDeviceTable;
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
        const std::uint8_t* e = entryBytes(image, op, pos);
        const int slot = store::getI16(e + store::ChannelEntry::kDeviceSlot);
        if (slot == -1) continue;
        if (slot < 0 || slot >= store::layout::kDeviceCount) continue;  // no such device
        if (store::getU32(devices + store::layout::kDeviceRecordSize * slot +
                          store::DeviceRecord::kInUse) == 0)
            continue;
        if (!inGroup(e[store::ChannelEntry::kKind], group)) continue;
        if (store::getU32(e + store::ChannelEntry::kIndex) == candidate) return true;
    }
    return false;
}

std::uint32_t literalAllocate(const store::ConfigImage& image, int op, users::IndexGroup group,
                              users::ChannelIndexCounter& counters) {
    std::uint32_t& counter = counters.next(op, group);
    std::uint32_t candidate = counter;
    if (candidate == 0 || candidate >= users::kIndexLimit) candidate = 1;
    while (candidate < users::kIndexLimit && candidateUsed(image, op, group, candidate))
        ++candidate;
    // Everything up to the top taken: the tool searches again from 1.
    if (candidate >= users::kIndexLimit) {
        candidate = 1;
        while (candidateUsed(image, op, group, candidate)) ++candidate;
    }
    counter = candidate + 1 == users::kIndexLimit ? 1 : candidate + 1;
    return candidate;
}

}  // namespace

int literalAddChannel(store::ConfigImage& image, int op, const users::NewChannel& entry,
                      users::ChannelIndexCounter& counters) {
    const int pos = literalFindFree(image, op);
    if (pos < 0) return -1;
    store::ChannelEntry e = image.channel(op, pos);
    e.setDeviceSlot(static_cast<std::int16_t>(entry.slot));
    e.setNumber(static_cast<std::uint16_t>(entry.number));
    e.setKind(entry.kind);
    if (entry.kind == store::kInputChannel) {
        e.setOutputPort(0);
        e.setPortFirst(0);
    } else if (entry.kind == store::kOutputChannel) {
        e.setOutputPort(entry.outputPort);
        e.setPortFirst(entry.portFirst);
    }
    e.setIndex(literalAllocate(image, op, users::groupOfKind(entry.kind), counters));
    return pos;
}

}  // namespace kbcfg::testing
