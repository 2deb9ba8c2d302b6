#include "gui/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "gui/app_fonts.h"

namespace kbcfg::gui::pictures {

namespace {

constexpr int kModeButtonSize = 112;
constexpr QSize kTabSize(112, 40);

QPixmap transparentPixmap(QSize size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    return pm;
}

// The keyboard all three mode pictures show, in a rectangle.
void drawKeyboard(QPainter& p, const QRectF& r, const QColor& body) {
    p.setPen(QPen(QColor(10, 35, 70), 1.5));
    p.setBrush(body);
    p.drawRoundedRect(r, 5, 5);
    p.setBrush(QColor(235, 242, 250));
    p.setPen(Qt::NoPen);
    const qreal key = r.width() / 9.0;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 7; ++col)
            p.drawRoundedRect(
                QRectF(r.left() + key * (col + 1) - key * 0.35,
                       r.top() + r.height() * (0.22 + row * 0.22), key * 0.75, r.height() * 0.15),
                1.5, 1.5);
    // The joystick of a surveillance desk keyboard.
    p.setBrush(QColor(40, 40, 48));
    p.drawEllipse(QPointF(r.right() - key * 0.9, r.top() - key * 0.3), key * 0.55, key * 0.55);
    p.setPen(QPen(QColor(40, 40, 48), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.right() - key * 0.9, r.top() - key * 0.3),
               QPointF(r.right() - key * 0.9, r.top() + 2));
}

void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    p.setPen(QPen(colour, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF wing1 = line;
    wing1.setLength(11);
    wing1.setAngle(line.angle() + 35);
    QLineF wing2 = line;
    wing2.setLength(11);
    wing2.setAngle(line.angle() - 35);
    p.drawLine(wing1);
    p.drawLine(wing2);
}

}  // namespace

QPixmap modesBackground(QSize size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, kModesColour.lighter(125));
    g.setColorAt(0.45, kModesColour);
    g.setColorAt(1, kModesColour.darker(135));
    p.fillRect(pm.rect(), g);
    // Faint arcs, like the sweep of a camera.
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 14 + i * 3), 2));
        const int r = 140 + i * 70;
        p.drawEllipse(QPoint(size.width() + 40, size.height() + 60), r, r);
    }
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(16, 44, size.width() - 16, 44);
    return pm;
}

QPixmap modeButton(ModeButton kind, bool pressed) {
    QPixmap pm = transparentPixmap(QSize(kModeButtonSize, kModeButtonSize));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF tile =
        QRectF(pm.rect()).adjusted(4, 4, -4, -4).translated(pressed ? 1 : 0, pressed ? 2 : 0);
    if (!pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 70));
        p.drawRoundedRect(tile.translated(2, 3), 16, 16);
    }
    QLinearGradient g(tile.topLeft(), tile.bottomLeft());
    const QColor top = pressed ? QColor(46, 108, 178) : QColor(92, 160, 232);
    const QColor bottom = pressed ? QColor(24, 72, 132) : QColor(38, 104, 184);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(QColor(200, 225, 255, pressed ? 90 : 160), 1.5));
    p.setBrush(g);
    p.drawRoundedRect(tile, 16, 16);

    const QRectF board(tile.left() + 18, tile.top() + 54, tile.width() - 36, 30);
    switch (kind) {
        case ModeButton::Local: {
            // A sheet of paper over the keyboard: the file on this computer.
            QPainterPath sheet;
            const QRectF s(tile.left() + 30, tile.top() + 12, 34, 40);
            sheet.moveTo(s.topLeft());
            sheet.lineTo(s.right() - 10, s.top());
            sheet.lineTo(s.right(), s.top() + 10);
            sheet.lineTo(s.bottomRight());
            sheet.lineTo(s.bottomLeft());
            sheet.closeSubpath();
            p.setPen(QPen(QColor(10, 35, 70), 1.2));
            p.setBrush(QColor(250, 250, 245));
            p.drawPath(sheet);
            p.setPen(QPen(QColor(90, 130, 180), 1.5));
            for (int i = 0; i < 4; ++i)
                p.drawLine(QPointF(s.left() + 6, s.top() + 14 + i * 6),
                           QPointF(s.right() - 6, s.top() + 14 + i * 6));
            drawKeyboard(p, board, QColor(120, 130, 145));
            break;
        }
        case ModeButton::Remote:
            // The file comes from the keyboard over the network.
            drawKeyboard(p, board, QColor(120, 130, 145));
            p.setPen(QPen(QColor(255, 214, 90), 2.5));
            p.setBrush(Qt::NoBrush);
            for (int i = 0; i < 3; ++i)
                p.drawArc(QRectF(tile.left() + 20 - i * 7, tile.top() + 14 - i * 7, 24 + i * 14,
                                 24 + i * 14),
                          30 * 16, 120 * 16);
            drawArrow(p, QPointF(tile.left() + 74, tile.top() + 14),
                      QPointF(tile.left() + 74, tile.top() + 46), QColor(255, 214, 90));
            break;
        case ModeButton::Upgrade:
            // A chip and an upward arrow: new firmware for the keyboard.
            drawKeyboard(p, board, QColor(120, 130, 145));
            p.setPen(QPen(QColor(200, 210, 220), 2));
            for (int i = 0; i < 4; ++i) {
                const qreal x = tile.left() + 26 + i * 7;
                p.drawLine(QPointF(x, tile.top() + 14), QPointF(x, tile.top() + 46));
            }
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(30, 30, 38));
            p.drawRoundedRect(QRectF(tile.left() + 22, tile.top() + 19, 30, 22), 3, 3);
            drawArrow(p, QPointF(tile.left() + 72, tile.top() + 46),
                      QPointF(tile.left() + 72, tile.top() + 12), QColor(110, 230, 130));
            break;
    }
    if (pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 40));
        p.drawRoundedRect(tile, 16, 16);
    }
    return pm;
}

