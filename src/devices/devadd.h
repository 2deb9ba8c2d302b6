#pragma once
// The Add Device dialog: one device by its address, or a run of addresses that differ only in
// the last octet, all with the same port and credentials. Opened by the device page in normal
// mode and by the discovery dialog in preset mode (address and port given and locked).

#include <string>

#include "store/config_image.h"
#include "store/host.h"
#include "store/ipv4_fields.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::devices {

class devadd {
  public:
    enum class Type { SingleIp = 0, BatchIp = 1 };
    enum class Mode { Normal = 0, Preset = 1 };
    enum class Focus { Unchanged, StartIp, EndIp, Port, UserName, Password };

    // Normal mode. The refresh flag of the opener is set to 1 at once.
    devadd(store::Host& host, store::SessionState& session, store::ConfigImage& image,
           int* refreshFlag);
    // Preset mode: the address and port of a device found on the network.
    devadd(store::Host& host, store::SessionState& session, store::ConfigImage& image,
           int* refreshFlag, const store::Ipv4Fields& presetIp, int presetPort);

    // Captions from the catalogue.
    static std::string title();
    // "IP" for a single address, "Start IP:" for a range.
    std::string startIpLabel() const;

    void setType(Type type);
    Type type() const { return type_; }
    Mode mode() const { return mode_; }
    bool typeEnabled() const { return mode_ == Mode::Normal; }
    bool startIpEnabled() const { return mode_ == Mode::Normal; }
    bool endIpEnabled() const { return type_ == Type::BatchIp; }

    // The Add button: the single add or the range add by the type.
    store::Outcome add();
    store::Outcome addSingleDevice();
    store::Outcome addDeviceRange();

    // The fields as the user sees them.
    store::Ipv4Fields startIp;
    store::Ipv4Fields endIp;
    std::string port = "8000";
    std::string userName = "admin";
    std::string password;
    Focus focus = Focus::Unchanged;
    // Set when the dialog is to close with OK (preset mode, after an add or a duplicate).
    bool closeRequested = false;

    // Of the last add: how many devices were written, and whether the table had no room left
    // for one it was to write.
    int lastAdded = 0;
    bool tableFull = false;

  private:
    // What a range add did: addresses in the range, those already listed, whether the table
    // ran out of free slots.
    struct RangeRun {
        int total = 0;
        int duplicates = 0;
        bool full = false;
    };
    void fillSlot(int slot, std::uint32_t ip);
    bool portValid();
    // The range add's checks, each refusal with its message and its fields cleared.
    bool rangeFieldsValid();
    // Writes the range's new addresses into free slots, in memory.
    RangeRun fillRange();
    store::Outcome reportRange(const RangeRun& run);

    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
    Mode mode_;
    Type type_ = Type::SingleIp;
};

}  // namespace kbcfg::devices
