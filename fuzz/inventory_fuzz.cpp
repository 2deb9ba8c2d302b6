// Fuzz target for fleet inventories, CSV or JSON. A refusal names the line or entry at fault (or
// the document as a whole); what is accepted holds valid, distinct keyboards.

#include <set>
#include <string>

#include "remote/fleet.h"
#include "text_fuzz.h"

using namespace kbcfg;

KBCFG_TEXT_TARGET(inventoryFuzz) {
    std::string error;
    const auto keyboards = remote::parseInventory(fuzz::textOf(data, size), error);
    if (!keyboards) {
        fuzz::require(fuzz::namesLine(error) || error.starts_with("$") ||
                      error.starts_with("keyboard "));
        fuzz::require(fuzz::printableMessage(error));
        return 0;
    }
    std::set<std::string> names;
    for (const remote::FleetKeyboard& k : *keyboards) {
        fuzz::require(!k.name.empty() && k.name.size() <= remote::kMaxKeyboardNameChars);
        fuzz::require(names.insert(k.name).second);
        fuzz::require(k.address.complete() && k.line > 0 && !k.port.empty());
    }
    return 0;
}
