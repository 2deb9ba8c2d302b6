#include "gui/app_fonts.h"

#include <QStringList>

namespace kbcfg::gui {

QFont uiFont(int pointSize) {
    QFont font;
    // The first installed family wins; the last ones are always there.
    font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Source Han Sans SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Droid Sans Fallback"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    return font;
}

QFont headerFont() {
    QFont font;
    // Carlito has the same metrics as the font the header was laid out for.
    font.setFamilies({QStringLiteral("Calibri"), QStringLiteral("Carlito"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(20);
    return font;
}

}  // namespace kbcfg::gui
