#pragma once
// The channel report's content, as fetched from the devices, and its text. The text is made
// from the content alone, so that it can be checked without any device.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kbcfg::channels {

// One reported channel: what its entry says and what its device answered.
struct ReportLine {
    std::int32_t index = 0;   // shown signed, as the file holds it
    std::uint8_t kind = 0;    // store::ChannelKind: tells scenes from TV walls
    int number = 0;           // the channel number on its device
    int outputPort = 0;       // outputs: store::OutputPort, any other value shows the bare number
    int portFirst = 0;        // outputs: the first channel number on that interface
    std::string channelName;  // inputs: the channel's name on its device
    std::string deviceName;
    std::string ip;
    int port = 0;
};

struct ReportContent {
    enum Section { kInputs, kOutputs, kWallsAndScenes };
    std::string operatorName;  // ANSI bytes, as in the operator's record
    std::array<std::vector<ReportLine>, 3> sections;
};

// The three sections of fixed-width lines ending in CR LF; values are padded, never cut.
std::string formatChannelReport(const ReportContent& content);

}  // namespace kbcfg::channels
