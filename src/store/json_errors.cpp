#include "store/json_errors.h"

#include <algorithm>

namespace kbcfg::store {

namespace {

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// What went wrong, from the parser's message with the input it quotes cut out. The parser
// writes "syntax error while parsing CONTEXT - WHAT[; last read: 'INPUT'][; expected TOKEN]";
// WHAT and TOKEN come from fixed lists, INPUT is the document's own text.
std::string kindOf(std::string_view what) {
    const auto syntax = what.find("syntax error ");
    if (syntax == std::string_view::npos) return "not valid JSON";
    const auto dash = what.find(" - ", syntax);
    if (dash == std::string_view::npos) return "syntax error";
    std::string_view rest = what.substr(dash + 3);
    const auto lastRead = rest.find("; last read: '");
    if (lastRead == std::string_view::npos) return std::string(rest);
    std::string kind(rest.substr(0, lastRead));
    static constexpr std::string_view kExpected[] = {
        "end of input", "string literal", "':'", "']'", "'}'", "'[', '{', or a literal",
    };
    for (const std::string_view token : kExpected) {
        const std::string tail = "'; expected " + std::string(token);
        if (endsWith(rest, tail)) return kind + tail.substr(1);
    }
    return kind;
}

}  // namespace

std::string describePosition(std::string_view text, std::size_t offset) {
    const std::string_view before = text.substr(0, std::min(offset, text.size()));
    const auto newline = before.rfind('\n');
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    std::size_t column = 1;
    for (const char c : before.substr(newline == std::string_view::npos ? 0 : newline + 1))
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++column;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string describeParseError(const nlohmann::json::parse_error& error, std::string_view text) {
    // `byte` counts from 1 and is one past the end when the input ran out.
    return describePosition(text, error.byte == 0 ? 0 : error.byte - 1) + ": " +
           kindOf(error.what());
}

}  // namespace kbcfg::store
