// Fuzz target for fleet password files. A refusal names its line and never quotes a password;
// every name accepted is "*" or a keyboard name.

#include <string>

#include "remote/fleet.h"
#include "text_fuzz.h"

using namespace kbcfg;

KBCFG_TEXT_TARGET(passwordsFuzz) {
    std::string error;
    const std::string_view text = fuzz::textOf(data, size);
    const auto passwords = remote::parsePasswords(text, error);
    if (!passwords) {
        fuzz::require(error.starts_with("line ") && fuzz::namesLine(error));
        fuzz::require(fuzz::printableMessage(error));
        return 0;
    }
    for (const auto& [name, password] : *passwords) {
        fuzz::require(name == "*" || (!name.empty() && name.find(':') == std::string::npos));
        fuzz::require(password.find('\n') == std::string::npos);
    }
    return 0;
}
