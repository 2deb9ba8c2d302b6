#include "gui/useradd_view.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/widgets/key_as_tab.h"
#include "store/messages.h"

namespace kbcfg::gui {

namespace {
using store::Msg;
}

UseraddView::UseraddView(GuiContext& context, QWidget* parent)
    : QDialog(parent), presenter_(context.host, context.session, context.image) {
    setObjectName(QStringLiteral("useradd"));
    texts_.title(this, &users::useradd::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kTipColour);
    setPalette(pal);
    setAutoFillBackground(true);

    auto edit = [this](const char* name, bool masked) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMinimumWidth(200);
        if (masked) e->setEchoMode(QLineEdit::Password);
        return e;
    };
    name_ = edit("nameEdit", false);
    password_ = edit("passwordEdit", true);
    confirm_ = edit("confirmEdit", true);
    confirm_->installEventFilter(this);
    add_ = texts_.text(new QPushButton(this), Msg::AddButton);
    add_->setObjectName(QStringLiteral("addButton"));
    cancel_ = texts_.text(new QPushButton(this), Msg::CancelButton);
    cancel_->setObjectName(QStringLiteral("cancelButton"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    const Msg labels[] = {Msg::UserNameLabel, Msg::PasswordLabel, Msg::ConfirmNewPasswordLabel};
    QLineEdit* edits[] = {name_, password_, confirm_};
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(texts_.text(new QLabel(this), labels[row]), row, 0);
        grid->addWidget(edits[row], row, 1);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addSpacing(12);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 16);
    layout->addLayout(grid);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(name_, password_);
    setTabOrder(password_, confirm_);
    setTabOrder(confirm_, add_);
    setTabOrder(add_, cancel_);
    KeyAsTab::enter(this);

    connect(add_, &QPushButton::clicked, this, &UseraddView::add);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    showState();
}

void UseraddView::takeFields() {
    presenter_.name = str(name_->text());
    presenter_.password = str(password_->text());
    presenter_.confirm = str(confirm_->text());
}

void UseraddView::showState() {
    showText(name_, presenter_.name);
    showText(password_, presenter_.password);
    showText(confirm_, presenter_.confirm);
    if (presenter_.focus == users::useradd::Focus::Name) name_->setFocus();
    presenter_.focus = users::useradd::Focus::Unchanged;
    if (presenter_.closeRequested) accept();
}

void UseraddView::add() {
    if (presenter_.closeRequested) return;  // already on its way out
    takeFields();
    presenter_.addUser();
    showState();
}

bool UseraddView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == confirm_ && event->type() == QEvent::FocusOut) {
        const auto* focus = static_cast<QFocusEvent*>(event);
        // A click on Add adds through the click itself, so the press that moved the focus must
        // not add a second time.
        if (QApplication::focusWidget() == add_ && focus->reason() != Qt::MouseFocusReason)
            QMetaObject::invokeMethod(this, &UseraddView::add, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void UseraddView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void UseraddView::retranslate() {
    texts_.apply();
}

}  // namespace kbcfg::gui
