// libVyxNetSDK.so of the simulator: logins, configuration and ability answers, configuration
// file transfer and upgrades, all answered from the installation description. No socket is
// ever opened.

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "installation.h"
#include "keyboard_file.h"
#include "remote/abi/vyxnetsdk.h"
#include "sim_system.h"

namespace vyxsim {
namespace {

constexpr std::size_t kMaxImportBytes = 8u << 20;
constexpr std::uint32_t kImageMagic = 0x514D5A52, kScrambleKey = 0x5A3C9E17;

struct Session {
    bool keyboard;
    std::size_t index;
};

struct Upgrade {
    std::size_t keyboard;
    bool panel;
    int polls = 0;
};

// Everything mutable, behind one lock. The lock is held only while a call computes its answer,
// never while the answer "travels": calls on different logins overlap as on a real network.
struct State {
    std::mutex lock;
    const Installation* inst = nullptr;
    bool initialised = false;
    std::map<std::int32_t, Session> sessions;
    std::map<std::int32_t, Upgrade> upgrades;
    // Files sent to a keyboard replace its stored one for the life of the process, and what it
    // held before its last accepted import is remembered, to recognise a rollback.
    std::map<std::size_t, std::vector<std::uint8_t>> storedFiles;
    std::map<std::size_t, std::vector<std::uint8_t>> previousFiles;
    // With a state folder: one import at a time per keyboard file, so that its compare and its
    // two writes are not interleaved with another thread's. Never dropped: keyed by file name.
    std::map<std::string, std::mutex> keptLocks;
    std::int32_t nextLogin = 0;
    std::int32_t nextUpgrade = 0;
};

State& state() {
    static State& s = *new State;  // never destroyed, like the library's own globals
    return s;
}

// Each thread's last error, as a real library keeps it. Initial-exec: one word in the static TLS
// block instead of a lazily allocated dynamic one, for a library that is loaded at run time.
__attribute__((tls_model("initial-exec"))) thread_local std::int32_t lastError = VYX_ERR_NONE;

std::int32_t fail(std::int32_t code, std::int32_t result = 0) {
    lastError = code;
    return result;
}
std::int32_t ok(std::int32_t result = 1) {
    lastError = VYX_ERR_NONE;
    return result;
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putText(std::uint8_t* p, std::size_t width, const std::string& text) {
    std::memcpy(p, text.data(), std::min(width, text.size()));
}

// The installation, read again when its description changed; logins into the old one end.
const Installation& installation(State& s) {
    bool reloaded = false;
    const Installation& inst = currentInstallation(reloaded);
    if (reloaded || !s.inst) {
        s.sessions.clear();
        s.upgrades.clear();
        s.storedFiles.clear();
        s.previousFiles.clear();
    }
    s.inst = &inst;
    return inst;
}

const Session* sessionOf(State& s, std::int32_t id) {
    auto it = s.sessions.find(id);
    return it == s.sessions.end() ? nullptr : &it->second;
}

const Keyboard* keyboardOf(State& s, std::int32_t id, std::size_t* index = nullptr) {
    const Session* ses = sessionOf(s, id);
    if (!ses || !ses->keyboard) return nullptr;
    if (index) *index = ses->index;
    return &s.inst->keyboards[ses->index];
}

const Device* deviceOf(State& s, std::int32_t id) {
    const Session* ses = sessionOf(s, id);
    if (!ses || ses->keyboard) return nullptr;
    return &s.inst->devices[ses->index];
}

const std::vector<std::uint8_t>& storedFile(State& s, std::size_t keyboard) {
    auto it = s.storedFiles.find(keyboard);
    return it != s.storedFiles.end() ? it->second : *s.inst->keyboards[keyboard].storedFile;
}

bool readFile(const char* path, std::vector<std::uint8_t>& out, std::size_t limit) {
    std::string error;
    return sys::readRegularFile(path, limit, sys::Links::Follow, out, error);
}

// VYXSIM_STATE: the folder where keyboards keep their files across processes; empty for the life
// of the process only.
std::string stateFolder() {
    return sys::environment("VYXSIM_STATE");
}

std::string keptName(const Keyboard& k, const char* suffix) {
    return k.address + "_" + std::to_string(k.port) + suffix;
}

enum class Kept { Missing, Read, Broken };

// A file of the state folder. A link in its place is refused rather than followed, and so is
// anything no keyboard could hold; `out` is replaced only by a file that was read.
Kept readKept(const std::string& path, std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    bool missing = false;
    if (!sys::readRegularFile(path, kMaxKeyboardFileBytes, sys::Links::Refuse, bytes, error,
                              &missing))
        return missing ? Kept::Missing : Kept::Broken;
    if (bytes.empty()) return Kept::Broken;
    out = std::move(bytes);
    return Kept::Read;
}

bool isChannelOf(const Device& d, int number) {
    if (number >= d.firstChannel && number < d.firstChannel + d.analogChannels) return true;
    const int ip = number - d.firstChannel - 32;
    return ip >= 0 && ip < 32 && d.ipChannels[static_cast<std::size_t>(ip)];
}

const Latency* latencyOf(State& s, std::int32_t loginId) {
    const Session* ses = sessionOf(s, loginId);
    if (!ses) return nullptr;
    return ses->keyboard ? &s.inst->keyboards[ses->index].latency
                         : &s.inst->devices[ses->index].latency;
}

// The time a call on this login takes; nothing for a login nobody holds (no one to talk to).
int callMs(State& s, std::int32_t loginId) {
    const Latency* l = latencyOf(s, loginId);
    return l ? l->latencyMs : 0;
}

int upgradeCallMs(State& s, std::int32_t handle) {
    auto it = s.upgrades.find(handle);
    return it == s.upgrades.end() ? 0 : s.inst->keyboards[it->second.keyboard].latency.latencyMs;
}

void pause(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// One call: the answer is worked out under the lock, which is then released for the time the
// answer takes to arrive (waitMs, set by the body).
template <class Body>
std::int32_t answer(Body body) {
    int waitMs = 0;
    std::int32_t result = 0;
    {
        State& s = state();
        std::lock_guard g(s.lock);
        result = body(s, waitMs);
    }
    pause(waitMs);
    return result;
}

}  // namespace
}  // namespace vyxsim

using namespace vyxsim;

extern "C" {

VYX_API int32_t VYX_Init(void) {
    State& s = state();
    std::lock_guard g(s.lock);
    installation(s);
    s.initialised = true;
    return ok();
}

VYX_API int32_t VYX_Cleanup(void) {
    State& s = state();
    std::lock_guard g(s.lock);
    s.initialised = false;
    s.sessions.clear();
    s.upgrades.clear();
    return ok();
}

VYX_API int32_t VYX_Login(const char* ip, uint16_t port, const char* userName, const char* password,
                          uint8_t* deviceInfo) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        if (!s.initialised) return fail(VYX_ERR_NOT_INITIALISED, -1);
        if (!ip || !userName || !password || !deviceInfo) return fail(VYX_ERR_PARAMETER, -1);
        const Installation& inst = *s.inst;

        for (std::size_t i = 0; i < inst.keyboards.size(); ++i) {
            const Keyboard& k = inst.keyboards[i];
            if (k.address != ip || k.port != port) continue;
            if (!k.reachable) {
                waitMs = k.latency.timeoutMs;
                return fail(VYX_ERR_NETWORK, -1);
            }
            waitMs = k.latency.loginMs;
            if (std::strcmp(userName, "admin") != 0 || k.password != password)
                return fail(VYX_ERR_PASSWORD, -1);
            std::memset(deviceInfo, 0, VYX_LOGIN_INFO_SIZE);
            putText(deviceInfo + VYX_LOGIN_SERIAL, VYX_LOGIN_SERIAL_WIDTH, k.serial);
            deviceInfo[VYX_LOGIN_DEVICE_TYPE] = static_cast<std::uint8_t>(k.typeCode);
            deviceInfo[VYX_LOGIN_DEVICE_TYPE + 1] = static_cast<std::uint8_t>(k.typeCode >> 8);
            s.sessions[s.nextLogin] = {true, i};
            return ok(s.nextLogin++);
        }
        for (std::size_t i = 0; i < inst.devices.size(); ++i) {
            const Device& d = inst.devices[i];
            if (d.address != ip || d.port != port) continue;
            if (!d.reachable) {
                waitMs = d.latency.timeoutMs;
                return fail(VYX_ERR_NETWORK, -1);
            }
            waitMs = d.latency.loginMs;
            if (d.userName != userName || d.password != password) return fail(VYX_ERR_PASSWORD, -1);
            std::memset(deviceInfo, 0, VYX_LOGIN_INFO_SIZE);
            putText(deviceInfo + VYX_LOGIN_SERIAL, VYX_LOGIN_SERIAL_WIDTH, d.serial);
            deviceInfo[VYX_LOGIN_CHANNEL_COUNT] = static_cast<std::uint8_t>(d.analogChannels);
            deviceInfo[VYX_LOGIN_FIRST_CHANNEL] = static_cast<std::uint8_t>(d.firstChannel);
            deviceInfo[VYX_LOGIN_IP_CHANNEL_COUNT] = static_cast<std::uint8_t>(d.ipChannelCount());
            deviceInfo[VYX_LOGIN_DEVICE_TYPE] = static_cast<std::uint8_t>(d.typeCode);
            deviceInfo[VYX_LOGIN_DEVICE_TYPE + 1] = static_cast<std::uint8_t>(d.typeCode >> 8);
            s.sessions[s.nextLogin] = {false, i};
            return ok(s.nextLogin++);
        }
        // Nobody at that address and port: refused at once, as a closed port is.
        return fail(VYX_ERR_NETWORK, -1);
    });
}

