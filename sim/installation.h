#pragma once
// The simulated installation: keyboards, devices and the discovery timeline, read from the JSON
// file named by VYXSIM_INSTALLATION or taken from the built-in demo.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vyxsim {

struct PortGroup {
    int count = 0;
    int first = 0;
};

// How long the calls that talk to a keyboard or device take. Given per node, or for the whole
// installation as the default of every node that does not give its own.
struct Latency {
    int latencyMs = 0;     // every call that talks to the node
    int loginMs = 0;       // the login (the node's latencyMs unless given)
    int timeoutMs = 3000;  // a login to a node that is switched off, before the connection error
};

struct UpgradeBehaviour {
    int ticks = 6;       // state polls until the end state
    int finalState = 1;  // what the poll answers from then on
    std::vector<int> panelSteps{10, 20, 30, 40};
    bool refuse = false;          // VYX_Upgrade fails
    bool encryptRefuses = false;  // VYX_GetEncryptState answers zero
};

struct Keyboard {
    std::string address;
    int port = 8000;
    std::string password;  // of the user "admin"
    std::string name;      // 8-bit text
    std::string serial;
    int typeCode = 0;
    bool reachable = true;
    Latency latency;
    bool refuseImport = false;
    bool forgetImport = false;    // an import is answered with success but not kept
    bool refuseRollback = false;  // an import of the file held before the last one fails
    // The configuration file as the keyboard holds it; keyboards with the same file share it,
    // so that a description listing many keyboards does not hold a 1.7 MB copy for each.
    std::shared_ptr<const std::vector<std::uint8_t>> storedFile;
    UpgradeBehaviour upgrade;
};

struct Device {
    std::string address;
    int port = 8000;
    std::string userName = "admin";
    std::string password;
    std::string storedPassword;  // what a generated keyboard file holds for it
    bool inConfigFile = true;
    bool reachable = true;
    Latency latency;
    int typeCode = 0;
    std::string name;  // 8-bit text
    std::string serial;
    int analogChannels = 0;
    int firstChannel = 1;
    std::array<bool, 32> ipChannels{};
    PortGroup vga, bnc, hdmi, dvi, tvWalls;
    std::string sceneXml;
    std::map<int, std::string> channelNames;  // 8-bit text by channel number

    int ipChannelCount() const;
};

struct FoundEvent {
    int atMs = 0;
    int code = 1;
    std::string serial, mac, ip, mask, softwareVersion, dspVersion, startTime, description;
    std::uint32_t port = 8000;
    std::uint32_t channels = 0;
};

struct Burst {
    int rate = 0;  // events per second; 0: as fast as the callback returns
    int devices = 16;
    long long count = 0;  // 0: until stopped
};

struct DiscoveryScript {
    bool startFails = false;
    std::vector<FoundEvent> events;  // sorted by time
    int repeatMs = 0;                // > 0: the timeline starts again after this period
    bool hasBurst = false;
    Burst burst;
};

struct Installation {
    std::vector<Keyboard> keyboards;
    std::vector<Device> devices;
    DiscoveryScript discovery;
};

// Parses a description; on any fault returns nullptr and says why in `error`. Relative file
// names in it are taken from baseDir.
std::unique_ptr<Installation> parseInstallation(const std::string& json, const std::string& baseDir,
                                                std::string& error);

// The installation in force: the file named by VYXSIM_INSTALLATION, read again when the variable
// names another file or the file has changed since; the demo when the variable is unset or
// empty. A description that cannot be used is reported once on stderr and gives an empty
// installation. `reloaded` tells the caller to drop state that referred to the old one.
const Installation& currentInstallation(bool& reloaded);

// The built-in demo description.
const char* demoInstallationJson();

}  // namespace vyxsim
