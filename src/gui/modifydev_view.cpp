#include "gui/modifydev_view.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/text.h"
#include "gui/widgets/ipv4_edit.h"
#include "gui/widgets/key_as_tab.h"
#include "store/messages.h"

namespace kbcfg::gui {

using devices::modifydev;

namespace {
const QColor kDialogColour(211, 236, 245);
using store::Msg;

}  // namespace

ModifydevView::ModifydevView(GuiContext& context, std::vector<std::uint8_t> flags, int* refreshFlag,
                             QWidget* parent)
    : QDialog(parent),
      presenter_(context.host, context.session, context.image, std::move(flags), refreshFlag) {
    setObjectName(QStringLiteral("modifydev"));
    texts_.title(this, &modifydev::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kDialogColour);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);

    // Created in tab order: the Modify button follows the password box.
    ip_ = new Ipv4Edit(this);
    ip_->setObjectName(QStringLiteral("ipEdit"));
    ip_->setEnabled(false);
    port_ = new QLineEdit(this);
    port_->setObjectName(QStringLiteral("portEdit"));
    userName_ = new QLineEdit(this);
    userName_->setObjectName(QStringLiteral("userNameEdit"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("passwordEdit"));
    password_->setEchoMode(QLineEdit::Password);
    modify_ = texts_.text(new QPushButton(this), Msg::ModifyButton);
    modify_->setObjectName(QStringLiteral("modifyButton"));
    cancel_ = texts_.text(new QPushButton(this), Msg::CancelButton);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* b : {modify_, cancel_}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    const std::pair<store::Msg, QWidget*> rows[] = {
        {Msg::IpLabel, ip_},
        {Msg::StreamPortFieldLabel, port_},
        {Msg::UserNameLabel, userName_},
        {Msg::PasswordLabel, password_},
    };
    int row = 0;
    for (const auto& [text, field] : rows) {
        auto* label = texts_.text(new QLabel(this), text);
        label->setAttribute(Qt::WA_TranslucentBackground);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, Qt::AlignLeft);
        ++row;
    }
    const int fieldWidth = ip_->sizeHint().width();
    for (QLineEdit* e : {port_, userName_, password_}) e->setFixedWidth(fieldWidth);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(modify_);
    buttons->addSpacing(16);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 22, 26, 18);
    layout->addLayout(grid);
    layout->addSpacing(18);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Enter anywhere moves on like Tab.
    KeyAsTab::enter(this);
    password_->installEventFilter(this);
    connect(modify_, &QPushButton::clicked, this, &ModifydevView::modify);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    showState();
}

void ModifydevView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The user name box has the focus when the dialog opens.
    userName_->setFocus();
}

void ModifydevView::takeFields() {
    presenter_.port = str(port_->text());
    presenter_.userName = str(userName_->text());
    presenter_.password = str(password_->text());
}

void ModifydevView::showState() {
    ip_->setFields(presenter_.ip);
    showText(port_, presenter_.port);
    showText(userName_, presenter_.userName);
    showText(password_, presenter_.password);
    switch (presenter_.focus) {
        case modifydev::Focus::Port:
            port_->setFocus();
            break;
        case modifydev::Focus::UserName:
            userName_->setFocus();
            break;
        case modifydev::Focus::Password:
            password_->setFocus();
            break;
        case modifydev::Focus::Unchanged:
            break;
    }
    presenter_.focus = modifydev::Focus::Unchanged;
    if (presenter_.closeRequested) accept();
}

void ModifydevView::modify() {
    if (presenter_.closeRequested) return;  // already closing
    takeFields();
    presenter_.modify();
    showState();
}

bool ModifydevView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == password_ && event->type() == QEvent::FocusOut) {
        // As in the Add Device dialog: a click on Modify modifies by itself.
        const auto* focus = static_cast<QFocusEvent*>(event);
        if (QApplication::focusWidget() == modify_ && focus->reason() != Qt::MouseFocusReason)
            QMetaObject::invokeMethod(this, &ModifydevView::modify, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void ModifydevView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void ModifydevView::retranslate() {
    texts_.apply();
}

}  // namespace kbcfg::gui
