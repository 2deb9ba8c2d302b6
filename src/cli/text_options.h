#pragma once
// Options that stand for a dialog's text boxes take the text as typed; the presenter judges it.
// Address options take four dot-separated octets, any of them empty for a blank field.

#include <CLI/CLI.hpp>
#include <stdexcept>
#include <string>

#include "store/ipv4_fields.h"

namespace kbcfg::cli {

// An address the dialogs' boxes could never hold. Thrown while the options are read, so the run
// ends before any file is opened; the dispatcher reports it with status 1 (refused, not a usage
// error: the text is a well-formed address).
class AddressRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "--ip 224.0.0.1: ..." for an address whose first octet a host address box does not take.
inline std::string hostAddressProblem(const std::string& name, const std::string& text) {
    return name + " " + text + ": the first octet of an address must be " +
           std::to_string(store::kHostFirstOctetMin) + ".." +
           std::to_string(store::kHostFirstOctetMax);
}

// Adds a host address option: a text that is not four octets of 0..255 is a usage error; a first
// octet outside the range the dialogs' boxes take is refused.
inline CLI::Option* addAddressOption(CLI::App& app, const std::string& name,
                                     store::Ipv4Fields& target, const std::string& help) {
    return app
        .add_option_function<std::string>(
            name,
            [&target, name](const std::string& text) {
                auto parsed = store::Ipv4Fields::parse(text);
                if (!parsed)
                    throw CLI::ValidationError(text,
                                               "an address is four dot-separated octets "
                                               "of 0..255, any of them empty");
                if (!parsed->hostFirstOctet()) throw AddressRefused(hostAddressProblem(name, text));
                target = *parsed;
            },
            help)
        ->type_name("A.B.C.D");
}

}  // namespace kbcfg::cli
