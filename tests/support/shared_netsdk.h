#pragma once
// Several library handles over one fake installation, for work that runs on several threads.

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

#include "support/fake_netsdk.h"

namespace kbcfg::testing {

// One handle of several over one fake installation: calls are serialised on the fake, the last
// error is the handle's own, and every call first sleeps a random moment, so the answers of a
// parallel run come back out of order. Counts the logins left open.
class SharedHandle : public remote::NetSdk {
  public:
    struct Shared {
        FakeNetSdk fake;
        std::mutex lock;
        std::atomic<int> open{0};
        std::atomic<int> logins{0};
        std::atomic<unsigned> seeds{1};
        int maxPauseUs = 1500;
        int loginMs = 0;  // what every login takes besides
    };
    explicit SharedHandle(Shared& shared) : s_(shared), rng_(shared.seeds++) {}

    int init() override {
        return locked([&] { return s_.fake.init(); });
    }
    int cleanup() override {
        return locked([&] { return s_.fake.cleanup(); });
    }
    int login(const std::string& ip, int port, const std::string& user, const std::string& pw,
              remote::LoginInfo& info) override {
        if (s_.loginMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(s_.loginMs));
        return locked([&] {
            const int id = s_.fake.login(ip, port, user, pw, info);
            error_ = s_.fake.lastError();
            if (id >= 0) ++s_.open, ++s_.logins;
            return id;
        });
    }
    int lastError() override { return error_; }
    int logout(int id) override {
        return closed(locked([&] { return s_.fake.logout(id); }));
    }
    int logoutEx(int id) override {
        return closed(locked([&] { return s_.fake.logoutEx(id); }));
    }
    int getConfigFile(int id, const std::filesystem::path& p) override {
        return locked([&] { return s_.fake.getConfigFile(id, p); });
    }
    int setConfigFile(int id, const std::filesystem::path& p) override {
        return locked([&] { return s_.fake.setConfigFile(id, p); });
    }
    int getDeviceConfig(int id, std::uint32_t command, int channel, std::span<std::uint8_t> buffer,
                        std::uint32_t& returned) override {
        return locked(
            [&] { return s_.fake.getDeviceConfig(id, command, channel, buffer, returned); });
    }
    int getDeviceAbility(int id, std::uint32_t type, std::span<std::uint8_t> buffer) override {
        return locked([&] { return s_.fake.getDeviceAbility(id, type, buffer); });
    }
    int upgrade(int id, const std::filesystem::path& p) override {
        return locked([&] { return s_.fake.upgrade(id, p); });
    }
    int getUpgradeState(int h) override {
        return locked([&] { return s_.fake.getUpgradeState(h); });
    }
    int getUpgradeProgress(int h) override {
        return locked([&] { return s_.fake.getUpgradeProgress(h); });
    }
    int getUpgradeStep(int h, int& step) override {
        return locked([&] { return s_.fake.getUpgradeStep(h, step); });
    }
    int closeUpgradeHandle(int h) override {
        return locked([&] { return s_.fake.closeUpgradeHandle(h); });
    }
    int getEncryptState(int id, int kind, std::uint32_t& value) override {
        return locked([&] { return s_.fake.getEncryptState(id, kind, value); });
    }

  private:
    template <typename F>
    int locked(F f) {
        if (s_.maxPauseUs > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(
                std::uniform_int_distribution<int>(0, s_.maxPauseUs)(rng_)));
        std::lock_guard<std::mutex> guard(s_.lock);
        return f();
    }
    int closed(int result) {
        if (result) --s_.open;
        return result;
    }
    Shared& s_;
    std::mt19937 rng_;
    int error_ = 0;
};

}  // namespace kbcfg::testing
