// Loading and saving a current-layout file through the files of a temporary folder, against the
// same reading, unscrambling and checksumming done on bytes in memory.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "store/checksum.h"
#include "store/config_image.h"
#include "store/files.h"
#include "store/host.h"
#include "store/session.h"
#include "support/legacy_files.h"
#include "support/temp_dir.h"

namespace {

using namespace kbcfg;
using Clock = std::chrono::steady_clock;

class SilentHost : public store::Host {
  public:
    void showMessage(int, const std::string&) override { ++messages; }
    store::Answer askOkCancel(int, const std::string&) override { return store::Answer::Ok; }
    std::optional<std::filesystem::path> chooseOpenFile(const store::FileChoiceRequest&) override {
        return std::nullopt;
    }
    void setWaitCursor(bool) override {}
    void post(std::function<void()>) override {}
    int startTimer(int, std::function<void()>) override { return 1; }
    void killTimer(int) override {}
    int messages = 0;
};

struct Setup {
    testing::TempDir dir;
    store::SessionState session;
    std::vector<std::uint8_t> scrambled;  // the configuration file's bytes
    Setup() {
        scrambled = testing::makeCurrentFile(testing::sampleContent());
        store::scrambleBytes(scrambled);
        store::setConfigPaths(session, dir / "kbCfg.bin");
        testing::writeAll(session.configPath, scrambled);
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

// What a load does once the bytes are in memory.
bool decodeInMemory(const std::vector<std::uint8_t>& scrambled, store::ConfigImage& image) {
    std::vector<std::uint8_t> plain(scrambled);
    store::scrambleBytes(plain);
    const std::uint32_t length = store::getU32(plain.data() + 8);
    if (store::imageChecksum(plain, length) != store::getU32(plain.data() + 4)) return false;
    std::memcpy(image.bytes().data(), plain.data(), store::layout::kImageSize);
    return true;
}

template <class F>
double meanSeconds(F&& f, int runs) {
    f();
    const auto start = Clock::now();
    for (int i = 0; i < runs; ++i) f();
    return std::chrono::duration<double>(Clock::now() - start).count() / runs;
}

double inMemoryLoadSeconds() {
    static const double s = [] {
        store::ConfigImage image;
        return meanSeconds([&] { decodeInMemory(setup().scrambled, image); }, 50);
    }();
    return s;
}

double inMemorySaveSeconds(const store::ConfigImage& image) {
    static const double s = meanSeconds(
        [&] {
            std::vector<std::uint8_t> out(image.bytes().begin(), image.bytes().end());
            store::scrambleBytes(out);
            benchmark::DoNotOptimize(out.data());
        },
        50);
    return s;
}

void BM_LoadInMemory(benchmark::State& state) {
    store::ConfigImage image;
    for (auto _ : state) {
        if (!decodeInMemory(setup().scrambled, image)) state.SkipWithError("checksum");
        benchmark::DoNotOptimize(image.bytes().data());
    }
}
BENCHMARK(BM_LoadInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadImage(benchmark::State& state) {
    Setup& s = setup();
    SilentHost host;
    store::ConfigImage image;
    const auto start = Clock::now();
    for (auto _ : state) {
        if (store::loadImage(host, s.session, image) != 0) {
            state.SkipWithError("load failed");
            break;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count() /
                           static_cast<double>(state.iterations());
    state.counters["over_in_memory"] = seconds / inMemoryLoadSeconds();
}
BENCHMARK(BM_LoadImage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveInMemory(benchmark::State& state) {
    store::ConfigImage image;
    for (auto _ : state) {
        std::vector<std::uint8_t> out(image.bytes().begin(), image.bytes().end());
        store::scrambleBytes(out);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_SaveInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writes the plain working copy and replaces the configuration file atomically, fsyncs included.
void BM_SaveImage(benchmark::State& state) {
    Setup& s = setup();
    SilentHost host;
    store::ConfigImage image;
    if (store::loadImage(host, s.session, image) != 0) {
        state.SkipWithError("load failed");
        return;
    }
    const auto start = Clock::now();
    for (auto _ : state) {
        if (store::saveImage(host, s.session, image) != 0) {
            state.SkipWithError("save failed");
            break;
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count() /
                           static_cast<double>(state.iterations());
    state.counters["over_in_memory"] = seconds / inMemorySaveSeconds(image);
}
BENCHMARK(BM_SaveImage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
