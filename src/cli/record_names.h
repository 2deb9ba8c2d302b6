#pragma once
// Words for the coded fields of the image, as info and dump print them.

#include <cstdint>
#include <string>

#include "store/config_image.h"

namespace kbcfg::cli {

inline std::string kindName(std::uint8_t kind) {
    switch (kind) {
        case store::kInputChannel:
            return "input";
        case store::kOutputChannel:
            return "output";
        case store::kScene:
            return "scene";
        case store::kTvWall:
            return "tv-wall";
        default:
            return "kind " + std::to_string(kind);
    }
}

inline std::string protocolName(std::uint8_t protocol) {
    switch (protocol) {
        case 0:
            return "TCP";
        case 1:
            return "UDP";
        default:
            return "protocol " + std::to_string(protocol);
    }
}

}  // namespace kbcfg::cli
