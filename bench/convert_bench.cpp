// Stage 2 of the conversion in the worst case for index bases (3840 typed devices, every channel
// an output of an in-use device, indexes over many thousands): against the literal full rescan
// per device, and against the same layout with no typed device.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "store/config_image.h"
#include "store/legacy.h"
#include "support/legacy_files.h"
#include "support/literal_index_base.h"

namespace {

using namespace kbcfg;
using Clock = std::chrono::steady_clock;

const std::vector<std::uint8_t>& worstCase() {
    static const auto file =
        testing::makeOldFile(store::legacy::kV130826, testing::indexBaseStressContent(400));
    return file;
}

const std::vector<std::uint8_t>& noTypedDevice() {
    static const auto file =
        testing::makeOldFile(store::legacy::kV130826, testing::indexBaseStressContent(30));
    return file;
}

template <class F>
double meanSeconds(F&& f, int runs) {
    f();  // warm up
    const auto start = Clock::now();
    for (int i = 0; i < runs; ++i) f();
    return std::chrono::duration<double>(Clock::now() - start).count() / runs;
}

// The literal conversion is slow, so it runs once per process.
struct LiteralReference {
    double seconds = 0;
    bool identical = false;
};

const LiteralReference& literalReference() {
    static const LiteralReference ref = [] {
        LiteralReference r;
        store::ConfigImage literal, fast;
        const auto& in = worstCase();
        const auto start = Clock::now();
        testing::LiteralIndexBaseAllocator allocator(in);
        store::legacy::convertIntermediate(in, literal,
                                           [&] { return allocator.allocateIndexBase(); });
        r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        store::legacy::convertIntermediate(in, fast);
        r.identical = std::equal(fast.bytes().begin(), fast.bytes().end(), literal.bytes().begin());
        return r;
    }();
    return ref;
}

double noTypedDeviceSeconds() {
    static const double s = [] {
        store::ConfigImage image;
        return meanSeconds([&] { store::legacy::convertIntermediate(noTypedDevice(), image); }, 50);
    }();
    return s;
}

void BM_Stage2NoTypedDevice(benchmark::State& state) {
    store::ConfigImage image;
    for (auto _ : state) {
        store::legacy::convertIntermediate(noTypedDevice(), image);
        benchmark::DoNotOptimize(image.bytes().data());
    }
}
BENCHMARK(BM_Stage2NoTypedDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Stage2WorstCase(benchmark::State& state) {
    const LiteralReference& ref = literalReference();
    if (!ref.identical) {
        state.SkipWithError("fast and literal conversion differ");
        return;
    }
    store::ConfigImage image;
    const auto start = Clock::now();
    for (auto _ : state) {
        store::legacy::convertIntermediate(worstCase(), image);
        benchmark::DoNotOptimize(image.bytes().data());
    }
    const double fast = std::chrono::duration<double>(Clock::now() - start).count() /
                        static_cast<double>(state.iterations());
    state.counters["literal_ms"] = ref.seconds * 1e3;
    state.counters["literal_over_fast"] = ref.seconds / fast;
    state.counters["worst_over_plain"] = fast / noTypedDeviceSeconds();
}
BENCHMARK(BM_Stage2WorstCase)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole road of an older file, for scale.
void BM_ConvertOldFile(benchmark::State& state) {
    const auto version = static_cast<std::uint32_t>(state.range(0));
    const auto file = testing::makeOldFile(version, testing::sampleContent());
    store::ConfigImage image;
    std::vector<std::uint8_t> intermediate;
    for (auto _ : state) {
        store::legacy::convertToIntermediate(version, file, intermediate);
        store::legacy::convertIntermediate(intermediate, image);
        benchmark::DoNotOptimize(image.bytes().data());
    }
}
BENCHMARK(BM_ConvertOldFile)
    ->Arg(store::legacy::kV120716)
    ->Arg(store::legacy::kV110310)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
