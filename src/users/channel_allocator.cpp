#include "users/channel_allocator.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <stdexcept>
#include <unordered_set>

namespace kbcfg::users {

IndexGroup groupOfKind(std::uint8_t kind) {
    if (kind == store::kInputChannel) return IndexGroup::Inputs;
    if (kind == store::kOutputChannel) return IndexGroup::Outputs;
    return IndexGroup::ScenesAndWalls;
}

ChannelIndexCounter& ChannelIndexCounter::instance() {
    static ChannelIndexCounter counters;
    return counters;
}

void ChannelIndexCounter::reset() {
    for (auto& op : counters_) op = {1, 1, 1};
}

namespace {

// An entry whose index blocks the value for its group: it belongs to a device that exists and is
// in use, and it is of one of the four kinds the groups are made of.
bool isLiveEntry(const store::ConfigImage& image, const store::ChannelEntry& e) {
    const int slot = e.deviceSlot();
    if (slot < 0 || slot >= store::layout::kDeviceCount) return false;
    if (image.device(slot).inUse() == 0) return false;
    const std::uint8_t kind = e.kind();
    return kind == store::kInputChannel || kind == store::kOutputChannel || kind == store::kScene ||
           kind == store::kTvWall;
}

// The counter's value or the first one above it that is not taken; past the top of the range the
// search starts again from 1, so an index out of range is never handed out (20,480 entries
// cannot fill the range). The counter moves on to the value after the one given.
template <class Taken>
std::uint32_t takeIndex(std::uint32_t& next, const Taken& taken) {
    std::uint32_t candidate = next == 0 || next >= kIndexLimit ? 1 : next;
    while (candidate < kIndexLimit && taken(candidate)) ++candidate;
    if (candidate >= kIndexLimit) {
        candidate = 1;
        while (taken(candidate)) ++candidate;
    }
    next = candidate + 1 >= kIndexLimit ? 1 : candidate + 1;
    return candidate;
}

}  // namespace

int findFreeChannelEntry(const store::ConfigImage& image, int op) {
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos)
        if (image.channel(op, pos).deviceSlot() == -1) return pos;
    return -1;
}

std::uint32_t allocateChannelIndex(const store::ConfigImage& image, int op, IndexGroup group,
                                   ChannelIndexCounter& counters) {
    // The indexes live entries of the group use, collected once instead of one scan per candidate.
    std::unordered_set<std::uint32_t> used;
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
        const store::ChannelEntry e = image.channel(op, pos);
        if (isLiveEntry(image, e) && groupOfKind(e.kind()) == group) used.insert(e.index());
    }
    return takeIndex(counters.next(op, group), [&](std::uint32_t v) { return used.count(v) != 0; });
}

// Open addressing over a power-of-two table, 0 marking a free cell: index 0 is never a
// candidate, so it need not be kept.
class ChannelAllocator::IndexSet {
  public:
    IndexSet() : cells_(1024, 0) {}
    bool contains(std::uint32_t v) const {
        for (std::size_t i = home(v);; i = (i + 1) & mask()) {
            if (cells_[i] == v) return true;
            if (cells_[i] == 0) return false;
        }
    }
    void insert(std::uint32_t v) {
        if (v == 0) return;
        if (2 * (size_ + 1) > cells_.size()) grow();
        std::size_t i = home(v);
        while (cells_[i] != 0) {
            if (cells_[i] == v) return;
            i = (i + 1) & mask();
        }
        cells_[i] = v;
        ++size_;
    }

  private:
    std::size_t mask() const { return cells_.size() - 1; }
    // Fibonacci hashing: consecutive indexes, the common case, land far apart.
    std::size_t home(std::uint32_t v) const {
        return static_cast<std::size_t>((std::uint64_t{v} * 0x9E3779B97F4A7C15ULL) >> 32) & mask();
    }
    void grow() {
        std::vector<std::uint32_t> old(cells_.size() * 2, 0);
        old.swap(cells_);
        size_ = 0;
        for (std::uint32_t v : old)
            if (v != 0) insert(v);
    }

