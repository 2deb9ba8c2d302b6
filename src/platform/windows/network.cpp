#include "platform/network.h"

#include <winsock2.h>

namespace kbcfg::platform {

bool socketsUsable() {
    // Started once and never stopped: the device libraries use the socket library all along.
    static const bool started = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) return false;
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) return false;
    ::closesocket(s);
    return true;
}

}  // namespace kbcfg::platform
