#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "remote/dynamic_discovery.h"
#include "sim_fixture.h"

namespace kbcfg::remote {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Collects what the library reports, from its thread.
struct Collector {
    void operator()(const std::uint8_t* record) {
        auto copy = copyFoundRecord(record);
        std::lock_guard g(lock);
        threads.push_back(std::this_thread::get_id());
        if (copy) devices.push_back(*copy);
        ++calls;
        arrived.notify_all();
    }
    bool waitFor(std::size_t n, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lk(lock);
        return arrived.wait_for(lk, timeout, [&] { return calls >= n; });
    }
    std::size_t count() {
        std::lock_guard g(lock);
        return calls;
    }

    std::mutex lock;
    std::condition_variable arrived;
    std::vector<DiscoveredDevice> devices;
    std::vector<std::thread::id> threads;
    std::size_t calls = 0;
};

class DiscoverySimTest : public SimTest {
  protected:
    Discovery::Callback feed() {
        return [this](const std::uint8_t* r) { (*collector)(r); };
    }
    std::unique_ptr<Collector> collector = std::make_unique<Collector>();
    DynamicDiscovery discovery;
};

TEST_F(DiscoverySimTest, TimelineArrivesInOrderFromTheLibraryThread) {
    useInstallation(R"({"discovery": {"events": [
        {"atMs": 20, "code": 3, "serial": "B"},
        {"atMs": 0, "code": 1, "serial": "A", "ip": "203.0.113.1", "mac": "m", "port": 37777,
         "channels": 16, "softwareVersion": "sw", "dspVersion": "dsp", "startTime": "t",
         "description": "ENC-16"},
        {"atMs": 10, "code": 2, "serial": "B", "mask": "255.255.0.0"}]}})");
    ASSERT_TRUE(discovery.start(feed()));
    ASSERT_TRUE(collector->waitFor(3));
    discovery.stop();
    std::lock_guard g(collector->lock);
    ASSERT_EQ(collector->devices.size(), 3u);
    const DiscoveredDevice& a = collector->devices[0];
    EXPECT_EQ(a.event, 1);
    EXPECT_EQ(a.serial, "A");
    EXPECT_EQ(a.ip, "203.0.113.1");
    EXPECT_EQ(a.mac, "m");
    EXPECT_EQ(a.mask, "255.255.255.0");
    EXPECT_EQ(a.port, 37777u);
    EXPECT_EQ(a.channels, 16u);
    EXPECT_EQ(a.softwareVersion, "sw");
    EXPECT_EQ(a.dspVersion, "dsp");
    EXPECT_EQ(a.startTime, "t");
    EXPECT_EQ(a.description, "ENC-16");
    EXPECT_EQ(collector->devices[1].event, 2);
    EXPECT_EQ(collector->devices[1].mask, "255.255.0.0");
    EXPECT_EQ(collector->devices[2].event, 3);
    for (auto id : collector->threads) EXPECT_NE(id, std::this_thread::get_id());
}

TEST_F(DiscoverySimTest, StopWaitsForTheCallbackAndNothingFollows) {
    useInstallation(R"({"discovery": {"burst": {"rate": 0, "devices": 8}}})");
    std::atomic<bool> inside{false};
    std::atomic<bool> stopped{false};
    std::atomic<int> afterStop{0};
    ASSERT_TRUE(discovery.start([&](const std::uint8_t*) {
        inside = true;
        std::this_thread::sleep_for(1ms);
        if (stopped) ++afterStop;
        inside = false;
    }));
    while (!inside) std::this_thread::yield();
    discovery.stop();
    stopped = true;
    EXPECT_FALSE(inside);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(afterStop, 0);
}

TEST_F(DiscoverySimTest, OneDiscoveryAtATime) {
    useInstallation(R"({"discovery": {"events": [{"atMs": 0, "serial": "A"}], "repeatMs": 5}})");
    ASSERT_TRUE(discovery.start(feed()));
    DynamicDiscovery second;
    EXPECT_FALSE(second.start([](const std::uint8_t*) {}));
    EXPECT_FALSE(discovery.start(feed()));
    ASSERT_TRUE(collector->waitFor(3));  // the timeline repeats
    discovery.stop();
    discovery.stop();
    EXPECT_TRUE(second.start([](const std::uint8_t*) {}));
    second.stop();
}

TEST_F(DiscoverySimTest, AStartTheInstallationRefusesFails) {
    useInstallation(R"({"discovery": {"startFails": true}})");
    EXPECT_FALSE(discovery.start(feed()));
    discovery.stop();  // harmless
    useInstallation(R"({"discovery": {"events": [{"serial": "A"}]}})", "other.json");
    EXPECT_TRUE(discovery.start(feed()));
}

TEST_F(DiscoverySimTest, DemoReportsDevicesOfTheDocumentationRanges) {
    useDemo();
    ASSERT_TRUE(discovery.start(feed()));
    ASSERT_TRUE(collector->waitFor(1));
    discovery.stop();
    std::lock_guard g(collector->lock);
    EXPECT_EQ(collector->devices[0].event, 1);
    EXPECT_THAT(collector->devices[0].ip, HasSubstr("198.51.100."));
}

TEST(DiscoveryLoader, MissingLibraryRefusesToStartAndSaysSoOnce) {
    kbcfg::testing::TempDir empty;
    std::vector<std::string> notices;
    DynamicDiscovery discovery([&](const std::string& s) { notices.push_back(s); }, empty.path());
    EXPECT_FALSE(discovery.start([](const std::uint8_t*) {}));
    EXPECT_FALSE(discovery.start([](const std::uint8_t*) {}));
    discovery.stop();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_THAT(notices[0], HasSubstr(kVorpFile + " not found in " + platform::utf8(empty.path())));
}

}  // namespace
}  // namespace kbcfg::remote
