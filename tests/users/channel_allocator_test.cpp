#include "users/channel_allocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <random>

#include "support/literal_channel_alloc.h"

namespace kbcfg::users {
namespace {

constexpr std::uint32_t kTop = kIndexLimit - 1;

// Random tables built to make the allocator's shortcuts matter: indexes crowding the counters,
// the top and the bottom of the range; leftovers in empty entries; entries of devices not in use,
// of slots outside the device table and of kinds outside every group; nearly full and full tables;
// and changes made behind the allocator's back between devices.
class Generator {
  public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool chance(int percent) { return below(100) < percent; }

    std::uint32_t index(const std::array<std::uint32_t, 3>& near) {
        const auto window = static_cast<std::uint32_t>(below(24));
        switch (below(8)) {
            case 0:
                return window + 1;
            case 1:
                return kTop - window;
            case 2:
                return 0;
            case 3:
                return kIndexLimit + window;
            case 4:
                return std::uniform_int_distribution<std::uint32_t>(1, kTop)(rng_);
            default:
                return near[static_cast<std::size_t>(below(3))] + window;
        }
    }
    std::uint32_t counter() {
        const auto window = static_cast<std::uint32_t>(below(16));
        switch (below(6)) {
            case 0:
                return 1;
            case 1:
                return kTop - window;
            case 2:
                return below(10) == 0 ? 0 : kIndexLimit + window;
            default:
                return 1 + static_cast<std::uint32_t>(below(5000));
        }
    }
    std::uint8_t kind() { return static_cast<std::uint8_t>(below(6)); }
    std::uint8_t groupKind() {
        constexpr std::uint8_t kKinds[] = {store::kInputChannel, store::kOutputChannel,
                                           store::kScene, store::kTvWall};
        return kKinds[below(4)];
    }

    // A device slot for an entry: mostly the few devices the case uses, now and then none.
    int slot() {
        if (chance(3)) return below(2) ? -2 : 3840 + below(30000);
        return kSlots[below(static_cast<int>(std::size(kSlots)))];
    }
    static constexpr int kSlots[] = {0, 1, 2, 7, 100, 3839};

    void fillEntry(store::ChannelEntry e, int slot, const std::array<std::uint32_t, 3>& near) {
        e.setDeviceSlot(static_cast<std::int16_t>(slot));
        e.setKind(kind());
        e.setIndex(index(near));
        e.setNumber(static_cast<std::uint16_t>(below(300)));
    }

  private:
    std::mt19937 rng_;
};

struct Pair {
    std::unique_ptr<store::ConfigImage> fast = std::make_unique<store::ConfigImage>();
    std::unique_ptr<store::ConfigImage> literal = std::make_unique<store::ConfigImage>();

