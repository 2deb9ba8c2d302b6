#include "gui/tip_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/app_fonts.h"
#include "gui/pictures.h"
#include "gui/text.h"

namespace kbcfg::gui {

TipView::TipView(const std::string& text, bool withCancel, QWidget* parent)
    : QDialog(parent), tip_(text, withCancel) {
    setObjectName(QStringLiteral("tip"));
    texts_.title(this, &shell::tip::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kTipColour);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    text_ = new QLabel(qs(tip_.text), this);
    text_->setObjectName(QStringLiteral("tipText"));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setFont(uiFont(10));
    text_->setMinimumWidth(260);
    text_->setMaximumWidth(420);

    auto* message = new QHBoxLayout;
    message->addWidget(icon);
    message->addSpacing(8);
    message->addWidget(text_, 1);

    ok_ = texts_.text(new QPushButton(this), &shell::tip::okCaption);
    ok_->setObjectName(QStringLiteral("tipOk"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] { finish(store::Answer::Ok); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    if (tip_.withCancel) {
        cancel_ = texts_.text(new QPushButton(this), &shell::tip::cancelCaption);
        cancel_->setObjectName(QStringLiteral("tipCancel"));
        connect(cancel_, &QPushButton::clicked, this, [this] { finish(store::Answer::Cancel); });
        buttons->addSpacing(16);
        buttons->addWidget(cancel_);
    }
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->addLayout(message);
    layout->addSpacing(14);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TipView::finish(store::Answer answer) {
    if (finishing_) return;  // a click that came in while a follow-up box was up
    finishing_ = true;
    if (answered_) answered_(answer);
    done(answer == store::Answer::Ok ? QDialog::Accepted : kCancelled);
}

store::Answer TipView::run(const std::function<void(store::Answer)>& answered) {
    answered_ = answered;
    finishing_ = false;
    const int result = exec();
    if (result == QDialog::Accepted) return store::Answer::Ok;
    if (result == kCancelled) return store::Answer::Cancel;
    return store::Answer::Closed;
}

void TipView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void TipView::retranslate() {
    texts_.apply();
}

}  // namespace kbcfg::gui