VYX_API int32_t VYX_GetLastError(void) {
    return lastError;
}

VYX_API int32_t VYX_Logout(int32_t loginId) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        waitMs = callMs(s, loginId);
        return s.sessions.erase(loginId) ? ok() : fail(VYX_ERR_NOT_LOGGED_IN);
    });
}

VYX_API int32_t VYX_LogoutEx(int32_t loginId) {
    return VYX_Logout(loginId);
}

VYX_API int32_t VYX_GetConfigFile(int32_t loginId, const char* path) {
    // The file is copied out under the lock and written without it.
    std::vector<std::uint8_t> bytes;
    std::string kept;  // the state folder's file of this keyboard, which comes first
    int waitMs = 0;
    bool found = false;
    const std::int32_t refused = answer([&](State& s, int&) -> std::int32_t {
        std::size_t index = 0;
        if (!sessionOf(s, loginId)) return fail(VYX_ERR_NOT_LOGGED_IN);
        waitMs = callMs(s, loginId);
        const Keyboard* k = keyboardOf(s, loginId, &index);
        if (!k) return fail(VYX_ERR_UNSUPPORTED);
        if (!path || !*path) return fail(VYX_ERR_PARAMETER);
        bytes = storedFile(s, index);
        if (const std::string folder = stateFolder(); !folder.empty())
            kept = folder + "/" + keptName(*k, ".bin");
        found = true;
        return 0;
    });
    std::int32_t result = refused;
    // Read at every export: another process may have sent the keyboard a file since.
    if (found && !kept.empty() && readKept(kept, bytes) == Kept::Broken) {
        result = fail(VYX_ERR_FILE_OPEN);
    } else if (found) {
        std::FILE* f = sys::openFile(path, "wb");
        const bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        const bool closed = f && std::fclose(f) == 0;
        result = written && closed ? ok() : fail(VYX_ERR_FILE_WRITE);
    }
    pause(waitMs);
    return result;
}

