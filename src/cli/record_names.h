#pragma once
// Words for the coded fields of the image, as info and dump print them: the names the text form
// uses, and the number itself for a code that has none.

#include <cstdint>
#include <string>

#include "store/text_form.h"

namespace kbcfg::cli {

inline std::string kindName(std::uint8_t kind) {
    const std::string name = store::textform::kindName(kind);
    return name.empty() ? "kind " + std::to_string(kind) : name;
}

inline std::string protocolName(std::uint8_t protocol) {
    const std::string name = store::textform::protocolName(protocol);
    return name.empty() ? "protocol " + std::to_string(protocol) : name;
}

}  // namespace kbcfg::cli
