#pragma once
// NetSdk over libVyxNetSDK.so (VyxNetSDK.dll on Windows), loaded at run time. Without the library
// (or one of its functions) every call fails the way the library itself reports a failure, and the
// notice says once which file is missing.

#include "remote/library.h"
#include "remote/netsdk.h"

namespace kbcfg::remote {

class DynamicNetSdk : public NetSdk {
  public:
    explicit DynamicNetSdk(Notice notice = {}, std::filesystem::path folder = libraryFolder());

    // Empty when the library and all its functions are there.
    const std::string& problem() { return library_.problem(); }

    int init() override;
    int cleanup() override;
    int login(const std::string& ip, int port, const std::string& userName,
              const std::string& password, LoginInfo& info) override;
    int lastError() override;
    int logout(int loginId) override;
    int logoutEx(int loginId) override;
    int getConfigFile(int loginId, const std::filesystem::path& path) override;
    int setConfigFile(int loginId, const std::filesystem::path& path) override;
    int getDeviceConfig(int loginId, std::uint32_t command, int channel,
                        std::span<std::uint8_t> buffer, std::uint32_t& returned) override;
    int getDeviceAbility(int loginId, std::uint32_t abilityType,
                         std::span<std::uint8_t> buffer) override;
    int upgrade(int loginId, const std::filesystem::path& package) override;
    int getUpgradeState(int handle) override;
    int getUpgradeProgress(int handle) override;
    int getUpgradeStep(int handle, int& step) override;
    int closeUpgradeHandle(int handle) override;
    int getEncryptState(int loginId, int kind, std::uint32_t& value) override;

  private:
    template <typename Fn>
    Fn* fn(std::size_t i);

    // The path as the library takes it; false (after a notice) when it cannot be written so.
    bool libraryPath(const std::filesystem::path& path, std::string& text);

    SharedLibrary library_;
    Notice notice_;
    bool missingCall_ = false;  // the last call failed for want of the library
};

}  // namespace kbcfg::remote
