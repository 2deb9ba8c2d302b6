#pragma once
// Comma-separated values, as spreadsheets write them: the one reader behind `import-csv` and the
// fleet inventories.

#include <string>
#include <string_view>
#include <vector>

namespace kbcfg::store {

// The lines of a text, without a leading UTF-8 byte-order mark and without the carriage return
// of CRLF line ends.
std::vector<std::string> csvLines(std::string_view text);

// The fields of one line: fields may be double-quoted ("" is a quote inside, a comma inside
// quotes belongs to the field), blanks around fields are dropped, a line that is empty or starts
// with # has no fields. False, with `error` set, for an unterminated quote or text after one.
bool parseCsvLine(const std::string& line, std::vector<std::string>& fields, std::string& error);

}  // namespace kbcfg::store
