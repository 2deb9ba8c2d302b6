#pragma once
// Options that stand for a dialog's text boxes take the text as typed; the presenter judges it.
// Address options take four dot-separated octets, any of them empty for a blank field.

#include <CLI/CLI.hpp>
#include <string>

#include "store/ipv4_fields.h"

namespace kbcfg::cli {

// Adds an address option; a text that is not four octets of 0..255 is a usage error.
inline CLI::Option* addAddressOption(CLI::App& app, const std::string& name,
                                     store::Ipv4Fields& target, const std::string& help) {
    return app
        .add_option_function<std::string>(
            name,
            [&target](const std::string& text) {
                auto parsed = store::Ipv4Fields::parse(text);
                if (!parsed)
                    throw CLI::ValidationError(text,
                                               "an address is four dot-separated octets "
                                               "of 0..255, any of them empty");
                target = *parsed;
            },
            help)
        ->type_name("A.B.C.D");
}

}  // namespace kbcfg::cli
