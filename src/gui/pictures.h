#pragma once
// The tool's artwork, painted in code: backgrounds, image buttons, the header strip and the list
// header's check pictures; and the program icon, from the installed icon's pictures.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace kbcfg::gui::pictures {

inline const QColor kModesColour(18, 62, 116);
inline const QColor kMainColour(47, 117, 195);
inline const QColor kTipColour(156, 196, 241);
inline const QColor kPageColour(117, 185, 230);

enum class ModeButton { Local, Remote, Upgrade };
enum class TabState { Normal, Pressed, Greyed };

QPixmap modesBackground(QSize size);
QPixmap modeButton(ModeButton kind, bool pressed);
QPixmap headerStrip(QSize size);
QPixmap tabButton(const QString& caption, TabState state);
// The list header's select-all picture: 13 pixels wide, the box at the top.
QPixmap checkPicture(bool checked);
// The sizes of the program icon's pictures, as installed beside the menu entry.
inline constexpr int kAppIconSizes[] = {16, 32, 48, 64, 128, 256};
QIcon appIcon();

}  // namespace kbcfg::gui::pictures
