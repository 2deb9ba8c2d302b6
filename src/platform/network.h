#pragma once
// The network services the tool needs from the system before it talks to devices.

namespace kbcfg::platform {

// Whether this process can open a socket at all (the socket library starts, a UDP socket opens).
// On Windows this also starts the socket library for the life of the process.
bool socketsUsable();

}  // namespace kbcfg::platform
