#pragma once
// The system's words for an error, for messages. Included by platform/windows only.

#include <windows.h>

#include <string>

#include "platform/windows/win32.h"

namespace kbcfg::platform::win {

// The system's message for an error number, in UTF-8, without the line end it comes with.
inline std::string systemMessage(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.'))
        text.pop_back();
    if (text.empty()) return "system error " + std::to_string(error);
    return toUtf8(text);
}

}  // namespace kbcfg::platform::win