VYX_API int32_t VYX_SetConfigFile(int32_t loginId, const char* path) {
    // Read before taking the lock; the checks still come in their order.
    std::vector<std::uint8_t> bytes;
    const bool read = path && *path && readFile(path, bytes, kMaxImportBytes) && !bytes.empty();
    // With a state folder the keyboard's files are compared and replaced after the lock.
    std::string folder, name;
    std::vector<std::uint8_t> held;
    std::mutex* keptLock = nullptr;
    bool forget = false, refuseRollback = false;
    int waitMs = 0;
    const std::int32_t answered = answer([&](State& s, int&) -> std::int32_t {
        std::size_t index = 0;
        if (!sessionOf(s, loginId)) return fail(VYX_ERR_NOT_LOGGED_IN);
        waitMs = callMs(s, loginId);
        const Keyboard* k = keyboardOf(s, loginId, &index);
        if (!k) return fail(VYX_ERR_UNSUPPORTED);
        if (!path || !*path) return fail(VYX_ERR_PARAMETER);
        if (!read) return fail(VYX_ERR_FILE_OPEN);
        // The keyboard takes only a stored configuration file, of at most the largest layout;
        // anything else (a panel program sent ahead of its upgrade, say) leaves its
        // configuration as it was.
        std::uint32_t first = 0;
        if (bytes.size() >= 4)
            first = static_cast<std::uint32_t>(bytes[0]) | (bytes[1] << 8) | (bytes[2] << 16) |
                    (static_cast<std::uint32_t>(bytes[3]) << 24);
        if ((first ^ kScrambleKey) != kImageMagic || bytes.size() > kMaxKeyboardFileBytes)
            return fail(VYX_ERR_FILE_FORMAT);
        if (k->refuseImport) return fail(VYX_ERR_UNSUPPORTED);
        folder = stateFolder();
        if (!folder.empty()) {
            name = keptName(*k, "");
            held = storedFile(s, index);
            keptLock = &s.keptLocks[folder + "/" + name];
            forget = k->forgetImport;
            refuseRollback = k->refuseRollback;
            return ok();
        }
        // A rollback sends back exactly the file it fetched before the import it undoes.
        auto previous = s.previousFiles.find(index);
        if (k->refuseRollback && previous != s.previousFiles.end() && previous->second == bytes)
            return fail(VYX_ERR_UNSUPPORTED);
        s.previousFiles[index] = storedFile(s, index);
        if (!k->forgetImport) s.storedFiles[index] = std::move(bytes);
        return ok();
    });
    std::int32_t result = answered;
    if (answered && keptLock) {
        std::lock_guard g(*keptLock);
        std::vector<std::uint8_t> previous;
        const Kept now = readKept(folder + "/" + name + ".bin", held);
        const Kept before = readKept(folder + "/" + name + ".previous.bin", previous);
        if (now == Kept::Broken || before == Kept::Broken)
            result = fail(VYX_ERR_FILE_OPEN);
        else if (refuseRollback && before == Kept::Read && previous == bytes)
            result = fail(VYX_ERR_UNSUPPORTED);
        else if (!sys::replaceFile(folder, name + ".previous.bin", held) ||
                 (!forget && !sys::replaceFile(folder, name + ".bin", bytes)))
            result = fail(VYX_ERR_FILE_WRITE);
    }
    pause(waitMs);
    return result;
}

