#pragma once
// Text from files and other users (lock files, inventories, JSON keys) on its way to a terminal:
// control characters are shown escaped, so no escape sequence ever reaches the terminal.

#include <string>
#include <string_view>

namespace kbcfg::store {

// The text with C0 and C1 controls, DEL, backslashes and bytes that are not UTF-8 escaped
// C-style (\n, \t, \r, \\, \xNN); printable UTF-8 stays as it is.
std::string printable(std::string_view text);
// A path's UTF-8 text as printable() shows text, except that the system's own separator stays as
// it is: where that is a backslash (Windows) no name can hold one, so escaping it would only
// double every separator of the message.
std::string printablePath(std::string_view text);
// A user's name as the system gives it (on Windows DOMAIN\name, whose backslash no name part can
// hold) as printablePath() shows a path.
std::string printableUserName(std::string_view name);

}  // namespace kbcfg::store
