#include <cstring>

#include "remote/discovery.h"

namespace kbcfg::remote {

namespace {

std::string textAt(const std::uint8_t* record, std::size_t offset, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(record + offset);
    return std::string(p, strnlen(p, width));
}

std::uint32_t u32At(const std::uint8_t* record, std::size_t offset) {
    const std::uint8_t* p = record + offset;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

std::optional<DiscoveredDevice> copyFoundRecord(const std::uint8_t* record) {
    if (!record) return std::nullopt;
    // Measured from each offset at most kFoundTextLimit bytes: 224 + 64 stays inside the record.
    static constexpr std::size_t kChecked[] = {
        VORP_FOUND_TAG,  VORP_FOUND_SERIAL,   VORP_FOUND_MAC, VORP_FOUND_IP,
        VORP_FOUND_MASK, VORP_FOUND_SOFTWARE, VORP_FOUND_DSP, VORP_FOUND_START_TIME};
    static_assert(VORP_FOUND_START_TIME + kFoundTextLimit <= VORP_FOUND_RECORD_SIZE);
    for (std::size_t offset : kChecked) {
        const char* p = reinterpret_cast<const char*>(record + offset);
        if (strnlen(p, kFoundTextLimit) >= kFoundTextLimit) return std::nullopt;
    }

    DiscoveredDevice d;
    d.tag = textAt(record, VORP_FOUND_TAG, VORP_FOUND_TAG_WIDTH);
    d.serial = textAt(record, VORP_FOUND_SERIAL, VORP_FOUND_SERIAL_WIDTH);
    d.mac = textAt(record, VORP_FOUND_MAC, VORP_FOUND_MAC_WIDTH);
    d.ip = textAt(record, VORP_FOUND_IP, VORP_FOUND_IP_WIDTH);
    d.mask = textAt(record, VORP_FOUND_MASK, VORP_FOUND_MASK_WIDTH);
    d.word112 = u32At(record, VORP_FOUND_WORD_112);
    d.port = u32At(record, VORP_FOUND_PORT);
    d.channels = u32At(record, VORP_FOUND_CHANNELS);
    d.word124 = u32At(record, VORP_FOUND_WORD_124);
    d.softwareVersion = textAt(record, VORP_FOUND_SOFTWARE, VORP_FOUND_SOFTWARE_WIDTH);
    d.dspVersion = textAt(record, VORP_FOUND_DSP, VORP_FOUND_DSP_WIDTH);
    d.startTime = textAt(record, VORP_FOUND_START_TIME, VORP_FOUND_START_TIME_WIDTH);
    d.event = static_cast<std::int32_t>(u32At(record, VORP_FOUND_EVENT));
    d.description = textAt(record, VORP_FOUND_DESCRIPTION, VORP_FOUND_DESCRIPTION_WIDTH);
    d.carriedTexts = {textAt(record, VORP_FOUND_TEXT_300, VORP_FOUND_TEXT_300_WIDTH),
                      textAt(record, VORP_FOUND_TEXT_324, VORP_FOUND_TEXT_324_WIDTH),
                      textAt(record, VORP_FOUND_TEXT_340, VORP_FOUND_TEXT_340_WIDTH),
                      textAt(record, VORP_FOUND_TEXT_386, VORP_FOUND_TEXT_386_WIDTH)};
    std::memcpy(d.carriedBytes.data(), record + VORP_FOUND_BYTES_432, d.carriedBytes.size());
    return d;
}

}  // namespace kbcfg::remote
