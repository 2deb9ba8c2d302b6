#include "gui/widgets/image_button.h"

#include <QPainter>

namespace kbcfg::gui {

ImageButton::ImageButton(QPixmap normal, QPixmap pressed, QWidget* parent)
    : QAbstractButton(parent), normal_(std::move(normal)), pressed_(std::move(pressed)) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(sizeHint());
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap* picture = &normal_;
    if (!isEnabled() && !greyed_.isNull())
        picture = &greyed_;
    else if (isDown() || isChecked())
        picture = &pressed_;
    p.drawPixmap(rect(), *picture);
    if (hasFocus()) {
        QPen pen(QColor(255, 255, 255, 200), 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void ImageButton::setPictures(QPixmap normal, QPixmap pressed, QPixmap greyed) {
    normal_ = std::move(normal);
    pressed_ = std::move(pressed);
    greyed_ = std::move(greyed);
    setFixedSize(sizeHint());
    update();
}

}  // namespace kbcfg::gui
