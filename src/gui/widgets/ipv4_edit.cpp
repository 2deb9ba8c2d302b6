#include "gui/widgets/ipv4_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyleOptionFrame>
#include <algorithm>
#include <utility>

namespace kbcfg::gui {

namespace {
constexpr int kOctetWidth = 30;
}

Ipv4Edit::Ipv4Edit(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_Hover);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    auto* validator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAttribute(Qt::WA_TranslucentBackground);
            dot->setAlignment(Qt::AlignCenter);
            layout->addWidget(dot);
        }
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("octet%1").arg(i));
        edit->setFrame(false);
        edit->setAlignment(Qt::AlignCenter);
        edit->setMaxLength(3);
        edit->setValidator(validator);
        edit->setFixedWidth(kOctetWidth);
        edit->setAttribute(Qt::WA_TranslucentBackground);
        // Tab enters the box at its first field and leaves it from any field.
        edit->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        edit->installEventFilter(this);
        QPalette pal = edit->palette();
        pal.setColor(QPalette::Base, Qt::transparent);
        edit->setPalette(pal);
        connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (text.size() == 3 && octets_[static_cast<std::size_t>(i)]->cursorPosition() == 3) {
                normalise(i);
                if (i < 3) {
                    moveTo(i + 1, true);
                    advanced_ = true;
                }
            }
            emit edited();
        });
        octets_[static_cast<std::size_t>(i)] = edit;
        layout->addWidget(edit);
    }
    setFocusProxy(octets_[0]);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Ipv4Edit::sizeHint() const {
    QSize size = QWidget::sizeHint();
    size.setHeight(std::max(size.height(), octets_[0]->sizeHint().height() + 4));
    return size;
}

int Ipv4Edit::index(QObject* edit) const {
    for (int i = 0; i < 4; ++i)
        if (octets_[static_cast<std::size_t>(i)] == edit) return i;
    return -1;
}

store::Ipv4Fields Ipv4Edit::fields() const {
    store::Ipv4Fields out;
    for (int i = 0; i < 4; ++i) {
        normalise(i);
        const QString text = octets_[static_cast<std::size_t>(i)]->text();
        if (text.isEmpty()) continue;
        const int value = std::clamp(text.toInt(), 0, 255);
        out.octets[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
    }
    return out;
}

void Ipv4Edit::setFields(const store::Ipv4Fields& fields) {
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& octet = fields.octets[i];
        const QString text = octet ? QString::number(*octet) : QString();
        if (octets_[i]->text() != text) octets_[i]->setText(text);
        octets_[i]->setModified(false);
    }
}

void Ipv4Edit::normalise(int i) const {
    QLineEdit* edit = octets_[static_cast<std::size_t>(i)];
    // setText() clears the modified flag, so only what the user typed is judged.
    if (edit->text().isEmpty() || !edit->isModified()) return;
    const QString text = QString::number(std::clamp(edit->text().toInt(), minimum(i), maximum(i)));
    if (text != edit->text()) edit->setText(text);
}

void Ipv4Edit::moveTo(int i, bool selectAll) {
    QLineEdit* edit = octets_[static_cast<std::size_t>(i)];
    edit->setFocus(Qt::OtherFocusReason);
    if (selectAll) edit->selectAll();
}

bool Ipv4Edit::eventFilter(QObject* watched, QEvent* event) {
    const int i = index(watched);
    if (i < 0) return QWidget::eventFilter(watched, event);
    QLineEdit* edit = octets_[static_cast<std::size_t>(i)];
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool justAdvanced = std::exchange(advanced_, false);
            if (key->key() == Qt::Key_Period) {
                if (justAdvanced && edit->text().isEmpty()) return true;
                normalise(i);
                if (i < 3) moveTo(i + 1, true);
                return true;
            }
            const bool atStart = edit->cursorPosition() == 0 && !edit->hasSelectedText();
            const bool atEnd =
                edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText();
            if (key->key() == Qt::Key_Backspace && edit->text().isEmpty() && i > 0) {
                moveTo(i - 1, false);
                octets_[static_cast<std::size_t>(i - 1)]->end(false);
                return true;
            }
            if (key->key() == Qt::Key_Left && atStart && i > 0) {
                moveTo(i - 1, false);
                octets_[static_cast<std::size_t>(i - 1)]->end(false);
                return true;
            }
            if (key->key() == Qt::Key_Right && atEnd && i < 3) {
                moveTo(i + 1, false);
                octets_[static_cast<std::size_t>(i + 1)]->home(false);
                return true;
            }
            break;
        }
        case QEvent::FocusOut:
            advanced_ = false;
            normalise(i);
            update();
            break;
        case QEvent::FocusIn:
            update();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void Ipv4Edit::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken;
    bool focused = false;
    for (QLineEdit* edit : octets_) focused |= edit->hasFocus();
    if (focused) frame.state |= QStyle::State_HasFocus;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &p, this);
}

void Ipv4Edit::changeEvent(QEvent* event) {
    // The frame's colour follows the enabled state.
    if (event->type() == QEvent::EnabledChange) update();
    QWidget::changeEvent(event);
}

}  // namespace kbcfg::gui
