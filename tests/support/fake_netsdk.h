#pragma once
// Fakes of the two device libraries for presenter tests: a scripted installation behind NetSdk
// that records every call, and a Discovery whose reports the test delivers itself.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "remote/discovery.h"
#include "remote/netsdk.h"

namespace kbcfg::testing {

class FakeNetSdk : public remote::NetSdk {
  public:
    // A keyboard or device at one address and port.
    struct Node {
        std::string userName = "admin";
        std::string password;
        bool reachable = true;
        remote::LoginInfo info;
        // Answers by (command, channel) and by ability type; copied into the caller's buffer
        // (up to its size). A query without an answer fails.
        std::map<std::pair<std::uint32_t, int>, std::vector<std::uint8_t>> configs;
        std::map<std::uint32_t, std::vector<std::uint8_t>> abilities;
        // Keyboards: the stored file handed out by getConfigFile; what setConfigFile received.
        std::vector<std::uint8_t> storedFile;
        bool refuseGetConfig = false;
        bool refuseSetConfig = false;
        std::vector<std::uint8_t> received;
        bool refuseUpgrade = false;
        bool refuseEncrypt = false;
        // (state, progress) per poll of getUpgradeState / getUpgradeProgress; the last repeats.
        std::vector<std::pair<int, int>> upgradeScript{{1, 100}};
    };

    Node& node(const std::string& ip, int port = 8000) { return nodes[{ip, port}]; }

    int init() override {
        calls.push_back("Init");
        return 1;
    }
    int cleanup() override {
        calls.push_back("Cleanup");
        return 1;
    }
    int login(const std::string& ip, int port, const std::string& userName,
              const std::string& password, remote::LoginInfo& info) override {
        calls.push_back("Login " + ip + ":" + std::to_string(port) + " " + userName + " " +
                        password);
        info.bytes.fill(0);
        auto it = nodes.find({ip, port});
        if (it == nodes.end() || !it->second.reachable) return failWith(VYX_ERR_NETWORK);
        if (it->second.userName != userName || it->second.password != password)
            return failWith(VYX_ERR_PASSWORD);
        info = it->second.info;
        sessions[nextLogin] = &it->second;
        error = VYX_ERR_NONE;
        return nextLogin++;
    }
    int lastError() override { return error; }
    int logout(int id) override {
        calls.push_back("Logout " + std::to_string(id));
        return sessions.erase(id) ? 1 : 0;
    }
    int logoutEx(int id) override {
        calls.push_back("LogoutEx " + std::to_string(id));
        return sessions.erase(id) ? 1 : 0;
    }
    int getConfigFile(int id, const std::filesystem::path& path) override {
        calls.push_back("GetConfigFile " + path.string());
        Node* n = session(id);
        if (!n || n->refuseGetConfig) return 0;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(n->storedFile.data()),
                  static_cast<std::streamsize>(n->storedFile.size()));
        return out ? 1 : 0;
    }
    int setConfigFile(int id, const std::filesystem::path& path) override {
        calls.push_back("SetConfigFile " + path.string());
        Node* n = session(id);
        if (!n || n->refuseSetConfig) return 0;
        std::ifstream in(path, std::ios::binary);
        if (!in) return 0;
        n->received.assign(std::istreambuf_iterator<char>(in), {});
        return 1;
    }
    int getDeviceConfig(int id, std::uint32_t command, int channel, std::span<std::uint8_t> buffer,
                        std::uint32_t& returned) override {
        calls.push_back("GetDeviceConfig " + std::to_string(command) + " " +
                        std::to_string(channel) + " " + std::to_string(buffer.size()));
        Node* n = session(id);
        if (!n) return 0;
        auto it = n->configs.find({command, channel});
        if (it == n->configs.end()) return 0;
        returned = static_cast<std::uint32_t>(copyInto(buffer, it->second));
        return 1;
    }
    int getDeviceAbility(int id, std::uint32_t type, std::span<std::uint8_t> buffer) override {
        calls.push_back("GetDeviceAbility " + std::to_string(type) + " " +
                        std::to_string(buffer.size()));
        Node* n = session(id);
        if (!n) return 0;
        auto it = n->abilities.find(type);
        if (it == n->abilities.end()) return 0;
        copyInto(buffer, it->second);
        return 1;
    }
    int upgrade(int id, const std::filesystem::path& package) override {
        calls.push_back("Upgrade " + package.string());
        Node* n = session(id);
        if (!n || n->refuseUpgrade) return -1;
        upgrades[nextUpgrade] = {n, 0};
        return nextUpgrade++;
    }
    int getUpgradeState(int handle) override {
        calls.push_back("GetUpgradeState " + std::to_string(handle));
        auto it = upgrades.find(handle);
        if (it == upgrades.end()) return -1;
        return step(it->second, true).first;
    }
    int getUpgradeProgress(int handle) override {
        calls.push_back("GetUpgradeProgress " + std::to_string(handle));
        auto it = upgrades.find(handle);
        if (it == upgrades.end()) return -1;
        return step(it->second, false).second;
    }
    int getUpgradeStep(int handle, int& stepOut) override {
        calls.push_back("GetUpgradeStep " + std::to_string(handle));
        stepOut = 0;
        return upgrades.count(handle) ? 1 : 0;
    }
    int closeUpgradeHandle(int handle) override {
        calls.push_back("CloseUpgradeHandle " + std::to_string(handle));
        return upgrades.erase(handle) ? 1 : 0;
    }
    int getEncryptState(int id, int kind, std::uint32_t& value) override {
        calls.push_back("GetEncryptState " + std::to_string(kind));
        Node* n = session(id);
        if (!n || n->refuseEncrypt) return 0;
        value = 1;
        return 1;
    }

