#pragma once
// Fields that show a value the user does not type (a chosen path, a fixed user name).

class QLineEdit;

namespace kbcfg::gui {

// Makes `field` look like what it is: read-only, on the grey of a disabled field yet in normal
// text, so that nobody types into it in vain. Tab passes it by; a click still selects its text
// for copying.
void showOnly(QLineEdit* field);

}  // namespace kbcfg::gui
