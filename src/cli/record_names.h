#pragma once
// Words for the coded fields of the image, as info prints them: the names the text form uses,
// and the number itself for a code that has none.

#include <cstdint>
#include <string>

#include "store/text_form.h"

namespace kbcfg::cli {

inline std::string kindName(std::uint8_t kind) {
    return store::textform::kindLabel(kind);
}

inline std::string protocolName(std::uint8_t protocol) {
    return store::textform::protocolLabel(protocol);
}

}  // namespace kbcfg::cli
