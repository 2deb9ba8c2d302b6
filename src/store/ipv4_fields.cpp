#include "store/ipv4_fields.h"

namespace kbcfg::store {

Ipv4Fields Ipv4Fields::fromPacked(std::uint32_t ip) {
    return of(static_cast<std::uint8_t>(ip), static_cast<std::uint8_t>(ip >> 8),
              static_cast<std::uint8_t>(ip >> 16), static_cast<std::uint8_t>(ip >> 24));
}

std::optional<Ipv4Fields> Ipv4Fields::parse(std::string_view text) {
    Ipv4Fields fields;
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = text.find('.', start);
        const bool last = i == 3;
        if (last != (dot == std::string_view::npos)) return std::nullopt;
        const std::string_view part =
            text.substr(start, last ? std::string_view::npos : dot - start);
        if (!part.empty()) {
            if (part.size() > 3) return std::nullopt;
            int value = 0;
            for (char c : part) {
                if (c < '0' || c > '9') return std::nullopt;
                value = value * 10 + (c - '0');
            }
            if (value > 255) return std::nullopt;
            fields.octets[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
        }
        start = dot + 1;
    }
    return fields;
}

bool Ipv4Fields::complete() const {
    for (const auto& o : octets)
        if (!o) return false;
    return true;
}

bool Ipv4Fields::blank() const {
    for (const auto& o : octets)
        if (o) return false;
    return true;
}

bool Ipv4Fields::hostFirstOctet() const {
    return !octets[0] || (*octets[0] >= kHostFirstOctetMin && *octets[0] <= kHostFirstOctetMax);
}

std::uint32_t Ipv4Fields::packed() const {
    std::uint32_t ip = 0;
    for (std::size_t i = 0; i < 4; ++i) ip |= std::uint32_t{octets[i].value_or(0)} << (8 * i);
    return ip;
}

std::string Ipv4Fields::toString() const {
    std::string out;
    for (std::size_t i = 0; i < 4; ++i) {
        if (i) out += '.';
        if (octets[i]) out += std::to_string(*octets[i]);
    }
    return out;
}

}  // namespace kbcfg::store
