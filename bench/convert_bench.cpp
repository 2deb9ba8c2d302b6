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

void BM_Stage2NoTypedDevice(benchmark::State& state) {
    store::ConfigImage image;
    for (auto _ : state) {
        store::legacy::convertIntermediate(noTypedDevice(), image);
        benchmark::DoNotOptimize(image.bytes().data());
    }
}
BENCHMARK(BM_Stage2NoTypedDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worst case and the plain conversion alternate and the best run of each counts, so that a
// busy machine does not skew their ratio.
void BM_Stage2WorstCase(benchmark::State& state) {
    const LiteralReference& ref = literalReference();
    if (!ref.identical) {
        state.SkipWithError("fast and literal conversion differ");
        return;
    }
    store::ConfigImage image;
    auto seconds = [&](const std::vector<std::uint8_t>& file) {
        const auto start = Clock::now();
        store::legacy::convertIntermediate(file, image);
        benchmark::DoNotOptimize(image.bytes().data());
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double worst = 1e9, plain = 1e9;
    for (auto _ : state) {
        const double s = seconds(worstCase());
        state.SetIterationTime(s);
        worst = std::min(worst, s);
        plain = std::min(plain, seconds(noTypedDevice()));
    }
    state.counters["literal_ms"] = ref.seconds * 1e3;
    state.counters["literal_over_fast"] = ref.seconds / worst;
    state.counters["worst_over_plain"] = worst / plain;
}
BENCHMARK(BM_Stage2WorstCase)->Unit(benchmark::kMillisecond)->UseManualTime();

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
