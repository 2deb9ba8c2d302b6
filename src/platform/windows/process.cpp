#include "platform/process.h"

#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/dynlib.h"
#include "platform/windows/win32.h"

namespace kbcfg::platform {

namespace {

// The file name of a program without its folder and its ".exe".
std::wstring stemOf(const std::wstring& image) {
    return std::filesystem::path(image).stem().native();
}

bool sameName(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

long processId() {
    return static_cast<long>(::GetCurrentProcessId());
}

bool processAlive(long pid) {
    if (pid <= 0) return false;
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    // A process this user may not look at exists all the same.
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
    DWORD status = 0;
    const bool alive = ::GetExitCodeProcess(process, &status) && status == STILL_ACTIVE;
    ::CloseHandle(process);
    return alive;
}

bool processRuns(long pid, const std::string& program) {
    if (pid <= 0) return false;
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
    DWORD status = 0;
    bool runs = ::GetExitCodeProcess(process, &status) && status == STILL_ACTIVE;
    if (runs) {
        wchar_t image[32768];
        DWORD size = sizeof image / sizeof image[0];
        // Where the system does not tell the image, the process is believed to be it.
        if (::QueryFullProcessImageNameW(process, 0, image, &size))
            runs = sameName(stemOf(std::wstring(image, size)), win::fromUtf8(program));
    }
    ::CloseHandle(process);
    return runs;
}

std::string programName() {
    return win::toUtf8(executablePath().stem().native());
}

}  // namespace kbcfg::platform