    std::span<std::uint8_t> table(store::ConfigImage& image, int op) {
        return image.bytes().subspan(
            store::layout::kChannelTable +
                store::layout::kChannelTablePerOperator * static_cast<std::size_t>(op - 1),
            store::layout::kChannelTablePerOperator);
    }
    // Makes the literal image's table and devices' use equal to the fast one's.
    void mirror(int op) {
        std::ranges::copy(table(*fast, op), table(*literal, op).begin());
        for (int slot : Generator::kSlots)
            literal->device(slot).setInUse(fast->device(slot).inUse());
    }
    bool same(int op) { return std::ranges::equal(table(*fast, op), table(*literal, op)); }
};

// Some edit of the table or of a device's use by someone else than the allocator.
void editBehindTheAllocator(Generator& g, store::ConfigImage& image, int op,
                            const std::array<std::uint32_t, 3>& near) {
    const int pos = g.below(store::layout::kChannelCount);
    switch (g.below(4)) {
        case 0:
            image.channel(op, g.below(64)).clear();
            break;
        case 1:
            g.fillEntry(image.channel(op, pos), g.slot(), near);
            break;
        case 2:
            image.channel(op, pos).setIndex(g.index(near));
            break;
        default: {
            store::DeviceRecord dev = image.device(Generator::kSlots[g.below(6)]);
            dev.setInUse(dev.inUse() ? 0 : 1);
        }
    }
}

TEST(ChannelAllocator, PlacesAndNumbersLikeTheScanForEveryEntry) {
    Generator g(20260613);
    Pair images;
    ChannelIndexCounter fastCounters, literalCounters;
    constexpr int kTables = 3000;
    for (int table = 0; table < kTables; ++table) {
        const int op = 1 + g.below(3);
        std::array<std::uint32_t, 3> near{};
        for (int group = 0; group < 3; ++group) {
            near[static_cast<std::size_t>(group)] = g.counter();
            fastCounters.next(op, static_cast<IndexGroup>(group)) = literalCounters.next(
                op, static_cast<IndexGroup>(group)) = near[static_cast<std::size_t>(group)];
        }
        for (int slot : Generator::kSlots) images.fast->device(slot).setInUse(g.chance(80) ? 1 : 0);

        // Empty entries, some with leftovers. Then a full table (a cheap pattern, partly
        // randomised) with a few holes, or a run of taken positions at the start, or a few hundred
        // scattered entries.
        const int fill = g.below(4);
        auto entryAt = [&](int pos) { return images.fast->channel(op, pos); };
        for (int pos = 0; pos < store::layout::kChannelCount; ++pos) entryAt(pos).clear();
        for (int k = 0; k < 400; ++k)
            entryAt(g.below(store::layout::kChannelCount)).setIndex(g.index(near));
        if (fill == 0) {
            for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
                store::ChannelEntry e = entryAt(pos);
                e.setDeviceSlot(static_cast<std::int16_t>(Generator::kSlots[pos % 6]));
                e.setKind(static_cast<std::uint8_t>(pos % 5));
                e.setIndex(near[static_cast<std::size_t>(pos % 3)] +
                           static_cast<std::uint32_t>(pos % 29));
            }
        }
        for (int pos = 0; pos < (fill == 1 ? g.below(3000) : 0); ++pos)
            g.fillEntry(entryAt(pos), g.slot(), near);
        for (int k = 0; k < 300; ++k)
            g.fillEntry(entryAt(g.below(store::layout::kChannelCount)), g.slot(), near);
        for (int holes = fill == 0 ? g.below(12) : 0; holes > 0; --holes)
            entryAt(g.below(store::layout::kChannelCount)).setDeviceSlot(-1);
        images.mirror(op);

        ChannelAllocator allocator(fastCounters);
        const int devices = 1 + g.below(4);
        for (int device = 0; device < devices; ++device) {
            if (device > 0 && g.chance(30)) {
                editBehindTheAllocator(g, *images.fast, op, near);
                images.mirror(op);
            }
            allocator.revalidate(*images.fast);
            const int slot = g.chance(90) ? Generator::kSlots[g.below(6)] : g.slot();
            const int entries = 1 + g.below(fill == 0 ? 16 : 6);
            for (int k = 0; k < entries; ++k) {
                const NewChannel entry{slot, g.groupKind(), g.below(300),
                                       static_cast<std::uint8_t>(g.below(4)),
                                       static_cast<std::uint8_t>(g.below(40))};
                const int want =
                    testing::literalAddChannel(*images.literal, op, entry, literalCounters);
                ASSERT_EQ(allocator.add(*images.fast, op, entry), want) << "table " << table;
                if (want < 0) continue;
                ASSERT_EQ(images.fast->channel(op, want).index(),
                          images.literal->channel(op, want).index())
                    << "table " << table << " position " << want;
            }
        }
        ASSERT_TRUE(images.same(op)) << "table " << table;
        for (int group = 0; group < 3; ++group)
            ASSERT_EQ(fastCounters.next(op, static_cast<IndexGroup>(group)),
                      literalCounters.next(op, static_cast<IndexGroup>(group)))
                << "table " << table;
    }
}

}  // namespace
}  // namespace kbcfg::users