    std::vector<std::uint32_t> cells_;
    std::size_t size_ = 0;
};

ChannelAllocator::ChannelAllocator(ChannelIndexCounter& counters) : counters_(counters) {}
ChannelAllocator::~ChannelAllocator() = default;

namespace {
std::span<const std::uint8_t> tableBytes(const store::ConfigImage& image, int op) {
    return image.bytes().subspan(
        store::layout::kChannelTable +
            store::layout::kChannelTablePerOperator * static_cast<std::size_t>(op - 1),
        store::layout::kChannelTablePerOperator);
}
// Read straight from the record: this runs for many devices before every device of a run.
std::uint8_t deviceInUse(const store::ConfigImage& image, int slot) {
    return store::getU32(image.bytes().data() + store::layout::kDeviceTable +
                         store::layout::kDeviceRecordSize * static_cast<std::size_t>(slot) +
                         store::DeviceRecord::kInUse) != 0;
}
constexpr std::uint8_t kNotReferenced = 2;
}  // namespace

void ChannelAllocator::build(const store::ConfigImage& image, int op) {
    for (auto& set : used_) set = std::make_unique<IndexSet>();
    inUse_.assign(store::layout::kDeviceCount, kNotReferenced);
    referenced_.clear();
    const auto table = tableBytes(image, op);
    table_.assign(table.begin(), table.end());
    firstMaybeFree_ = 0;
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
        const store::ChannelEntry e = image.channel(op, pos);
        noteDevice(image, e.deviceSlot());
        if (isLiveEntry(image, e))
            used_[static_cast<std::size_t>(groupOfKind(e.kind()))]->insert(e.index());
    }
    op_ = op;
}

void ChannelAllocator::revalidate(const store::ConfigImage& image) {
    if (op_ == 0) return;
    const auto table = tableBytes(image, op_);
    if (!std::equal(table.begin(), table.end(), table_.begin())) {
        op_ = 0;
        return;
    }
    for (int slot : referenced_) {
        if (deviceInUse(image, slot) != inUse_[static_cast<std::size_t>(slot)]) {
            op_ = 0;
            return;
        }
    }
}

// Only the devices the table refers to can change what is kept when they go in or out of use.
void ChannelAllocator::noteDevice(const store::ConfigImage& image, int slot) {
    if (slot < 0 || slot >= store::layout::kDeviceCount) return;
    std::uint8_t& known = inUse_[static_cast<std::size_t>(slot)];
    if (known != kNotReferenced) return;
    known = deviceInUse(image, slot);
    referenced_.push_back(slot);
}

int ChannelAllocator::add(store::ConfigImage& image, int op, const NewChannel& entry) {
    if (op < 1 || op > 3) throw std::out_of_range("operator");
    if (op != op_) build(image, op);
    // Positions only fill up between revalidations, so the first empty one never moves back.
    while (firstMaybeFree_ < store::layout::kChannelCount &&
           image.channel(op, firstMaybeFree_).deviceSlot() != -1)
        ++firstMaybeFree_;
    const int pos = firstMaybeFree_;
    if (pos == store::layout::kChannelCount) return -1;

    store::ChannelEntry e = image.channel(op, pos);
    noteDevice(image, entry.slot);
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
    // Filled in, the entry is live before it has its index, so what its index held (left over in
    // an emptied entry) is taken too, as a scan of the table at this point would find it.
    const IndexGroup group = groupOfKind(entry.kind);
    const IndexSet& used = *used_[static_cast<std::size_t>(group)];
    const bool live = isLiveEntry(image, e);
    const std::uint32_t leftOver = live ? e.index() : 0;
    const std::uint32_t index = takeIndex(counters_.next(op, group), [&](std::uint32_t v) {
        return v == leftOver || used.contains(v);
    });
    e.setIndex(index);
    if (live) used_[static_cast<std::size_t>(group)]->insert(index);
    std::memcpy(table_.data() + store::layout::kChannelEntrySize * static_cast<std::size_t>(pos),
                e.data(), store::layout::kChannelEntrySize);
    return pos;
}

}  // namespace kbcfg::users
