// The channel page's hot paths over a full table of 20,480 channels: the batch renumbering in the
// worst cases of the literal procedure, against that procedure, and filling and scrolling the
// list on the offscreen platform.

#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "channels/userchan.h"
#include "gui/gui_context.h"
#include "gui/qt_host.h"
#include "gui/userchan_view.h"
#include "store/config_image.h"
#include "store/session.h"
#include "support/literal_batch.h"

namespace {

using namespace kbcfg;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kRows = store::layout::kChannelCount;

using kbcfg::testing::literalBatch;

struct BatchCase {
    std::vector<std::int32_t> old;
    std::size_t start, end;
    std::int32_t value;
};

// The restart scan at its worst: the rows above start hold 1, 2, 3, ... so that v walks through
// all of them, one restart per step. The literal cost is about start^2 / 2 + (rows - start) *
// start comparisons, largest with start on the last row.
const BatchCase& restartWorstCase() {
    static const BatchCase c = [] {
        BatchCase b{std::vector<std::int32_t>(kRows), kRows - 1, kRows - 1, 1};
        for (std::size_t r = 0; r < kRows; ++r) b.old[r] = static_cast<std::int32_t>(r + 1);
        return b;
    }();
    return c;
}

// Near the top of the range over the whole list: the return rule compares every row with all
// rows below it, none of which matches.
const BatchCase& nearTopCase() {
    static const BatchCase c = [] {
        BatchCase b{std::vector<std::int32_t>(kRows), 0, kRows - 1,
                    99'999'999 - static_cast<std::int32_t>(kRows)};
        for (std::size_t r = 0; r < kRows; ++r) b.old[r] = static_cast<std::int32_t>(r + 1);
        return b;
    }();
    return c;
}

struct LiteralReference {
    double seconds = 0;
    bool identical = false;
};

// The literal procedure is slow, so it runs only a few times per case and process; its fastest
// run counts, which keeps the ratio on the safe side on a busy machine.
LiteralReference measureLiteral(const BatchCase& c) {
    LiteralReference ref;
    bool literalTop = false, fastTop = false;
    std::vector<std::int32_t> literal;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        literal = literalBatch(c.old, c.start, c.end, c.value, literalTop);
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        if (run == 0 || s < ref.seconds) ref.seconds = s;
    }
    const auto fast = channels::renumberBatch(c.old, c.start, c.end, c.value, fastTop);
    ref.identical = literal == fast && literalTop == fastTop;
    return ref;
}

void runBatch(benchmark::State& state, const BatchCase& c, const LiteralReference& ref) {
    if (!ref.identical) {
        state.SkipWithError("fast and literal renumbering differ");
        return;
    }
    bool nearTop = false;
    const auto start = Clock::now();
    for (auto _ : state) {
        auto renumbered = channels::renumberBatch(c.old, c.start, c.end, c.value, nearTop);
        benchmark::DoNotOptimize(renumbered.data());
    }
    const double fast = std::chrono::duration<double>(Clock::now() - start).count() /
                        static_cast<double>(state.iterations());
    state.counters["literal_ms"] = ref.seconds * 1e3;
    state.counters["literal_over_fast"] = ref.seconds / fast;
}

void BM_BatchRestartWorstCase(benchmark::State& state) {
    static const LiteralReference ref = measureLiteral(restartWorstCase());
    runBatch(state, restartWorstCase(), ref);
}
BENCHMARK(BM_BatchRestartWorstCase)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BatchNearTop(benchmark::State& state) {
    static const LiteralReference ref = measureLiteral(nearTopCase());
    runBatch(state, nearTopCase(), ref);
}
BENCHMARK(BM_BatchNearTop)->Unit(benchmark::kMillisecond)->UseRealTime();

// A page over an operator with every one of the 20,480 channels an input of a live device.
struct FullPage {
    gui::QtHost host;
    store::SessionState session;
    std::unique_ptr<store::ConfigImage> image = std::make_unique<store::ConfigImage>();
    std::unique_ptr<gui::GuiContext> context;
    std::unique_ptr<gui::UserchanView> view;

    FullPage() {
        host.script.active = true;
        image->operatorRecord(0).setInUse(1);
        image->operatorRecord(0).setName("admin");
        image->operatorRecord(1).setInUse(1);
        image->operatorRecord(1).setName("op1");
        image->clearOperatorTables(1);
        store::DeviceRecord dev = image->device(3);
        dev.setInUse(1);
        dev.setIp(store::packIp(198, 51, 100, 3));
        dev.setPort(8000);
        for (std::size_t pos = 0; pos < kRows; ++pos) {
            store::ChannelEntry e = image->channel(1, static_cast<int>(pos));
            e.setDeviceSlot(3);
            e.setIndex(static_cast<std::uint32_t>(pos + 1));
            e.setKind(store::kInputChannel);
            e.setNumber(static_cast<std::uint16_t>(pos % 64 + 1));
        }
        context = std::make_unique<gui::GuiContext>(gui::GuiContext{host, session, *image});
        view = std::make_unique<gui::UserchanView>(*context);
        view->resize(940, 560);
        view->show();
        QApplication::processEvents();
        view->findChild<QLineEdit*>(QStringLiteral("userNameEdit"))->setText("op1");
    }
    void fill() { view->findChild<QAbstractButton*>(QStringLiteral("inputButton"))->click(); }
};

// Made on first use and gone before the application object.
std::unique_ptr<FullPage> thePage;
FullPage& fullPage() {
    if (!thePage) thePage = std::make_unique<FullPage>();
    return *thePage;
}

// The input button: the presenter's rows, the model reset and the list shown again.
void BM_FillFullList(benchmark::State& state) {
    FullPage& page = fullPage();
    for (auto _ : state) {
        page.fill();
        page.view->list()->viewport()->repaint();
    }
    if (page.view->model()->rowCount() != static_cast<int>(kRows))
        state.SkipWithError("the list is not full");
}
BENCHMARK(BM_FillFullList)->Unit(benchmark::kMillisecond)->UseRealTime();

// One page down and its rows drawn: only the rows on the screen are formatted.
void BM_ScrollOnePage(benchmark::State& state) {
    FullPage& page = fullPage();
    page.fill();
    QScrollBar* bar = page.view->list()->verticalScrollBar();
    for (auto _ : state) {
        const int next = bar->value() + bar->pageStep();
        bar->setValue(next > bar->maximum() ? 0 : next);
        page.view->list()->viewport()->repaint();
    }
}
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The offscreen platform warns about what it cannot do with windows; only real errors matter.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    thePage.reset();
    return 0;
}
