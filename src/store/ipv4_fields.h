#pragma once
// The four octets of an IPv4 address box, each of which may be blank.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kbcfg::store {

// The first octet a host address box takes: no "this network", multicast or reserved nets.
inline constexpr int kHostFirstOctetMin = 1;
inline constexpr int kHostFirstOctetMax = 223;

struct Ipv4Fields {
    std::array<std::optional<std::uint8_t>, 4> octets;

    static Ipv4Fields of(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
        return {{a, b, c, d}};
    }
    // From an address as the image stores it (first octet in the lowest byte).
    static Ipv4Fields fromPacked(std::uint32_t ip);
    // "A.B.C.D" with any octet empty for a blank field ("10.0..5"); nullopt when the text is not
    // four dot-separated octets of 0..255.
    static std::optional<Ipv4Fields> parse(std::string_view text);

    bool complete() const;  // all four filled
    bool blank() const;     // none filled
    // The first octet is blank or one a host address box takes.
    bool hostFirstOctet() const;
    void clear() { octets = {}; }
    // The image form; blank octets count as 0.
    std::uint32_t packed() const;
    std::string toString() const;  // blank octets as empty text

    bool operator==(const Ipv4Fields&) const = default;
};

}  // namespace kbcfg::store
