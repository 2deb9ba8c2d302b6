#include "gui/widgets/page_dialog.h"

#include <QDialog>

namespace kbcfg::gui {

int runPageDialog(QDialog& dialog) {
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

}  // namespace kbcfg::gui