VYX_API int32_t VYX_GetDeviceConfig(int32_t loginId, uint32_t command, int32_t channel,
                                    void* buffer, uint32_t bufferSize, uint32_t* returned) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        const Session* ses = sessionOf(s, loginId);
        if (!ses) return fail(VYX_ERR_NOT_LOGGED_IN);
        waitMs = callMs(s, loginId);
        if (!buffer) return fail(VYX_ERR_PARAMETER);
        auto* out = static_cast<std::uint8_t*>(buffer);
        const Device* d = ses->keyboard ? nullptr : &s.inst->devices[ses->index];

        std::uint32_t size = 0;
        switch (command) {
            case VYX_CMD_DEVICE_NAME:
                size = VYX_DEVICE_NAME_SIZE;
                break;
            case VYX_CMD_CHANNEL_NAME:
                size = VYX_CHANNEL_NAME_SIZE;
                break;
            case VYX_CMD_IP_CHANNELS:
                size = VYX_IP_CHANNELS_SIZE;
                break;
            default:
                return fail(VYX_ERR_UNSUPPORTED);
        }
        if (bufferSize < size) return fail(VYX_ERR_BUFFER_TOO_SMALL);

        if (command == VYX_CMD_DEVICE_NAME) {
            const std::string& name = d ? d->name : s.inst->keyboards[ses->index].name;
            std::memset(out, 0, size);
            putText(out + VYX_DEVICE_NAME, VYX_DEVICE_NAME_WIDTH, name);
        } else if (command == VYX_CMD_CHANNEL_NAME) {
            if (!d || !isChannelOf(*d, channel)) return fail(VYX_ERR_PARAMETER);
            auto it = d->channelNames.find(channel);
            char fallback[16];
            std::snprintf(fallback, sizeof fallback, "Camera %02d", channel);
            std::memset(out, 0, size);
            putText(out + VYX_CHANNEL_NAME, VYX_CHANNEL_NAME_WIDTH,
                    it != d->channelNames.end() ? it->second : std::string(fallback));
        } else {
            if (!d || channel != -1) return fail(VYX_ERR_PARAMETER);
            std::memset(out, 0, size);
            for (int c = 0; c < d->analogChannels && c < 32; ++c) out[VYX_ANALOG_ENABLE + c] = 1;
            for (std::size_t j = 0; j < 32; ++j) {
                if (!d->ipChannels[j]) continue;
                std::uint8_t* entry = out + VYX_IP_CHANNEL_ENTRIES + VYX_IP_CHANNEL_ENTRY_SIZE * j;
                entry[0] = 1;
                entry[1] = static_cast<std::uint8_t>(j + 1);  // the IP device it comes from
                out[VYX_IP_DEVICE_ENTRIES + VYX_IP_DEVICE_ENTRY_SIZE * j] = 1;
            }
        }
        put32(out + VYX_CONFIG_SIZE_FIELD, size);
        if (returned) *returned = size;
        return ok();
    });
}

