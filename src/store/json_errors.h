#pragma once
// Messages about JSON input that never quote the input's own text: a parse error gives its line
// and column only (the text near it can be part of a password). A key or value a message must
// name goes through store::printable.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace kbcfg::store {

// "line 12, column 7: unexpected end of input; expected '}'" for a parse error of `text`.
// Columns count characters (UTF-8 sequences), from 1.
std::string describeParseError(const nlohmann::json::parse_error& error, std::string_view text);

// "line 12, column 7" for a byte offset (from 0) into `text`.
std::string describePosition(std::string_view text, std::size_t offset);

}  // namespace kbcfg::store
