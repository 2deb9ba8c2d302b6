#pragma once
// The discovery library as the presenters see it, and the tool's own copy of one report.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "remote/abi/vorp.h"

namespace kbcfg::remote {

// One report as the tool keeps it. Texts are the library's 8-bit text (store::fromAnsi for the
// UI); the fields that mean nothing to the tool are carried along all the same.
struct DiscoveredDevice {
    std::string tag;  // carried
    std::string serial;
    std::string mac;
    std::string ip;
    std::string mask;
    std::uint32_t word112 = 0;  // carried
    std::uint32_t port = 0;
    std::uint32_t channels = 0;
    std::uint32_t word124 = 0;  // carried
    std::string softwareVersion;
    std::string dspVersion;
    std::string startTime;
    std::int32_t event = 0;
    std::string description;
    std::array<std::string, 4> carriedTexts;  // at 300, 324, 340, 386
    std::array<std::uint8_t, 3> carriedBytes{};
};

// A report whose texts at 0, 12, 60, 80, 96, 128, 176 or 224 run to this many characters or more
// is dropped as a whole.
inline constexpr std::size_t kFoundTextLimit = 64;

// Copies a report (VORP_FOUND_RECORD_SIZE bytes) or says it is to be ignored (null, or an
// overlong text). Each text is read within its own field, so one that fills its field without a
// terminator is cut there instead of taking in the next field.
std::optional<DiscoveredDevice> copyFoundRecord(const std::uint8_t* record);

class Discovery {
  public:
    // Called on the library's thread, once per report; the record is valid only during the call
    // and may be null.
    using Callback = std::function<void(const std::uint8_t* record)>;

    virtual ~Discovery() = default;
    // VORP_Start_V20: true when discovery has started.
    virtual bool start(Callback onReport) = 0;
    // VORP_Stop: returns once no callback is running and none will follow.
    virtual void stop() = 0;
};

}  // namespace kbcfg::remote
