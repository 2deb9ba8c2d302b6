#include "users/probe.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"

namespace kbcfg::users {

bool isEncoderClass(std::uint32_t c) {
    return c == 1 || c == 2 || c == 3 || c == 4 || c == 30;
}
bool isDecoderClass(std::uint32_t c) {
    return c == 20 || c == 32;
}

namespace {

// The type codes by class, as ranges; expanded in this order into the table.
struct CodeRun {
    std::uint32_t deviceClass;
    std::uint32_t first, last;
};
constexpr CodeRun kRuns[] = {
    {0, 60, 64},    {0, 110, 111},  {0, 114, 115},  {0, 175, 176},  {0, 178, 178},  {0, 200, 202},
    {1, 1, 2},      {1, 5, 12},     {1, 14, 19},    {1, 21, 25},    {1, 65, 65},    {1, 67, 68},
    {1, 71, 77},    {1, 75, 75},    {1, 81, 88},    {1, 90, 98},    {1, 109, 109},  {1, 112, 113},
    {1, 116, 119},  {1, 171, 174},  {1, 181, 183},  {1, 185, 199},  {1, 203, 204},  {1, 253, 253},
    {2, 3, 3},      {2, 13, 13},    {2, 26, 26},    {2, 105, 108},  {2, 120, 120},  {3, 30, 32},
    {3, 35, 35},    {3, 69, 69},    {3, 205, 205},  {4, 38, 38},    {4, 40, 43},    {4, 50, 50},
    {20, 4, 4},     {20, 20, 20},   {20, 27, 29},   {25, 141, 141}, {30, 101, 101}, {30, 104, 104},
    {30, 125, 125}, {30, 130, 130}, {30, 134, 134}, {30, 136, 136}, {30, 314, 316}, {30, 324, 324},
    {30, 326, 327}, {30, 330, 331}, {31, 303, 308}, {31, 317, 322}, {32, 102, 102}, {32, 131, 133},
    {32, 309, 313}, {32, 323, 323}, {32, 328, 329}, {32, 332, 333}, {33, 103, 103}, {34, 122, 122},
    {35, 123, 123}, {36, 124, 124}, {37, 121, 121}, {38, 127, 127}, {39, 126, 126}, {40, 100, 100},
    {41, 301, 301}, {42, 302, 302}, {43, 129, 129}, {44, 128, 128}, {45, 135, 135}, {50, 142, 146},
};

const char* classFamily(std::uint32_t c) {
    if (isEncoderClass(c)) return "ENC";
    if (isDecoderClass(c)) return "DEC";
    if (c == kClassMatrix) return "MTX";
    return "DEV";
}

std::array<DeviceTypeRow, 180> buildTable() {
    std::array<DeviceTypeRow, 180> table{};
    std::size_t n = 0;
    for (const CodeRun& run : kRuns) {
        for (std::uint32_t code = run.first; code <= run.last; ++code) {
            DeviceTypeRow& row = table.at(n++);
            std::snprintf(row.model, sizeof row.model, "%s-%03u", classFamily(run.deviceClass),
                          code);
            row.code = code;
            row.deviceClass = run.deviceClass;
        }
    }
    return table;
}

// Class by code for the codes the table holds (first row wins), -1 for the others.
std::vector<int> buildLookup() {
    std::vector<int> lookup(1024, -1);
    for (const DeviceTypeRow& row : deviceTypeTable())
        if (lookup[row.code] < 0) lookup[row.code] = static_cast<int>(row.deviceClass);
    return lookup;
}

}  // namespace

const std::array<DeviceTypeRow, 180>& deviceTypeTable() {
    static const std::array<DeviceTypeRow, 180> table = buildTable();
    return table;
}

std::uint32_t classifyDeviceType(std::uint16_t code) {
    static const std::vector<int> lookup = buildLookup();
    if (code < lookup.size() && lookup[code] >= 0) return static_cast<std::uint32_t>(lookup[code]);
    if (code >= 2001 && code <= 2300) return 1;
    if (code >= 701 && code <= 750) return 20;
    return 0;
}

namespace {
bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads `<Name min="%d" max="%d"/>` the way a scanf pattern does: literal text must match, a
// blank in the pattern takes any run of white space (none included), and each number is an
// optionally signed decimal; reading stops at the first mismatch.
void scanRange(const char* p, const char* pattern, int& min, int& max) {
    int* targets[2] = {&min, &max};
    int next = 0;
    for (const char* f = pattern; *f; ++f) {
        if (isBlank(*f)) {
            while (isBlank(*p)) ++p;
            continue;
        }
        if (f[0] == '%' && f[1] == 'd') {
            ++f;
            while (isBlank(*p)) ++p;
            bool negative = false;
            if (*p == '+' || *p == '-') negative = *p++ == '-';
            if (*p < '0' || *p > '9') return;
            long long v = 0;
            while (*p >= '0' && *p <= '9') {
                if (v < 1'000'000'000'000LL) v = v * 10 + (*p - '0');
                ++p;
            }
            if (negative) v = -v;
            if (v > 2147483647LL) v = 2147483647LL;
            if (v < -2147483648LL) v = -2147483648LL;
            *targets[next++] = static_cast<int>(v);
            continue;
        }
        if (*p != *f) return;
        ++p;
    }
}
}  // namespace

SceneRange parseSceneRange(const std::string& xml) {
    int min = 0, max = 0;
    const char* text = xml.c_str();  // up to the first zero byte, as the device's text
    if (const char* at = std::strstr(text, "<sceneNum")) {
        scanRange(at, "<sceneNum min=\"%d\" max=\"%d\"/>", min, max);
    } else if (const char* at2 = std::strstr(text, "<SceneNum")) {
        scanRange(at2, "<SceneNum min=\"%d\" max=\"%d\"/>", min, max);
    }
    SceneRange range;
    if (max > min) {
        range.count = static_cast<int>(static_cast<long long>(max) - min + 1 > 65535
                                           ? 65535
                                           : static_cast<long long>(max) - min + 1);
        range.first = min;
    }
    return range;
}

SceneRange readSceneRange(remote::NetSdk& sdk, int loginId) {
    std::vector<std::uint8_t> buffer(VYX_SCENES_SIZE, 0);
    sdk.getDeviceAbility(loginId, VYX_ABILITY_SCENES, buffer);
    buffer.back() = 0;  // the text ends inside the buffer whatever the device sent
    return parseSceneRange(reinterpret_cast<const char*>(buffer.data()));
}

DeviceTarget deviceTarget(const store::ConfigImage& image, int slot) {
    const store::DeviceRecord dev = image.device(slot);
    DeviceTarget target;
    target.slot = slot;
    target.inUse = dev.inUse() != 0;
    target.address = store::toAnsi(store::formatIp(dev.ip()));
    target.port = dev.port();
    target.userName = dev.userName();
    target.password = dev.password();
    return target;
}

namespace {

void readEncoderChannels(remote::NetSdk& sdk, int loginId, DeviceAnswers& answers) {
    const remote::LoginInfo& info = answers.info;
    for (int k = 0; k < info.channelCount(); ++k)
        answers.channels.push_back({-1, store::kInputChannel, info.firstChannel() + k});
    if (info.ipChannelCount() == 0) return;
    std::vector<std::uint8_t> config(VYX_IP_CHANNELS_SIZE, 0);
    std::uint32_t returned = 0;
    // The tail that holds the enable flags is zeroed, so a failed query gives no IP channel.
    std::fill(config.begin() + VYX_ANALOG_ENABLE, config.end(), 0);
    sdk.getDeviceConfig(loginId, VYX_CMD_IP_CHANNELS, -1, config, returned);
    for (int j = 0; j < VYX_IP_CHANNEL_COUNT; ++j) {
        if (config[VYX_IP_CHANNEL_ENTRIES +
                   static_cast<std::size_t>(j) * VYX_IP_CHANNEL_ENTRY_SIZE])
            answers.channels.push_back({-1, store::kInputChannel, info.firstChannel() + 32 + j});
    }
}

void readDecoderChannels(remote::NetSdk& sdk, int loginId, DeviceAnswers& answers) {
    std::vector<std::uint8_t> outputs(VYX_OUTPUTS_SIZE, 0);
    sdk.getDeviceAbility(loginId, VYX_ABILITY_OUTPUTS, outputs);
    const SceneRange scenes = readSceneRange(sdk, loginId);
    struct Port {
        std::size_t offset;
        std::uint8_t outputPort;
    };
    constexpr Port kPorts[] = {{VYX_OUTPUTS_VGA, store::kVga},
                               {VYX_OUTPUTS_BNC, store::kBnc},
                               {VYX_OUTPUTS_HDMI, store::kHdmi},
                               {VYX_OUTPUTS_DVI, store::kDvi}};
    for (const Port& port : kPorts) {
        const int count = outputs[port.offset];
        const std::uint8_t first = outputs[port.offset + 1];
        for (int k = 0; k < count; ++k)
            answers.channels.push_back(
                {-1, store::kOutputChannel, first + k, port.outputPort, first});
    }
    for (int k = 0; k < scenes.count; ++k)
        answers.channels.push_back({-1, store::kScene, scenes.first + k});
    const int walls = outputs[VYX_OUTPUTS_TV_WALL];
    const int firstWall = outputs[VYX_OUTPUTS_TV_WALL + 1];
    for (int k = 0; k < walls; ++k) answers.channels.push_back({-1, store::kTvWall, firstWall + k});
}

// The save that ends each device. A device whose entries could not be written is no success.
ProbeResult saveAssignment(store::Host& host, const store::SessionState& session,
                           store::ConfigImage& image, RunCounters& counters) {
    if (store::saveChange(host, session, image) == 0) return ProbeResult::GoOn;
    --counters.success;
    return ProbeResult::SaveFailed;
}

int freeUserDeviceEntry(const store::ConfigImage& image, int op) {
    if (op < 1 || op > 3) return -1;
    for (int i = 0; i < store::layout::kUserDeviceCount; ++i)
        if (image.userDevice(op, i) == -1) return i;
    return -1;
}

}  // namespace

DeviceAnswers probeDevice(remote::NetSdk& sdk, const DeviceTarget& target, bool readChannels) {
    DeviceAnswers answers;
    if (!target.inUse) return answers;
    sdk.init();
    const int loginId =
        sdk.login(target.address, target.port, target.userName, target.password, answers.info);
    if (loginId < 0) {
        answers.login = sdk.lastError() == VYX_ERR_PASSWORD ? DeviceAnswers::Login::WrongPassword
                                                            : DeviceAnswers::Login::NoConnection;
        return answers;
    }
    answers.login = DeviceAnswers::Login::Done;
    answers.deviceClass = classifyDeviceType(answers.info.deviceType());
    if (!readChannels) {
        sdk.logout(loginId);
        return answers;
    }
    if (answers.deviceClass == kClassMatrix) {
        sdk.logoutEx(loginId);
        return answers;
    }
    if (isEncoderClass(answers.deviceClass))
        readEncoderChannels(sdk, loginId, answers);
    else if (isDecoderClass(answers.deviceClass))
        readDecoderChannels(sdk, loginId, answers);
    sdk.logout(loginId);
    return answers;
}

ProbeResult applyDeviceAnswers(store::Host& host, store::SessionState& session,
                               store::ConfigImage& image, int op, int slot,
                               const DeviceAnswers& answers, RunCounters& counters,
                               ChannelAllocator& channels) {
    switch (answers.login) {
        case DeviceAnswers::Login::Skipped:
            return ProbeResult::GoOn;
        case DeviceAnswers::Login::WrongPassword:
        case DeviceAnswers::Login::NoConnection: {
            const bool passwordWrong = answers.login == DeviceAnswers::Login::WrongPassword;
            // A single device's failure is told by a message instead of the result dialog, but
            // counted all the same: the run's counts are what its callers report.
            if (counters.checked == 1)
                store::showMessage(host, passwordWrong ? store::Msg::DevicePasswordWrong
                                                       : store::Msg::DeviceNetworkFailed);
            ++(passwordWrong ? counters.passwordError : counters.connectError);
            return ProbeResult::GoOn;
        }
        case DeviceAnswers::Login::Done:
            break;
    }
    ++counters.success;

    const int entry = freeUserDeviceEntry(image, op);
    if (entry < 0) {
        // The device logged in but is not recorded.
        store::showMessage(host, store::Msg::UserDeviceListFull);
        return ProbeResult::StopRun;
    }
    image.setUserDevice(op, entry, static_cast<std::int16_t>(slot));
    store::DeviceRecord dev = image.device(slot);
    dev.setDeviceType(answers.info.deviceType());

    if (answers.deviceClass == kClassMatrix) {
        for (int w = 0; w < store::layout::kMatrixCount; ++w) {
            store::MatrixRecord m = image.matrix(op, w);
            if (m.deviceSlot() != -1) continue;
            m.setDeviceSlot(slot);
            for (int c = 0; c < store::layout::kMatrixCells; ++c) {
                std::uint8_t* cell = m.data() + store::MatrixRecord::kCells +
                                     store::MatrixRecord::kCellSize * static_cast<std::size_t>(c);
                // The two bytes between column and value keep what they held.
                store::putU8(cell, static_cast<std::uint8_t>(c / 8 + 1));
                store::putU8(cell + 1, static_cast<std::uint8_t>(c % 8 + 1));
                store::putU32(cell + 4, 0);
            }
            break;
        }
        // Without a free matrix record the device is still listed for the operator, and saved
        // like every other assignment.
        return saveAssignment(host, session, image, counters);
    }

    image.stream(op, entry).setDeviceSlot(slot);
    if (!answers.channels.empty()) {
        // What the allocator kept from the previous device holds only if nothing else has
        // touched the table since.
        channels.revalidate(image);
        for (NewChannel channel : answers.channels) {
            channel.slot = slot;
            channels.add(image, op, channel);
        }
    }
    return saveAssignment(host, session, image, counters);
}

ProbeResult probeAndAssignDevice(store::Host& host, store::SessionState& session,
                                 store::ConfigImage& image, remote::NetSdk& sdk, int op, int slot,
                                 RunCounters& counters, ChannelIndexCounter& indexes) {
    ChannelAllocator channels(indexes);
    return probeAndAssignDevice(host, session, image, sdk, op, slot, counters, channels);
}

ProbeResult probeAndAssignDevice(store::Host& host, store::SessionState& session,
                                 store::ConfigImage& image, remote::NetSdk& sdk, int op, int slot,
                                 RunCounters& counters, ChannelAllocator& channels) {
    // A device that meets a full list is logged in to and out again, and asked nothing.
    const DeviceAnswers answers =
        probeDevice(sdk, deviceTarget(image, slot), freeUserDeviceEntry(image, op) >= 0);
    return applyDeviceAnswers(host, session, image, op, slot, answers, counters, channels);
}

}  // namespace kbcfg::users