QPixmap headerStrip(QSize size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, QColor(22, 70, 130));
    g.setColorAt(0.6, kMainColour.darker(115));
    g.setColorAt(1, kMainColour);
    p.fillRect(pm.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 30), 1));
    for (int x = -size.height(); x < size.width(); x += 18)
        p.drawLine(x, size.height(), x + size.height(), 0);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.drawLine(0, size.height() - 1, size.width(), size.height() - 1);
    return pm;
}

QPixmap tabButton(const QString& caption, TabState state) {
    QPixmap pm = transparentPixmap(kTabSize);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(pm.rect()).adjusted(1, 3, -1, 0);
    QPainterPath tab;
    tab.addRoundedRect(r.adjusted(0, 0, 0, 10), 9, 9);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    QColor text;
    switch (state) {
        case TabState::Normal:
            g.setColorAt(0, QColor(98, 160, 226));
            g.setColorAt(1, QColor(52, 112, 186));
            text = Qt::white;
            break;
        case TabState::Pressed:
            g.setColorAt(0, QColor(250, 252, 255));
            g.setColorAt(1, QColor(204, 228, 250));
            text = QColor(18, 62, 116);
            break;
        case TabState::Greyed:
            g.setColorAt(0, QColor(160, 170, 182));
            g.setColorAt(1, QColor(128, 138, 150));
            text = QColor(205, 210, 216);
            break;
    }
    p.setClipRect(pm.rect());
    p.setPen(QPen(QColor(255, 255, 255, state == TabState::Greyed ? 60 : 140), 1));
    p.setBrush(g);
    p.drawPath(tab);
    QFont font = uiFont(10);
    font.setBold(state == TabState::Pressed);
    p.setFont(font);
    p.setPen(text);
    p.drawText(r, Qt::AlignCenter, caption);
    return pm;
}

QPixmap checkPicture(bool checked) {
    QPixmap pm = transparentPixmap(QSize(13, 32));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, 0.5, 12, 12);
    p.setPen(QPen(QColor(60, 90, 130), 1));
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(box);
    if (checked) {
        p.setPen(QPen(QColor(20, 110, 40), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPointF tick[] = {{3, 6.5}, {5.5, 9.5}, {10, 3.5}};
        p.drawPolyline(tick, 3);
    }
    return pm;
}

QIcon appIcon() {
    // The installed icon's own pictures, compiled in, so that a run from the build folder shows
    // the same icon as the menu entry. PNGs, so no image plugin is needed at run time.
    QIcon icon;
    for (int size : kAppIconSizes)
        icon.addFile(QStringLiteral(":/kbcfg/icons/%1x%1/kbcfg.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace kbcfg::gui::pictures
