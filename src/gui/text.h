#pragma once
// UTF-8 text of the core to and from Qt strings.

#include <QLineEdit>
#include <QString>
#include <string>

namespace kbcfg::gui {

inline QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline std::string str(const QString& text) {
    return text.toStdString();
}

// Shows a presenter's field in a line edit, leaving the edit alone (cursor, selection, no
// textChanged) when it already holds that text.
inline void showText(QLineEdit* edit, const std::string& utf8) {
    if (edit->text() != qs(utf8)) edit->setText(qs(utf8));
}

}  // namespace kbcfg::gui
