#pragma once
// The device network library as the presenters see it: one method per library function, with
// the same arguments and results (see abi/vyxnetsdk.h), so each calling sequence reads like the
// library's own. Texts are 8-bit (store::toAnsi); paths go over as native file-system paths.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "remote/abi/vyxnetsdk.h"

namespace kbcfg::remote {

// The 80-byte login answer, zero before every login.
struct LoginInfo {
    std::array<std::uint8_t, VYX_LOGIN_INFO_SIZE> bytes{};

    std::uint8_t channelCount() const { return bytes[VYX_LOGIN_CHANNEL_COUNT]; }
    std::uint8_t firstChannel() const { return bytes[VYX_LOGIN_FIRST_CHANNEL]; }
    std::uint8_t ipChannelCount() const { return bytes[VYX_LOGIN_IP_CHANNEL_COUNT]; }
    std::uint16_t deviceType() const {
        return static_cast<std::uint16_t>(bytes[VYX_LOGIN_DEVICE_TYPE] |
                                          (bytes[VYX_LOGIN_DEVICE_TYPE + 1] << 8));
    }
};

// lastError() after a call failed because the library (or the function) is not there. Not 1,
// so a failed device login counts as "no connection".
inline constexpr int kLibraryMissing = -1;

class NetSdk {
  public:
    virtual ~NetSdk() = default;

    virtual int init() = 0;
    virtual int cleanup() = 0;
    // The login id (0 or more), negative on failure. info is zeroed first.
    virtual int login(const std::string& ip, int port, const std::string& userName,
                      const std::string& password, LoginInfo& info) = 0;
    virtual int lastError() = 0;
    virtual int logout(int loginId) = 0;
    virtual int logoutEx(int loginId) = 0;
    // Nonzero: the keyboard's stored configuration file is now at path.
    virtual int getConfigFile(int loginId, const std::filesystem::path& path) = 0;
    // Nonzero: the file at path was sent to the keyboard.
    virtual int setConfigFile(int loginId, const std::filesystem::path& path) = 0;
    // Nonzero on success; buffer.size() is the size passed.
    virtual int getDeviceConfig(int loginId, std::uint32_t command, int channel,
                                std::span<std::uint8_t> buffer, std::uint32_t& returned) = 0;
    virtual int getDeviceAbility(int loginId, std::uint32_t abilityType,
                                 std::span<std::uint8_t> buffer) = 0;
    // The upgrade handle (0 or more), negative on failure.
    virtual int upgrade(int loginId, const std::filesystem::path& package) = 0;
    virtual int getUpgradeState(int handle) = 0;
    virtual int getUpgradeProgress(int handle) = 0;
    virtual int getUpgradeStep(int handle, int& step) = 0;
    virtual int closeUpgradeHandle(int handle) = 0;
    // Zero: the keyboard refuses a panel upgrade.
    virtual int getEncryptState(int loginId, int kind, std::uint32_t& value) = 0;
};

// A library handle of its own for each thread that talks to devices at the same time as others:
// calls on different logins may overlap, but a handle keeps per-call state of its own.
using NetSdkFactory = std::function<std::unique_ptr<NetSdk>()>;
// A handle of its own from `factory`; nullptr when there is none or making it failed (the library
// cannot be loaded again, no memory): whoever holds no handle treats its devices as not reached.
std::unique_ptr<NetSdk> handleFrom(const NetSdkFactory& factory) noexcept;

}  // namespace kbcfg::remote
