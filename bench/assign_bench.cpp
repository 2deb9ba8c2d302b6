// Channel positions and indexes for an assignment run at full size: 320 devices of 64 inputs
// fill an operator's 20,480 entries, once into an empty table and once around entries already
// there. The run's allocator against the scans transcribed step by step (one for the free
// position, one per candidate index), with identical results required.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "store/config_image.h"
#include "support/literal_channel_alloc.h"
#include "users/channel_allocator.h"

namespace {

using namespace kbcfg;
using Clock = std::chrono::steady_clock;
constexpr int kOp = 2;
constexpr int kChannelsPerDevice = 64;

struct FillCase {
    std::unique_ptr<store::ConfigImage> start = std::make_unique<store::ConfigImage>();
    int devices = 0;  // devices to assign, from slot 0 on
};

FillCase emptyTable() {
    FillCase c;
    c.start->clearOperatorTables(kOp);
    for (int slot = 0; slot < 3840; ++slot) c.start->device(slot).setInUse(1);
    c.devices = store::layout::kChannelCount / kChannelsPerDevice;
    return c;
}

// Half the table taken at scattered positions by devices 3000 and up: a block of consecutive
// input indexes from 1, scattered indexes above it and up to the top of the range, outputs and
// entries of a device not in use. 160 devices fill the other half.
FillCase scatteredTable() {
    FillCase c = emptyTable();
    c.start->device(3839).setInUse(0);
    std::mt19937 rng(7);
    std::vector<int> positions(store::layout::kChannelCount);
    for (int i = 0; i < store::layout::kChannelCount; ++i)
        positions[static_cast<std::size_t>(i)] = i;
    std::shuffle(positions.begin(), positions.end(), rng);
    positions.resize(store::layout::kChannelCount / 2);
    std::uniform_int_distribution<std::uint32_t> anyIndex(4001, 99'999'999), low(4001, 30'000);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        store::ChannelEntry e = c.start->channel(kOp, positions[i]);
        e.setDeviceSlot(static_cast<std::int16_t>(i % 50 == 0 ? 3839 : 3000 + i % 839));
        e.setKind(i % 4 == 3 ? store::kOutputChannel : store::kInputChannel);
        e.setIndex(i < 4000 ? static_cast<std::uint32_t>(i + 1) : i % 3 ? low(rng) : anyIndex(rng));
    }
    c.devices = store::layout::kChannelCount / 2 / kChannelsPerDevice;
    return c;
}

const FillCase& fillCase(int which) {
    static const FillCase empty = emptyTable();
    static const FillCase scattered = scatteredTable();
    return which == 0 ? empty : scattered;
}

// One run: the devices' inputs in slot order; the fast way checks the table before each device,
// as the run does.
template <class Add>
void assignAll(const FillCase& c, Add&& add) {
    for (int slot = 0; slot < c.devices; ++slot)
        for (int k = 0; k < kChannelsPerDevice; ++k)
            add(users::NewChannel{slot, store::kInputChannel, 1 + k}, k == 0);
}

void reset(const FillCase& c, store::ConfigImage& image, users::ChannelIndexCounter& counters) {
    std::ranges::copy(c.start->bytes(), image.bytes().begin());
    counters.reset();
}

struct LiteralReference {
    double seconds = 0;
    bool identical = false;
};

// The literal run is slow: it runs twice per case and process, and its faster run counts.
const LiteralReference& literalReference(int which) {
    static LiteralReference refs[2];
    static bool done[2] = {false, false};
    LiteralReference& ref = refs[which];
    if (done[which]) return ref;
    const FillCase& c = fillCase(which);
    auto literal = std::make_unique<store::ConfigImage>();
    auto fast = std::make_unique<store::ConfigImage>();
    users::ChannelIndexCounter literalCounters, fastCounters;
    for (int run = 0; run < 2; ++run) {
        reset(c, *literal, literalCounters);
        const auto start = Clock::now();
        assignAll(c, [&](const users::NewChannel& e, bool) {
            testing::literalAddChannel(*literal, kOp, e, literalCounters);
        });
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        if (run == 0 || s < ref.seconds) ref.seconds = s;
    }
    reset(c, *fast, fastCounters);
    users::ChannelAllocator allocator(fastCounters);
    assignAll(c, [&](const users::NewChannel& e, bool firstOfDevice) {
        if (firstOfDevice) allocator.revalidate(*fast);
        allocator.add(*fast, kOp, e);
    });
    ref.identical = std::ranges::equal(literal->bytes(), fast->bytes());
    for (int group = 0; group < 3; ++group)
        ref.identical = ref.identical && literalCounters.next(kOp, users::IndexGroup(group)) ==
                                             fastCounters.next(kOp, users::IndexGroup(group));
    done[which] = true;
    return ref;
}

void BM_AssignRunChannels(benchmark::State& state) {
    const int which = static_cast<int>(state.range(0));
    const LiteralReference& ref = literalReference(which);
    if (!ref.identical) {
        state.SkipWithError("allocator and literal scans differ");
        return;
    }
    const FillCase& c = fillCase(which);
    auto image = std::make_unique<store::ConfigImage>();
    users::ChannelIndexCounter counters;
    double best = 0;
    for (auto _ : state) {
        reset(c, *image, counters);
        const auto start = Clock::now();
        users::ChannelAllocator allocator(counters);
        assignAll(c, [&](const users::NewChannel& e, bool firstOfDevice) {
            if (firstOfDevice) allocator.revalidate(*image);
            allocator.add(*image, kOp, e);
        });
        benchmark::DoNotOptimize(image->bytes().data());
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(s);
        if (best == 0 || s < best) best = s;
    }
    state.counters["entries"] = c.devices * kChannelsPerDevice;
    state.counters["literal_ms"] = ref.seconds * 1e3;
    state.counters["literal_over_fast"] = ref.seconds / best;
}
BENCHMARK(BM_AssignRunChannels)
    ->ArgName("scattered")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

}  // namespace
