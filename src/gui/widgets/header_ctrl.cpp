#include "gui/widgets/header_ctrl.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "gui/app_fonts.h"
#include "gui/pictures.h"

namespace kbcfg::gui {

namespace {
constexpr int kCheckX = 6, kCheckY = 4, kCheckWidth = 13, kCheckHeightLoss = 7;
constexpr int kCaptionIndent = 3;
constexpr int kCaptionGap = 8;
}  // namespace

CHeaderCtrlCl::CHeaderCtrlCl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setFont(headerFont());
    setSectionsClickable(true);
    setSortIndicatorShown(false);
    setHighlightSections(false);
    setSectionsMovable(false);
}

void CHeaderCtrlCl::usePageColours() {
    setStartColour(kPageStart[0], kPageStart[1], kPageStart[2]);
    setColourStep(kPageStep);
    setCheckState(0);
}

void CHeaderCtrlCl::setCaption(int column, const QString& caption) {
    if (column < 0 || column >= kMaxColumns) return;
    captions_[column] = caption;
    viewport()->update();
}

QString CHeaderCtrlCl::caption(int column) const {
    if (column >= 0 && column < kMaxColumns && !captions_[column].isEmpty())
        return captions_[column];
    // Lists whose model names the columns need not repeat them here.
    return model() ? model()->headerData(column, orientation()).toString() : QString();
}

int CHeaderCtrlCl::captionWidth(int column) const {
    const QString text = caption(column);
    return text.isEmpty()
               ? 0
               : kCaptionIndent + QFontMetrics(font()).horizontalAdvance(text) + kCaptionGap;
}

void CHeaderCtrlCl::setStartColour(int r, int g, int b) {
    start_[0] = r;
    start_[1] = g;
    start_[2] = b;
}

void CHeaderCtrlCl::setCheckState(int state) {
    checkState_ = state;
    viewport()->update();
}

void CHeaderCtrlCl::setHeightFactor(double factor) {
    heightFactor_ = factor;
    updateGeometry();
    // The list lays its header and its rows out again.
    emit geometriesChanged();
}

QColor CHeaderCtrlCl::rowColour(int row) const {
    auto channel = [&](int i) { return std::max(0, start_[i] - step_ * row); };
    return QColor(std::min(255, channel(0)), std::min(255, channel(1)), std::min(255, channel(2)));
}

QSize CHeaderCtrlCl::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(static_cast<int>(size.height() * heightFactor_));
    return size;
}

void CHeaderCtrlCl::paintGradient(QPainter& p, const QRect& rect) const {
    for (int row = 0; row < rect.height(); ++row)
        p.fillRect(QRect(rect.left(), rect.top() + row, rect.width(), 1), rowColour(row));
}

void CHeaderCtrlCl::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int h = viewport()->height();
    static const QPixmap checked = pictures::checkPicture(true);
    static const QPixmap unchecked = pictures::checkPicture(false);
    const QFontMetrics metrics(font());

    int right = 0;  // just past the right edge of the last column
    for (int visual = 0; visual < count(); ++visual) {
        const int column = logicalIndex(visual);
        if (isSectionHidden(column) || sectionSize(column) == 0) continue;
        const QRect rect(sectionViewportPosition(column), 0, sectionSize(column), h);
        right = std::max(right, rect.right() + 1);
        paintGradient(p, rect);
        if (column == 0) {
            const QPixmap& picture = checkState_ == 1 ? checked : unchecked;
            p.drawPixmap(QPoint(rect.left() + kCheckX, kCheckY), picture,
                         QRect(0, 0, kCheckWidth, std::max(0, h - kCheckHeightLoss)));
        }
        const QRect text = rect.adjusted(kCaptionIndent, 0, 0, 0);
        const int top = (text.height() - metrics.height()) / 2;
        p.setPen(textColour_);
        p.drawText(QRect(text.left(), text.top() + top, text.width(), metrics.height()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption(column));
    }
    // The strip after the last column, so no part of the header is left unpainted.
    if (right < viewport()->width())
        paintGradient(p, QRect(right, 0, viewport()->width() - right, h));
}

}  // namespace kbcfg::gui
