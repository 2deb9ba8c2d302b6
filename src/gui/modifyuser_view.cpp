#include "gui/modifyuser_view.h"

#include <QEvent>
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

ModifyuserView::ModifyuserView(GuiContext& context, int position, const std::string& shownName,
                               QWidget* parent)
    : QDialog(parent),
      presenter_(context.host, context.session, context.image, position, shownName) {
    setObjectName(QStringLiteral("modifyuser"));
    texts_.title(this, &users::modifyuser::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kTipColour);
    setPalette(pal);
    setAutoFillBackground(true);

    name_ = new QLabel(qs(presenter_.shownName), this);
    name_->setObjectName(QStringLiteral("nameText"));
    name_->setTextFormat(Qt::PlainText);
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMinimumWidth(200);
        e->setEchoMode(QLineEdit::Password);
        return e;
    };
    password_ = edit("newPasswordEdit");
    confirm_ = edit("confirmEdit");
    ok_ = texts_.text(new QPushButton(this), Msg::OkButton);
    ok_->setObjectName(QStringLiteral("okButton"));
    cancel_ = texts_.text(new QPushButton(this), Msg::CancelButton);
    cancel_->setObjectName(QStringLiteral("cancelButton"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    grid->addWidget(texts_.text(new QLabel(this), Msg::UserNameLabel), 0, 0);
    grid->addWidget(name_, 0, 1);
    grid->addWidget(texts_.text(new QLabel(this), Msg::NewPasswordLabel), 1, 0);
    grid->addWidget(password_, 1, 1);
    grid->addWidget(texts_.text(new QLabel(this), Msg::ConfirmPasswordLabel), 2, 0);
    grid->addWidget(confirm_, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addSpacing(12);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 16);
    layout->addLayout(grid);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(password_, confirm_);
    setTabOrder(confirm_, ok_);
    setTabOrder(ok_, cancel_);
    KeyAsTab::enter(this);

    connect(ok_, &QPushButton::clicked, this, &ModifyuserView::modify);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    password_->setFocus();
}

void ModifyuserView::showState() {
    showText(password_, presenter_.newPassword);
    showText(confirm_, presenter_.confirm);
    if (presenter_.closeRequested) accept();
}

void ModifyuserView::modify() {
    if (presenter_.closeRequested) return;
    presenter_.newPassword = str(password_->text());
    presenter_.confirm = str(confirm_->text());
    presenter_.modifyPassword();
    showState();
}

void ModifyuserView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void ModifyuserView::retranslate() {
    texts_.apply();
}

}  // namespace kbcfg::gui