    // The calls whose text starts with prefix.
    std::vector<std::string> callsStartingWith(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }

    std::map<std::pair<std::string, int>, Node> nodes;
    std::vector<std::string> calls;
    int error = VYX_ERR_NONE;

  private:
    struct Upgrade {
        Node* node;
        std::size_t polls;
    };

    int failWith(int code) {
        error = code;
        return -1;
    }
    Node* session(int id) {
        auto it = sessions.find(id);
        return it == sessions.end() ? nullptr : it->second;
    }
    static std::size_t copyInto(std::span<std::uint8_t> buffer,
                                const std::vector<std::uint8_t>& answer) {
        const std::size_t n = std::min(buffer.size(), answer.size());
        if (n) std::memcpy(buffer.data(), answer.data(), n);
        return n;
    }
    // The state poll moves the script on; the progress poll reads the same entry.
    static std::pair<int, int> step(Upgrade& u, bool advance) {
        const auto& script = u.node->upgradeScript;
        if (script.empty()) return {2, 0};
        if (advance) ++u.polls;
        const std::size_t at = std::min(u.polls == 0 ? 0 : u.polls - 1, script.size() - 1);
        return script[at];
    }

    std::map<int, Node*> sessions;
    std::map<int, Upgrade> upgrades;
    int nextLogin = 0;
    int nextUpgrade = 0;
};

// Reports go to the callback on the test's own thread, when the test says so.
class FakeDiscovery : public remote::Discovery {
  public:
    bool start(Callback onReport) override {
        ++starts;
        if (!startSucceeds) return false;
        callback = std::move(onReport);
        return true;
    }
    void stop() override {
        ++stops;
        callback = nullptr;
    }

    // Delivers a raw report as the library would; false when nobody listens.
    bool deliver(const std::uint8_t* record) {
        if (!callback) return false;
        callback(record);
        return true;
    }

    bool startSucceeds = true;
    int starts = 0;
    int stops = 0;
    Callback callback;
};

// A report record with the given texts and numbers at their offsets.
struct FoundRecordBuilder {
    std::uint8_t bytes[VORP_FOUND_RECORD_SIZE] = {};

    // The text and its terminator (when it fits in the record).
    FoundRecordBuilder& text(int offset, const std::string& s) {
        raw(offset, s);
        if (offset + s.size() < VORP_FOUND_RECORD_SIZE) bytes[offset + s.size()] = 0;
        return *this;
    }
    // The bytes of s alone, no terminator.
    FoundRecordBuilder& raw(int offset, const std::string& s) {
        std::memcpy(bytes + offset, s.data(),
                    std::min<std::size_t>(s.size(), VORP_FOUND_RECORD_SIZE - offset));
        return *this;
    }
    FoundRecordBuilder& u32(int offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
        return *this;
    }
    // A plausible device: serial, address, port and event code.
    static FoundRecordBuilder device(int event, const std::string& serial,
                                     const std::string& ip = "198.51.100.7",
                                     std::uint32_t port = 8000) {
        FoundRecordBuilder b;
        b.text(VORP_FOUND_SERIAL, serial)
            .text(VORP_FOUND_IP, ip)
            .text(VORP_FOUND_MASK, "255.255.255.0")
            .text(VORP_FOUND_MAC, "00:00:5e:00:53:07")
            .text(VORP_FOUND_SOFTWARE, "V1.0")
            .text(VORP_FOUND_DSP, "D1.0")
            .text(VORP_FOUND_START_TIME, "2024-01-01 00:00:00")
            .text(VORP_FOUND_DESCRIPTION, "ENC")
            .u32(VORP_FOUND_PORT, port)
            .u32(VORP_FOUND_CHANNELS, 4)
            .u32(VORP_FOUND_EVENT, static_cast<std::uint32_t>(event));
        return b;
    }
};

}  // namespace kbcfg::testing
