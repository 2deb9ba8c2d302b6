#pragma once
// The fonts the windows ask for, with the installed fallbacks.

#include <QFont>

namespace kbcfg::gui {

// The dialogs' CJK-capable sans font at a point size.
QFont uiFont(int pointSize);
// The list header's caption font, 20 pixels high.
QFont headerFont();

}  // namespace kbcfg::gui
