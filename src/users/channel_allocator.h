#pragma once
// Channel positions and indexes for the entries a device assignment adds to an operator's table.
// Each new entry goes to the first empty position and takes the group's counter value, or the
// next value above it that no live entry of the operator's group uses.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "store/config_image.h"

namespace kbcfg::users {

enum class IndexGroup { Inputs = 0, Outputs = 1, ScenesAndWalls = 2 };
IndexGroup groupOfKind(std::uint8_t kind);

// The next candidate index per operator and group. One per process, starting at 1; never stored.
class ChannelIndexCounter {
  public:
    static ChannelIndexCounter& instance();
    std::uint32_t& next(int op, IndexGroup group) {
        return counters_[static_cast<std::size_t>(op - 1)][static_cast<std::size_t>(group)];
    }
    void reset();

  private:
    std::array<std::array<std::uint32_t, 3>, 3> counters_{{{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}};
};

inline constexpr std::uint32_t kIndexLimit = 100'000'000;  // indexes are 1 .. kIndexLimit - 1

// The first empty channel position of the operator, or -1.
int findFreeChannelEntry(const store::ConfigImage& image, int op);

// The next index of the group not used by a live entry of the operator in that group.
std::uint32_t allocateChannelIndex(const store::ConfigImage& image, int op, IndexGroup group,
                                   ChannelIndexCounter& counters);

// One entry to add: the fields a device's probe gives it.
struct NewChannel {
    int slot;
    std::uint8_t kind;
    int number;
    std::uint8_t outputPort = 0;  // outputs only
    std::uint8_t portFirst = 0;   // outputs only
};

// Adds entries as findFreeChannelEntry and allocateChannelIndex would place and number them, one
// after another, without scanning the table for each entry: it keeps the operator's used indexes
// per group and where the empty positions start, read once from the image and kept current by its
// own additions. Meant for one assignment run; revalidate() drops what it keeps when anything
// else has changed the table or which devices are in use.
class ChannelAllocator {
  public:
    explicit ChannelAllocator(ChannelIndexCounter& counters = ChannelIndexCounter::instance());
    ~ChannelAllocator();
    ChannelAllocator(const ChannelAllocator&) = delete;
    ChannelAllocator& operator=(const ChannelAllocator&) = delete;

    // Writes the entry at the operator's first empty position with the next free index of its
    // group and returns the position; -1, with nothing written, when the table is full.
    int add(store::ConfigImage& image, int op, const NewChannel& entry);

    // Forgets what it keeps unless the operator's table and the devices' use are exactly as its
    // own last addition left them. Cheap next to a save; call it whenever other code may have
    // run since the last add (the run does so before each device).
    void revalidate(const store::ConfigImage& image);

  private:
    class IndexSet;
    void build(const store::ConfigImage& image, int op);
    void noteDevice(const store::ConfigImage& image, int slot);

    ChannelIndexCounter& counters_;
    int op_ = 0;  // 0: nothing kept
    int firstMaybeFree_ = 0;
    std::array<std::unique_ptr<IndexSet>, 3> used_;
    // The table and the in-use flags of its devices as last seen, to notice others' changes.
    std::vector<std::uint8_t> table_;
    std::vector<std::uint8_t> inUse_;  // per slot: 0, 1, or not referenced by the table
    std::vector<int> referenced_;
};

}  // namespace kbcfg::users
