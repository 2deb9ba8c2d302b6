#pragma once
// What the text-reader targets share. Each target is its own libFuzzer program; for the suite they
// are linked into one replay program, which picks a target by name, so each entry point has a
// name of its own there.

#include <cstddef>
#include <cstdint>
#include <string_view>

#ifdef KBCFG_TEXT_REPLAY
#define KBCFG_TEXT_TARGET(name) int name(const std::uint8_t* data, std::size_t size)
#else
// A small quarantine and no fill of new blocks: the readers allocate a little for every token,
// and with the defaults half the time went to fresh pages, and the memory used stood for the
// quarantine rather than for the input (so -rss_limit_mb could not tell a leak from it).
#define KBCFG_TEXT_TARGET(name)                                                         \
    extern "C" const char* __asan_default_options() {                                   \
        return "quarantine_size_mb=8:max_malloc_fill_size=0";                           \
    }                                                                                   \
    int name(const std::uint8_t* data, std::size_t size);                               \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
        return name(data, size);                                                        \
    }                                                                                   \
    int name(const std::uint8_t* data, std::size_t size)
#endif

namespace kbcfg::fuzz {

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A property that does not hold: the fuzzer and the replay both stop here.
inline void require(bool holds) {
    if (!holds) __builtin_trap();
}

// Whether a message names a line: "line 12" somewhere in it.
inline bool namesLine(std::string_view message) {
    for (std::size_t at = message.find("line "); at != std::string_view::npos;
         at = message.find("line ", at + 1))
        if (at + 5 < message.size() && message[at + 5] >= '1' && message[at + 5] <= '9')
            return true;
    return false;
}

// Whether a message is fit for a terminal: no control character of the input reaches it.
inline bool printableMessage(std::string_view message) {
    for (const char c : message)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

}  // namespace kbcfg::fuzz
