// The device page with a full table (presenter rebuild and model reset on the offscreen
// platform), and a 256-address range added to a table with 3,500 used order: the presenter's
// one-pass range add against the literal procedure, which scans all 3,840 records per address.
// Both range adds save the file (to a RAM folder when there is one); the save alone is measured
// too, so the share of the scans can be read off.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>

#include "devices/devadd.h"
#include "gui/gui_context.h"
#include "gui/mandev_view.h"
#include "gui/qt_host.h"
#include "store/config_image.h"
#include "store/files.h"
#include "store/session.h"

namespace {

using namespace kbcfg;

constexpr int kUsedSlots = 3500;
constexpr std::uint32_t kRangePrefix = store::packIp(10, 9, 0, 0);

// A temp folder, in RAM when the machine has one, so disk flushes do not drown the scans.
QTemporaryDir& workDir() {
    static QTemporaryDir dir(QDir("/dev/shm").exists()
                                 ? QStringLiteral("/dev/shm/kbcfg-bench-XXXXXX")
                                 : QDir::temp().filePath(QStringLiteral("kbcfg-bench-XXXXXX")));
    return dir;
}

struct World {
    gui::QtHost host;
    store::SessionState session;
    std::unique_ptr<store::ConfigImage> image = std::make_unique<store::ConfigImage>();

    World() {
        host.script.active = true;
        store::setConfigPaths(session, QDir(workDir().path()).filePath("kbCfg.bin").toStdString());
        image->stampCurrentHeader();
        image->operatorRecord(0).setInUse(1);
        image->operatorRecord(0).setName("admin");
        for (int op = 1; op <= 3; ++op) image->clearOperatorTables(op);
    }
    void addDevice(int slot, std::uint32_t ip) {
        store::DeviceRecord dev = image->device(slot);
        dev.setInUse(1);
        dev.setIp(ip);
        dev.setPort(8000);
        dev.setUserName("admin");
    }
};

// 3,500 used order spread over the table; 200 of them hold addresses of the range.
void fillForRange(World& w) {
    std::mt19937 rng(3);
    std::vector<int> order(store::layout::kDeviceCount);
    for (int i = 0; i < store::layout::kDeviceCount; ++i) order[static_cast<std::size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (int i = 0; i < kUsedSlots; ++i) {
        const int slot = order[static_cast<std::size_t>(i)];
        const std::uint32_t ip = i < 200 ? (kRangePrefix | (std::uint32_t(rng() % 256) << 24))
                                         : store::packIp(10, 8, static_cast<std::uint8_t>(i >> 8),
                                                         static_cast<std::uint8_t>(i));
        w.addDevice(slot, ip);
    }
}

// The procedure as written: a free-slot scan per added device and a scan of all records per
// address.
int literalRange(store::ConfigImage& image, std::uint32_t prefix, int first, int last) {
    int added = 0;
    for (int x = first; x <= last; ++x) {
        const int slot = image.findFreeDeviceSlot();
        if (slot < 0) return added;
        while (x <= last && image.deviceIpExists(prefix | (std::uint32_t(x) << 24))) ++x;
        if (x <= last) {
            store::DeviceRecord dev = image.device(slot);
            dev.setInUse(1);
            dev.setIp(prefix | (std::uint32_t(x) << 24));
            dev.setPort(8000);
            dev.setUserName("admin");
            dev.setPassword("");
            ++added;
        }
    }
    return added;
}

int presenterRange(World& w) {
    int refresh = 0;
    devices::devadd range(w.host, w.session, *w.image, &refresh);
    range.setType(devices::devadd::Type::BatchIp);
    range.startIp = store::Ipv4Fields::of(10, 9, 0, 0);
    range.endIp = store::Ipv4Fields::of(10, 9, 0, 255);
    range.add();
    return range.lastAdded;
}

void restore(World& w, const std::vector<std::uint8_t>& bytes) {
    std::copy(bytes.begin(), bytes.end(), w.image->bytes().begin());
}

const std::vector<std::uint8_t>& rangeTable() {
    static const std::vector<std::uint8_t> bytes = [] {
        World w;
        fillForRange(w);
        return std::vector<std::uint8_t>(w.image->bytes().begin(), w.image->bytes().end());
    }();
    return bytes;
}

bool resultsIdentical(int& added) {
    World fast, literal;
    restore(fast, rangeTable());
    restore(literal, rangeTable());
    added = presenterRange(fast);
    const int literalAdded = literalRange(*literal.image, kRangePrefix, 0, 255);
    literal.image->updateChecksum();
    return added == literalAdded &&
           std::equal(fast.image->bytes().begin(), fast.image->bytes().end(),
                      literal.image->bytes().begin());
}

void BM_RangeAdd_Presenter(benchmark::State& state) {
    int added = 0;
    if (!resultsIdentical(added)) {
        state.SkipWithError("presenter and literal range add differ");
        return;
    }
    World w;
    for (auto _ : state) {
        state.PauseTiming();
        restore(w, rangeTable());
        state.ResumeTiming();
        benchmark::DoNotOptimize(presenterRange(w));
    }
    state.counters["added"] = added;
}
BENCHMARK(BM_RangeAdd_Presenter)->Unit(benchmark::kMillisecond);

void BM_RangeAdd_LiteralThenSave(benchmark::State& state) {
    World w;
    for (auto _ : state) {
        state.PauseTiming();
        restore(w, rangeTable());
        state.ResumeTiming();
        benchmark::DoNotOptimize(literalRange(*w.image, kRangePrefix, 0, 255));
        store::saveChange(w.host, w.session, *w.image);
    }
}
BENCHMARK(BM_RangeAdd_LiteralThenSave)->Unit(benchmark::kMillisecond);

// What both range adds spend on saving.
void BM_RangeAdd_SaveAlone(benchmark::State& state) {
    World w;
    restore(w, rangeTable());
    for (auto _ : state) store::saveChange(w.host, w.session, *w.image);
}
BENCHMARK(BM_RangeAdd_SaveAlone)->Unit(benchmark::kMillisecond);

// The scans alone, without the save.
void BM_RangeAdd_LiteralScansOnly(benchmark::State& state) {
    World w;
    for (auto _ : state) {
        state.PauseTiming();
        restore(w, rangeTable());
        state.ResumeTiming();
        benchmark::DoNotOptimize(literalRange(*w.image, kRangePrefix, 0, 255));
    }
}
BENCHMARK(BM_RangeAdd_LiteralScansOnly)->Unit(benchmark::kMillisecond);

// The device page listing all 3,840 devices: presenter rebuild, model reset, and the event
// processing that lays out and paints the visible rows.
void BM_DevicePage_FullTableRefresh(benchmark::State& state) {
    World w;
    for (int slot = 0; slot < store::layout::kDeviceCount; ++slot)
        w.addDevice(slot, store::packIp(10, static_cast<std::uint8_t>(slot >> 8),
                                        static_cast<std::uint8_t>(slot), 1));
    gui::GuiContext context{w.host, w.session, *w.image};
    gui::MandevView page(context);
    page.resize(700, 480);
    page.show();
    QApplication::processEvents();
    for (auto _ : state) {
        page.refresh();
        QApplication::processEvents();
    }
    if (page.list()->model()->rowCount() != store::layout::kDeviceCount)
        state.SkipWithError("the list is not full");
}
BENCHMARK(BM_DevicePage_FullTableRefresh)->Unit(benchmark::kMillisecond);

// The offscreen platform's notes about window hints are noise here.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