VYX_API int32_t VYX_GetDeviceAbility(int32_t loginId, uint32_t abilityType, const void* /*input*/,
                                     uint32_t /*inputSize*/, void* buffer, uint32_t bufferSize) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        if (!sessionOf(s, loginId)) return fail(VYX_ERR_NOT_LOGGED_IN);
        waitMs = callMs(s, loginId);
        const Device* d = deviceOf(s, loginId);
        if (!d) return fail(VYX_ERR_UNSUPPORTED);
        if (!buffer) return fail(VYX_ERR_PARAMETER);
        auto* out = static_cast<std::uint8_t*>(buffer);
        if (abilityType == VYX_ABILITY_OUTPUTS) {
            if (bufferSize < VYX_OUTPUTS_SIZE) return fail(VYX_ERR_BUFFER_TOO_SMALL);
            std::memset(out, 0, VYX_OUTPUTS_SIZE);
            put32(out, VYX_OUTPUTS_SIZE);
            const std::pair<int, const PortGroup*> groups[] = {{VYX_OUTPUTS_VGA, &d->vga},
                                                               {VYX_OUTPUTS_BNC, &d->bnc},
                                                               {VYX_OUTPUTS_HDMI, &d->hdmi},
                                                               {VYX_OUTPUTS_DVI, &d->dvi},
                                                               {VYX_OUTPUTS_TV_WALL, &d->tvWalls}};
            for (const auto& [at, group] : groups) {
                out[at] = static_cast<std::uint8_t>(group->count);
                out[at + 1] = static_cast<std::uint8_t>(group->first);
            }
            return ok();
        }
        if (abilityType == VYX_ABILITY_SCENES) {
            if (bufferSize < VYX_SCENES_SIZE) return fail(VYX_ERR_BUFFER_TOO_SMALL);
            std::memset(out, 0, VYX_SCENES_SIZE);
            // Always terminated: a longer description is cut.
            std::memcpy(out, d->sceneXml.data(),
                        std::min<std::size_t>(d->sceneXml.size(), VYX_SCENES_SIZE - 1));
            return ok();
        }
        return fail(VYX_ERR_UNSUPPORTED);
    });
}

