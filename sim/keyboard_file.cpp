#include "keyboard_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

namespace vyxsim {

namespace {

// The offsets of the current layout that a fresh file needs.
constexpr std::size_t kImageSize = 1'724'904;
constexpr std::uint32_t kMagic = 0x514D5A52;
constexpr std::uint32_t kLength = kImageSize - 12;
constexpr std::uint32_t kVersion = 0x150420;
constexpr std::uint32_t kScrambleKey = 0x5A3C9E17;
static_assert(kImageSize <= kMaxKeyboardFileBytes);

constexpr std::size_t kOperatorTable = 384, kOperatorSize = 52, kOperatorName = 4;
constexpr std::size_t kDeviceTable = 592, kDeviceSize = 132, kDeviceCount = 3840;
constexpr std::size_t kDevIp = 4, kDevPort = 72, kDevUser = 76, kDevUserWidth = 32,
                      kDevPassword = 108, kDevPasswordWidth = 16;
constexpr std::size_t kUserDeviceList = 507'484, kUserDevicesPerOp = 2'560, kUserDevices = 1'280;
constexpr std::size_t kChannelTable = 515'164, kChannelsPerOp = 327'680, kChannels = 20'480,
                      kChannelSize = 16, kChannelDeviceSlot = 4;
constexpr std::size_t kInputGroups = 1'498'204, kOutputGroups = 1'504'540, kGroupsPerOp = 2'112,
                      kGroupRows = 16, kGroupRowSize = 132, kGroupSlots = 64;
constexpr std::size_t kMatrixRecords = 1'527'784, kMatrixPerOp = 16'512, kMatrixCount = 32,
                      kMatrixSize = 516;
constexpr std::size_t kStreamRecords = 1'577'320, kStreamsPerOp = 46'080, kStreamSize = 36;

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putText(std::vector<std::uint8_t>& b, std::size_t at, std::size_t width,
             const std::string& text) {
    std::memcpy(b.data() + at, text.data(), std::min(width, text.size()));
}

bool packAddress(const std::string& text, std::uint32_t& out) {
    unsigned a, c, d, e;
    char tail;
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &c, &d, &e, &tail) != 4) return false;
    if (a > 255 || c > 255 || d > 255 || e > 255) return false;
    out = a | (c << 8) | (d << 16) | (e << 24);  // first octet in the lowest byte
    return true;
}

}  // namespace

std::vector<std::uint8_t> generateKeyboardFile(const std::vector<Device>& devices) {
    std::vector<std::uint8_t> img(kImageSize, 0);
    put32(img, 0, kMagic);
    put32(img, 8, kLength);
    put32(img, 12, kVersion);

    img[kOperatorTable] = 1;
    putText(img, kOperatorTable + kOperatorName, 32, "admin");

    for (std::size_t op = 0; op < 3; ++op) {
        for (std::size_t i = 0; i < kUserDevices; ++i) {
            put16(img, kUserDeviceList + kUserDevicesPerOp * op + 2 * i, 0xFFFF);
            put32(img, kStreamRecords + kStreamsPerOp * op + kStreamSize * i, 0xFFFFFFFF);
        }
        for (std::size_t p = 0; p < kChannels; ++p)
            put16(img, kChannelTable + kChannelsPerOp * op + kChannelSize * p + kChannelDeviceSlot,
                  0xFFFF);
        for (std::size_t base : {kInputGroups, kOutputGroups})
            for (std::size_t r = 0; r < kGroupRows; ++r)
                for (std::size_t s = 0; s < kGroupSlots; ++s)
                    put16(img, base + kGroupsPerOp * op + kGroupRowSize * r + 4 + 2 * s, 0xFFFF);
        for (std::size_t m = 0; m < kMatrixCount; ++m)
            put32(img, kMatrixRecords + kMatrixPerOp * op + kMatrixSize * m, 0xFFFFFFFF);
    }

    std::size_t slot = 0;
    for (const Device& dev : devices) {
        if (!dev.inConfigFile || slot == kDeviceCount) continue;
        std::uint32_t ip = 0;
        if (!packAddress(dev.address, ip)) continue;
        const std::size_t at = kDeviceTable + kDeviceSize * slot++;
        put32(img, at, 1);
        put32(img, at + kDevIp, ip);
        put16(img, at + kDevPort, static_cast<std::uint16_t>(dev.port));
        putText(img, at + kDevUser, kDevUserWidth, dev.userName);
        putText(img, at + kDevPassword, kDevPasswordWidth, dev.storedPassword);
    }

    std::uint32_t sum = 0;
    for (std::size_t i = 12; i + 1 < 12 + kLength; i += 2)
        sum += static_cast<std::uint32_t>(img[i] | (img[i + 1] << 8));
    put32(img, 4, sum);

    for (std::size_t i = 0; i + 4 <= img.size(); i += 4) {
        std::uint32_t w = static_cast<std::uint32_t>(img[i]) | (img[i + 1] << 8) |
                          (img[i + 2] << 16) | (static_cast<std::uint32_t>(img[i + 3]) << 24);
        put32(img, i, w ^ kScrambleKey);
    }
    return img;
}

}  // namespace vyxsim
