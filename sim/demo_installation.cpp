// The installation the simulator plays when VYXSIM_INSTALLATION is unset: enough of everything
// for every remote feature of the tool to be tried out. Documentation addresses only.

#include "installation.h"

namespace vyxsim {

const char* demoInstallationJson() {
    return R"json({
  "keyboards": [
    {
      "address": "198.51.100.2", "port": 8000, "password": "12345",
      "name": "Control room keyboard", "serial": "KB-DEMO-0001",
      "upgrade": { "ticks": 8, "finalState": 1 }
    },
    {
      "address": "198.51.100.3", "port": 8000, "password": "12345",
      "name": "Annex keyboard", "serial": "KB-DEMO-0002",
      "upgrade": { "ticks": 4, "finalState": 5, "encryptRefuses": true }
    }
  ],
  "devices": [
    { "address": "198.51.100.20", "password": "12345", "type": 1, "name": "Lobby encoder",
      "serial": "ENC16-DEMO-0020", "analogChannels": 16, "firstChannel": 1,
      "channelNames": { "1": "Lobby entrance", "2": "Lobby desk" } },
    { "address": "198.51.100.21", "password": "12345", "type": 3, "name": "Parking recorder",
      "serial": "NVR-DEMO-0021", "analogChannels": 4, "firstChannel": 1, "ipChannels": [0, 5] },
    { "address": "198.51.100.22", "password": "12345", "type": 30, "name": "Stairs encoder",
      "serial": "ENC08-DEMO-0022", "analogChannels": 8, "firstChannel": 1 },
    { "address": "198.51.100.23", "password": "12345", "type": 38, "name": "Gate camera",
      "serial": "CAM-DEMO-0023", "analogChannels": 1, "firstChannel": 1 },
    { "address": "198.51.100.24", "password": "12345", "type": 101, "name": "Yard IP recorder",
      "serial": "IPR-DEMO-0024", "analogChannels": 0, "firstChannel": 1,
      "ipChannels": [0, 1, 2, 3] },
    { "address": "198.51.100.30", "password": "12345", "type": 4, "name": "Wall decoder",
      "serial": "DEC-DEMO-0030",
      "outputs": { "vga": { "count": 2, "first": 1 }, "bnc": { "count": 4, "first": 1 },
                   "hdmi": { "count": 1, "first": 1 } },
      "tvWalls": { "count": 2, "first": 1 },
      "sceneXml": "<SceneAbility version=\"2.0\"><sceneNum min=\"1\" max=\"16\"/></SceneAbility>" },
    { "address": "198.51.100.31", "password": "12345", "type": 102, "name": "Desk decoder",
      "serial": "DEC-DEMO-0031",
      "outputs": { "dvi": { "count": 2, "first": 1 }, "hdmi": { "count": 2, "first": 1 } },
      "tvWalls": { "count": 1, "first": 1 },
      "sceneXml": "<SceneAbility><SceneNum min=\"1\" max=\"8\"/></SceneAbility>" },
    { "address": "198.51.100.40", "password": "12345", "type": 141, "name": "Video matrix",
      "serial": "MTX-DEMO-0040" },
    { "address": "198.51.100.50", "password": "abc12345", "storedPassword": "12345", "type": 1,
      "name": "Renamed-password encoder", "serial": "ENC04-DEMO-0050", "analogChannels": 4 },
    { "address": "198.51.100.51", "password": "12345", "reachable": false, "timeoutMs": 500,
      "type": 1,
      "name": "Switched-off encoder", "serial": "ENC04-DEMO-0051", "analogChannels": 4 },
    { "address": "198.51.100.60", "password": "12345", "inConfigFile": false, "type": 2,
      "name": "New encoder", "serial": "ENC08-DEMO-0060", "analogChannels": 8 },
    { "address": "203.0.113.10", "password": "12345", "inConfigFile": false, "type": 20,
      "name": "New decoder", "serial": "DEC-DEMO-0110",
      "outputs": { "hdmi": { "count": 4, "first": 1 } },
      "sceneXml": "<SceneAbility><sceneNum min=\"1\" max=\"4\"/></SceneAbility>" }
  ],
  "discovery": {
    "events": [
      { "atMs": 300, "code": 1, "serial": "ENC16-DEMO-0020", "ip": "198.51.100.20",
        "mac": "00:00:5e:00:53:20", "port": 8000, "channels": 16, "description": "ENC-16",
        "softwareVersion": "V3.2.1 build 200611", "dspVersion": "V5.0 build 200301",
        "startTime": "2024-03-01 08:00:12" },
      { "atMs": 600, "code": 1, "serial": "ENC08-DEMO-0060", "ip": "198.51.100.60",
        "mac": "00:00:5e:00:53:60", "port": 8000, "channels": 8, "description": "ENC-8",
        "softwareVersion": "V3.1.0 build 190102", "dspVersion": "V5.0 build 190101",
        "startTime": "2024-03-02 09:30:00" },
      { "atMs": 900, "code": 1, "serial": "DEC-DEMO-0110", "ip": "203.0.113.10",
        "mac": "00:00:5e:00:53:a0", "port": 8000, "channels": 0, "description": "DEC-4H",
        "softwareVersion": "V2.0.4 build 210520", "dspVersion": "V1.2 build 210101",
        "startTime": "2024-03-03 07:45:31" },
      { "atMs": 1200, "code": 1, "serial": "CAM-DEMO-0177", "ip": "203.0.113.77",
        "mac": "00:00:5e:00:53:b7", "port": 8000, "channels": 1, "description": "IPC",
        "softwareVersion": "V5.5.0 build 220808", "dspVersion": "V7.3 build 220801",
        "startTime": "2024-03-04 12:00:00" },
      { "atMs": 2000, "code": 2, "serial": "ENC08-DEMO-0060", "ip": "198.51.100.60",
        "mac": "00:00:5e:00:53:60", "port": 8000, "channels": 8, "description": "ENC-8",
        "softwareVersion": "V3.1.2 build 240301" },
      { "atMs": 3000, "code": 3, "serial": "CAM-DEMO-0177" },
      { "atMs": 3500, "code": 4, "serial": "CAM-DEMO-0177", "ip": "203.0.113.77",
        "mac": "00:00:5e:00:53:b7", "port": 8000, "channels": 1, "description": "IPC",
        "softwareVersion": "V5.5.0 build 220808", "dspVersion": "V7.3 build 220801",
        "startTime": "2024-03-05 06:10:44" },
      { "atMs": 4000, "code": 5 }
    ]
  }
})json";
}

}  // namespace vyxsim
