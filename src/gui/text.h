#pragma once
// UTF-8 text of the core to and from Qt strings.

#include <QString>
#include <string>

namespace kbcfg::gui {

inline QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
inline std::string str(const QString& text) {
    return text.toStdString();
}

}  // namespace kbcfg::gui