VYX_API int32_t VYX_Upgrade(int32_t loginId, const char* packagePath) {
    std::vector<std::uint8_t> bytes;
    const bool read =
        packagePath && readFile(packagePath, bytes, std::size_t{1} << 30) && !bytes.empty();
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        std::size_t index = 0;
        if (!sessionOf(s, loginId)) return fail(VYX_ERR_NOT_LOGGED_IN, -1);
        waitMs = callMs(s, loginId);
        const Keyboard* k = keyboardOf(s, loginId, &index);
        if (!k) return fail(VYX_ERR_UNSUPPORTED, -1);
        if (!packagePath) return fail(VYX_ERR_PARAMETER, -1);
        if (!read) return fail(VYX_ERR_FILE_OPEN, -1);
        if (k->upgrade.refuse) return fail(VYX_ERR_UPGRADE_REFUSED, -1);
        // A panel program comes as Intel HEX text; anything else is keyboard firmware.
        s.upgrades[s.nextUpgrade] = {index, bytes[0] == ':'};
        return ok(s.nextUpgrade++);
    });
}

VYX_API int32_t VYX_GetUpgradeState(int32_t upgradeHandle) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        auto it = s.upgrades.find(upgradeHandle);
        if (it == s.upgrades.end()) return fail(VYX_ERR_BAD_HANDLE, VYX_UPGRADE_FAILED_EARLY);
        waitMs = upgradeCallMs(s, upgradeHandle);
        Upgrade& u = it->second;
        const UpgradeBehaviour& b = s.inst->keyboards[u.keyboard].upgrade;
        if (u.polls < b.ticks) ++u.polls;
        return ok(u.polls >= b.ticks ? b.finalState : VYX_UPGRADE_RUNNING);
    });
}

VYX_API int32_t VYX_GetUpgradeProgress(int32_t upgradeHandle) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        auto it = s.upgrades.find(upgradeHandle);
        if (it == s.upgrades.end()) return fail(VYX_ERR_BAD_HANDLE, -1);
        waitMs = upgradeCallMs(s, upgradeHandle);
        const Upgrade& u = it->second;
        const UpgradeBehaviour& b = s.inst->keyboards[u.keyboard].upgrade;
        if (u.polls == 0) return ok(0);
        if (!u.panel) return ok(b.ticks ? u.polls * 100 / b.ticks : 100);
        // The steps spread evenly over the polls; the last step holds until the end.
        const std::size_t n = b.panelSteps.size();
        std::size_t step =
            b.ticks ? static_cast<std::size_t>(u.polls - 1) * n / static_cast<std::size_t>(b.ticks)
                    : n - 1;
        return ok(b.panelSteps[std::min(step, n - 1)]);
    });
}

VYX_API int32_t VYX_GetUpgradeStep(int32_t upgradeHandle, int32_t* step) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        auto it = s.upgrades.find(upgradeHandle);
        if (it == s.upgrades.end()) return fail(VYX_ERR_BAD_HANDLE);
        waitMs = upgradeCallMs(s, upgradeHandle);
        if (step) *step = it->second.polls;
        return ok();
    });
}

VYX_API int32_t VYX_CloseUpgradeHandle(int32_t upgradeHandle) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        waitMs = upgradeCallMs(s, upgradeHandle);
        return s.upgrades.erase(upgradeHandle) ? ok() : fail(VYX_ERR_BAD_HANDLE);
    });
}

VYX_API int32_t VYX_GetEncryptState(int32_t loginId, int32_t /*kind*/, uint32_t* value) {
    return answer([&](State& s, int& waitMs) -> std::int32_t {
        if (!sessionOf(s, loginId)) return fail(VYX_ERR_NOT_LOGGED_IN);
        waitMs = callMs(s, loginId);
        const Keyboard* k = keyboardOf(s, loginId);
        if (!k) return fail(VYX_ERR_UNSUPPORTED);
        if (k->upgrade.encryptRefuses) return fail(VYX_ERR_UNSUPPORTED);
        if (value) *value = 1;
        return ok();
    });
}

}  // extern "C"
