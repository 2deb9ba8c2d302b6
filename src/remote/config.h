#pragma once
// The keyboard maintenance page (mankb) and the import page it carries (config): sends a
// configuration file, by default the one being edited, to a keyboard.

#include <filesystem>
#include <string>

#include "remote/keyboard_fields.h"
#include "remote/netsdk.h"
#include "store/host.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::remote {

class config {
  public:
    // Offers the file of the image being edited.
    config(store::Host& host, const store::SessionState& session, NetSdk& sdk);

    // The file chooser; the session's paths stay as they are.
    bool choosePath();
    // A path given directly (the command line): made a full path, then the limits.
    bool usePath(const std::filesystem::path& path);
    // "Import Config File".
    store::Outcome importFile();

    std::string pathField;
    std::filesystem::path chosenPath;
    KeyboardFields keyboard;

  private:
    store::Host& host_;
    NetSdk& sdk_;
};

}  // namespace kbcfg::remote
