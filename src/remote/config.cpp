#include "remote/config.h"

#include "platform/paths.h"
#include "remote/modconfig.h"
#include "store/full_path.h"

namespace kbcfg::remote {

config::config(store::Host& host, const store::SessionState& session, NetSdk& sdk)
    : pathField(platform::utf8(session.configPath)),
      chosenPath(session.configPath),
      host_(host),
      sdk_(sdk) {}

bool config::choosePath() {
    const auto chosen = host_.chooseOpenFile({"All File (*)", "kbCfg.bin", "*.*"});
    if (!chosen) return false;
    return usePath(*chosen);
}

bool config::usePath(const std::filesystem::path& given) {
    const std::filesystem::path path = store::fullPath(given);
    if (!checkPathLimits(host_, path)) {
        chosenPath.clear();  // the box keeps its old text; an import then asks for a file
        return false;
    }
    chosenPath = path;
    pathField = platform::utf8(path);
    return true;
}

store::Outcome config::importFile() {
    return importConfigFile(host_, sdk_, keyboard, chosenPath, false);
}

}  // namespace kbcfg::remote
