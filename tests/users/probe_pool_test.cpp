// Runs that ask several devices at once must leave exactly what a run asking one device after
// another leaves: the same file, counts and messages, over random installations with failing
// devices and lists that fill up.
#include "users/probe_pool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "store/files.h"
#include "store/fresh_image.h"
#include "support/fake_netsdk.h"
#include "support/scripted_host.h"
#include "support/shared_netsdk.h"
#include "support/temp_dir.h"
#include "users/userdev.h"

namespace kbcfg::users {
namespace {

using store::Outcome;

using testing::SharedHandle;

struct Site {
    std::unique_ptr<store::ConfigImage> image = std::make_unique<store::ConfigImage>();
    testing::FakeNetSdk fake;
    int op = 1;
};

// Up to 30 devices of every kind, some refusing the password or not answering; now and then a
// user list that fills up during the run and channels already there.
Site randomSite(std::mt19937& rng) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Site site;
    store::ConfigImage& image = *site.image;
    store::makeFreshImage(image, "admin", "");
    for (int op = 1; op <= 3; ++op) {
        image.operatorRecord(op).setInUse(1);
        image.operatorRecord(op).setName("op" + std::to_string(op));
    }
    site.op = pick(1, 3);
    const int devices = pick(2, 30);
    for (int slot = 0; slot < devices; ++slot) {
        store::DeviceRecord dev = image.device(slot);
        dev.setInUse(1);
        dev.setIp(store::packIp(198, 51, 100, static_cast<std::uint8_t>(slot)));
        dev.setPort(8000);
        dev.setUserName("admin");
        dev.setPassword("pw");
        auto& node = site.fake.node("198.51.100." + std::to_string(slot));
        const int fault = pick(0, 9);
        node.password = fault == 0 ? "other" : "pw";
        node.reachable = fault != 1;
        static constexpr std::uint16_t kTypes[] = {75, 75, 20, 20, 141, 5000};
        const std::uint16_t type = kTypes[pick(0, 5)];
        auto& info = node.info.bytes;
        info[VYX_LOGIN_DEVICE_TYPE] = static_cast<std::uint8_t>(type);
        info[VYX_LOGIN_DEVICE_TYPE + 1] = static_cast<std::uint8_t>(type >> 8);
        info[VYX_LOGIN_CHANNEL_COUNT] = static_cast<std::uint8_t>(pick(0, 8));
        info[VYX_LOGIN_FIRST_CHANNEL] = static_cast<std::uint8_t>(pick(1, 3));
        if (pick(0, 1)) {
            info[VYX_LOGIN_IP_CHANNEL_COUNT] = 2;
            std::vector<std::uint8_t> config(VYX_IP_CHANNELS_SIZE, 0);
            for (int j = 0; j < VYX_IP_CHANNEL_COUNT; ++j)
                config[VYX_IP_CHANNEL_ENTRIES +
                       static_cast<std::size_t>(j) * VYX_IP_CHANNEL_ENTRY_SIZE] = pick(0, 5) == 0;
            node.configs[{VYX_CMD_IP_CHANNELS, -1}] = config;
        }
        std::vector<std::uint8_t> outputs(VYX_OUTPUTS_SIZE, 0);
        for (std::size_t at : {VYX_OUTPUTS_VGA, VYX_OUTPUTS_HDMI, VYX_OUTPUTS_TV_WALL}) {
            outputs[at] = static_cast<std::uint8_t>(pick(0, 3));
            outputs[at + 1] = static_cast<std::uint8_t>(pick(1, 2));
        }
        node.abilities[VYX_ABILITY_OUTPUTS] = outputs;
        const std::string xml = "<sceneNum min=\"1\" max=\"" + std::to_string(pick(0, 6)) + "\"/>";
        node.abilities[VYX_ABILITY_SCENES] = std::vector<std::uint8_t>(xml.begin(), xml.end() + 1);
    }
    if (pick(0, 1)) {
        // Room for only a few of the run's devices; the rest of the list holds absent slots.
        const int room = pick(0, devices / 3);
        for (int i = 0; i < store::layout::kUserDeviceCount - room; ++i)
            image.setUserDevice(site.op, i, static_cast<std::int16_t>(3000 + i % 800));
    }
    if (pick(0, 1)) {
        // Channels of a device that is not in the run, with indexes of their own.
        for (int k = pick(1, 40); k > 0; --k) {
            store::ChannelEntry e = image.channel(site.op, pick(0, 60));
            e.setDeviceSlot(static_cast<std::int16_t>(devices + 1));
            e.setKind(store::kInputChannel);
            e.setNumber(static_cast<std::uint16_t>(k));
            e.setIndex(static_cast<std::uint32_t>(pick(1, 12)));
        }
    }
    return site;
}

struct RunResult {
    Outcome outcome;
    std::vector<store::Msg> messages;
    RunCounters counters;
    bool showResult;
    bool cancelled;
    std::vector<std::uint8_t> file;
    int userDevices = 0;
    int logins = 0;
};

// jobs 0: one device after another on the dialog's handle.
RunResult assign(const Site& site, int jobs, const std::filesystem::path& file,
                 SharedHandle::Shared& shared, int stopBefore = -1) {
    store::SessionState session;
    store::setConfigPaths(session, file);
    testing::ScriptedHost host;
    store::ConfigImage image;
    std::memcpy(image.bytes().data(), site.image->bytes().data(), store::layout::kImageSize);
    EXPECT_EQ(store::saveChange(host, session, image), 0);
    ChannelIndexCounter::instance().reset();
    shared.fake = site.fake;
    shared.logins = 0;
    SharedHandle main(shared);
    userdev dialog(host, session, image, main, site.op);
    if (jobs > 0) {
        dialog.jobs = jobs;
        dialog.sdkFactory = [&shared] { return std::make_unique<SharedHandle>(shared); };
    }
    dialog.refreshUserDeviceLists();
    dialog.headerClicked(false, 0);
    RunResult r;
    r.outcome = dialog.assignCheckedDevices([&](const userdev::RunProgress& p) {
        EXPECT_LE(p.asking, std::max(jobs, 1));
        return p.done != stopBefore;
    });
    r.messages = host.numbers();
    r.counters = dialog.counters;
    r.showResult = dialog.showResult;
    r.cancelled = dialog.cancelled;
    r.logins = shared.logins;
    r.file = testing::readAll(file);
    for (int i = 0; i < store::layout::kUserDeviceCount; ++i)
        r.userDevices += image.userDevice(site.op, i) >= 0 && image.userDevice(site.op, i) < 3000;
    return r;
}

void expectSame(const RunResult& got, const RunResult& want) {
    EXPECT_EQ(got.outcome, want.outcome);
    EXPECT_EQ(got.messages, want.messages);
    EXPECT_EQ(got.counters.success, want.counters.success);
    EXPECT_EQ(got.counters.connectError, want.counters.connectError);
    EXPECT_EQ(got.counters.passwordError, want.counters.passwordError);
    EXPECT_EQ(got.counters.checked, want.counters.checked);
    EXPECT_EQ(got.showResult, want.showResult);
    EXPECT_EQ(got.cancelled, want.cancelled);
    EXPECT_TRUE(got.file == want.file) << "the files differ";
}

TEST(ProbePool, ParallelRunsLeaveWhatASequentialRunLeaves) {
    testing::TempDir dir;
    auto shared = std::make_unique<SharedHandle::Shared>();
    int filled = 0, failed = 0;
    for (unsigned seed = 1; seed <= 14; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const Site site = randomSite(rng);
        const RunResult want = assign(site, 0, dir / "one.bin", *shared);
        filled += std::count(want.messages.begin(), want.messages.end(),
                             store::Msg::UserDeviceListFull) > 0;
        failed += want.counters.connectError + want.counters.passwordError > 0;
        for (int jobs : {1, 3, 8}) {
            SCOPED_TRACE(jobs);
            const RunResult got = assign(site, jobs, dir / "many.bin", *shared);
            expectSame(got, want);
            EXPECT_LE(got.logins, want.logins + jobs - 1);  // none past the stop but in flight
            EXPECT_EQ(shared->open, 0) << "a device was left logged in";
        }
    }
    // The seeds cover both ways a run meets trouble.
    EXPECT_GE(filled, 2);
    EXPECT_GE(failed, 5);
}

TEST(ProbePool, AStoppedRunKeepsWhatWasWrittenBeforeIt) {
    testing::TempDir dir;
    auto shared = std::make_unique<SharedHandle::Shared>();
    std::mt19937 rng(99);
    Site site = randomSite(rng);
    while (site.image->device(9).inUse() == 0) site = randomSite(rng);
    for (int i = 0; i < store::layout::kUserDeviceCount; ++i)
        site.image->setUserDevice(site.op, i, -1);
    for (auto& [where, node] : site.fake.nodes) node.reachable = true, node.password = "pw";
    for (int stop : {0, 4, 9}) {
        SCOPED_TRACE(stop);
        const RunResult want = assign(site, 0, dir / "one.bin", *shared, stop);
        EXPECT_TRUE(want.cancelled);
        EXPECT_EQ(want.userDevices, stop);
        for (int jobs : {1, 8}) {
            const RunResult got = assign(site, jobs, dir / "many.bin", *shared, stop);
            expectSame(got, want);
            EXPECT_LE(got.logins, want.logins + jobs - 1);
            EXPECT_EQ(shared->open, 0);
        }
    }
}

TEST(ProbePool, AnswersComeInTheRunsOrderWhateverTheirPace) {
    auto shared = std::make_unique<SharedHandle::Shared>();
    std::vector<DeviceTarget> targets;
    for (int i = 0; i < 24; ++i) {
        const std::string ip = "198.51.100." + std::to_string(i);
        auto& node = shared->fake.node(ip);
        node.password = "pw";
        node.info.bytes[VYX_LOGIN_CHANNEL_COUNT] = static_cast<std::uint8_t>(i);
        node.reachable = i % 5 != 0;
        targets.push_back({i, i % 7 != 0, ip, 8000, "admin", i % 6 == 0 ? "bad" : "pw"});
    }
    for (int jobs : {1, 5, 40}) {
        ProbePool pool(targets, jobs, [&] { return std::make_unique<SharedHandle>(*shared); });
        EXPECT_EQ(pool.workers(), std::min(jobs, 24));
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const DeviceAnswers* a = nullptr;
            while (!(a = pool.answers(i, std::chrono::milliseconds(20)))) {
            }
            using L = DeviceAnswers::Login;
            const L want = i % 7 == 0   ? L::Skipped
                           : i % 5 == 0 ? L::NoConnection
                           : i % 6 == 0 ? L::WrongPassword
                                        : L::Done;
            EXPECT_EQ(a->login, want) << i;
            if (want == L::Done) {
                EXPECT_EQ(a->info.channelCount(), i);
            }
        }
    }
    EXPECT_EQ(shared->open, 0);
}

}  // namespace
}  // namespace kbcfg::users
