#include "store/fresh_image.h"

#include "store/ansi.h"

namespace kbcfg::store {

void makeFreshImage(ConfigImage& image, const std::string& admin, const std::string& password) {
    image.zero();
    image.stampCurrentHeader();
    OperatorRecord administrator = image.operatorRecord(0);
    administrator.setInUse(1);
    administrator.setName(toAnsi(admin));
    administrator.setPassword(toAnsi(password));
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        image.clearOperatorTables(op);
        image.resetOperatorDevices(op);
    }
    image.updateChecksum();
}

}  // namespace kbcfg::store
