#include "remote/dynamic_netsdk.h"

#include <limits>

#include "platform/dynlib.h"
#include "platform/paths.h"

namespace kbcfg::remote {

namespace {

// The order of the symbol list; fn<>() takes these as indexes.
enum Symbol : std::size_t {
    kInit,
    kCleanup,
    kLogin,
    kGetLastError,
    kLogout,
    kLogoutEx,
    kGetConfigFile,
    kSetConfigFile,
    kGetDeviceConfig,
    kGetDeviceAbility,
    kUpgrade,
    kGetUpgradeState,
    kGetUpgradeProgress,
    kGetUpgradeStep,
    kCloseUpgradeHandle,
    kGetEncryptState,
};

std::vector<const char*> symbolNames() {
    return {"VYX_Init",
            "VYX_Cleanup",
            "VYX_Login",
            "VYX_GetLastError",
            "VYX_Logout",
            "VYX_LogoutEx",
            "VYX_GetConfigFile",
            "VYX_SetConfigFile",
            "VYX_GetDeviceConfig",
            "VYX_GetDeviceAbility",
            "VYX_Upgrade",
            "VYX_GetUpgradeState",
            "VYX_GetUpgradeProgress",
            "VYX_GetUpgradeStep",
            "VYX_CloseUpgradeHandle",
            "VYX_GetEncryptState"};
}

std::uint32_t sizeOf(std::span<std::uint8_t> buffer) {
    return static_cast<std::uint32_t>(
        std::min<std::size_t>(buffer.size(), std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

DynamicNetSdk::DynamicNetSdk(Notice notice, std::filesystem::path folder)
    : library_(kNetSdkFile, symbolNames(), notice, std::move(folder)), notice_(std::move(notice)) {}

bool DynamicNetSdk::libraryPath(const std::filesystem::path& path, std::string& text) {
    if (platform::pathForLibrary(path, text)) return true;
    // Handed over with its characters replaced, the path would name another file.
    if (notice_)
        notice_("the device library cannot take " + platform::utf8(path) +
                ": the system's code page cannot write every character of it");
    return false;
}

template <typename Fn>
Fn* DynamicNetSdk::fn(std::size_t i) {
    Fn* f = reinterpret_cast<Fn*>(library_.symbol(i));
    missingCall_ = f == nullptr;
    return f;
}

int DynamicNetSdk::init() {
    auto f = fn<decltype(VYX_Init)>(kInit);
    return f ? f() : 0;
}

int DynamicNetSdk::cleanup() {
    auto f = fn<decltype(VYX_Cleanup)>(kCleanup);
    return f ? f() : 0;
}

int DynamicNetSdk::login(const std::string& ip, int port, const std::string& userName,
                         const std::string& password, LoginInfo& info) {
    info.bytes.fill(0);
    auto f = fn<decltype(VYX_Login)>(kLogin);
    if (!f) return -1;
    return f(ip.c_str(), static_cast<std::uint16_t>(port), userName.c_str(), password.c_str(),
             info.bytes.data());
}

int DynamicNetSdk::lastError() {
    // The failure that matters is the one of the previous call: was the library there for it?
    if (missingCall_) return kLibraryMissing;
    auto f = fn<decltype(VYX_GetLastError)>(kGetLastError);
    return f ? f() : kLibraryMissing;
}

int DynamicNetSdk::logout(int loginId) {
    auto f = fn<decltype(VYX_Logout)>(kLogout);
    return f ? f(loginId) : 0;
}

int DynamicNetSdk::logoutEx(int loginId) {
    auto f = fn<decltype(VYX_LogoutEx)>(kLogoutEx);
    return f ? f(loginId) : 0;
}

int DynamicNetSdk::getConfigFile(int loginId, const std::filesystem::path& path) {
    auto f = fn<decltype(VYX_GetConfigFile)>(kGetConfigFile);
    std::string text;
    return f && libraryPath(path, text) ? f(loginId, text.c_str()) : 0;
}

int DynamicNetSdk::setConfigFile(int loginId, const std::filesystem::path& path) {
    auto f = fn<decltype(VYX_SetConfigFile)>(kSetConfigFile);
    std::string text;
    return f && libraryPath(path, text) ? f(loginId, text.c_str()) : 0;
}

int DynamicNetSdk::getDeviceConfig(int loginId, std::uint32_t command, int channel,
                                   std::span<std::uint8_t> buffer, std::uint32_t& returned) {
    auto f = fn<decltype(VYX_GetDeviceConfig)>(kGetDeviceConfig);
    return f ? f(loginId, command, channel, buffer.data(), sizeOf(buffer), &returned) : 0;
}

int DynamicNetSdk::getDeviceAbility(int loginId, std::uint32_t abilityType,
                                    std::span<std::uint8_t> buffer) {
    auto f = fn<decltype(VYX_GetDeviceAbility)>(kGetDeviceAbility);
    return f ? f(loginId, abilityType, nullptr, 0, buffer.data(), sizeOf(buffer)) : 0;
}

int DynamicNetSdk::upgrade(int loginId, const std::filesystem::path& package) {
    auto f = fn<decltype(VYX_Upgrade)>(kUpgrade);
    std::string text;
    return f && libraryPath(package, text) ? f(loginId, text.c_str()) : -1;
}

int DynamicNetSdk::getUpgradeState(int handle) {
    auto f = fn<decltype(VYX_GetUpgradeState)>(kGetUpgradeState);
    return f ? f(handle) : VYX_UPGRADE_FAILED_EARLY;
}

int DynamicNetSdk::getUpgradeProgress(int handle) {
    auto f = fn<decltype(VYX_GetUpgradeProgress)>(kGetUpgradeProgress);
    return f ? f(handle) : -1;
}

int DynamicNetSdk::getUpgradeStep(int handle, int& step) {
    auto f = fn<decltype(VYX_GetUpgradeStep)>(kGetUpgradeStep);
    std::int32_t s = 0;
    const int result = f ? f(handle, &s) : 0;
    step = s;
    return result;
}

int DynamicNetSdk::closeUpgradeHandle(int handle) {
    auto f = fn<decltype(VYX_CloseUpgradeHandle)>(kCloseUpgradeHandle);
    return f ? f(handle) : 0;
}

int DynamicNetSdk::getEncryptState(int loginId, int kind, std::uint32_t& value) {
    auto f = fn<decltype(VYX_GetEncryptState)>(kGetEncryptState);
    return f ? f(loginId, kind, &value) : 0;
}

}  // namespace kbcfg::remote
