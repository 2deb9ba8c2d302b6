#pragma once
// One line of comma-separated values: fields may be double-quoted ("" is a quote inside), blanks
// around unquoted fields are dropped, a line that is empty or starts with # has no fields.

#include <string>
#include <vector>

namespace kbcfg::cli {

bool parseCsvLine(const std::string& line, std::vector<std::string>& fields, std::string& error);

}  // namespace kbcfg::cli
