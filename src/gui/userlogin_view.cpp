#include "gui/userlogin_view.h"

#include <QApplication>
#include <QFile>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/main_view.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/widgets/read_only_field.h"

namespace kbcfg::gui {

using shell::userlogin;

UserloginView::UserloginView(GuiContext& context, QWidget* parent)
    : QDialog(parent), presenter_(context.host, context.session, context.image) {
    setObjectName(QStringLiteral("userlogin"));
    texts_.title(this, &userlogin::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kTipColour);
    setPalette(pal);
    setAutoFillBackground(true);

    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("pathEdit"));
    showOnly(path_);
    path_->setMinimumWidth(300);
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setObjectName(QStringLiteral("browseButton"));
    browse_->setAutoDefault(false);
    browse_->setFixedWidth(36);
    userName_ = new QLineEdit(this);
    userName_->setObjectName(QStringLiteral("userNameEdit"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("passwordEdit"));
    password_->setEchoMode(QLineEdit::Password);
    password_->installEventFilter(this);
    login_ = texts_.text(new QPushButton(this), &userlogin::loginCaption);
    login_->setObjectName(QStringLiteral("loginButton"));
    login_->setDefault(true);
    cancel_ = texts_.text(new QPushButton(this), &userlogin::cancelCaption);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    cancel_->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    grid->addWidget(texts_.text(new QLabel(this), &userlogin::pathLabel), 0, 0);
    grid->addWidget(path_, 0, 1);
    grid->addWidget(browse_, 0, 2);
    grid->addWidget(texts_.text(new QLabel(this), &userlogin::userNameLabel), 1, 0);
    grid->addWidget(userName_, 1, 1, 1, 2);
    grid->addWidget(texts_.text(new QLabel(this), &userlogin::passwordLabel), 2, 0);
    grid->addWidget(password_, 2, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(login_);
    buttons->addSpacing(12);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 22, 22, 16);
    layout->addLayout(grid);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(browse_, userName_);
    setTabOrder(userName_, password_);
    setTabOrder(password_, login_);
    setTabOrder(login_, cancel_);

    connect(browse_, &QPushButton::clicked, this, [this] {
        takeFields();
        presenter_.browse();
        showState();
    });
    connect(login_, &QPushButton::clicked, this, &UserloginView::login);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    presenter_.open();
    showState();
    if (presenter_.browseEnabled) userName_->setFocus();
}

void UserloginView::openWithFile(const QString& file) {
    takeFields();
    presenter_.openWithFile(QFile::encodeName(file).toStdString());
    showState();
}

void UserloginView::takeFields() {
    presenter_.userName = str(userName_->text());
    presenter_.password = str(password_->text());
}

void UserloginView::showState() {
    path_->setText(qs(presenter_.path));
    showText(userName_, presenter_.userName);
    showText(password_, presenter_.password);
    browse_->setEnabled(presenter_.browseEnabled);
    switch (presenter_.focus) {
        case userlogin::Focus::UserName:
            userName_->setFocus();
            break;
        case userlogin::Focus::Password:
            password_->setFocus();
            break;
        case userlogin::Focus::LoginButton:
            login_->setFocus();
            break;
        case userlogin::Focus::Unchanged:
            break;
    }
    presenter_.focus = userlogin::Focus::Unchanged;
    if (presenter_.openMainWindow) accept();
}

void UserloginView::login() {
    if (presenter_.openMainWindow) return;  // already on its way to the main window
    takeFields();
    presenter_.login();
    showState();
}

bool UserloginView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == password_ && event->type() == QEvent::FocusOut) {
        const auto* focus = static_cast<QFocusEvent*>(event);
        const bool toLogin = QApplication::focusWidget() == login_;
        const bool byPointer = focus->reason() == Qt::MouseFocusReason;
        if (toLogin && !byPointer) {
            // Not inside the focus change itself: the login may open message boxes.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (presenter_.openMainWindow) return;
                    takeFields();
                    presenter_.passwordFocusLeft(true, false);
                    showState();
                },
                Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void UserloginView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void UserloginView::retranslate() {
    texts_.apply();
}

void UserloginView::done(int result) {
    QDialog::done(result);
    presenter_.closed();
}

UserloginView* openLogin(GuiContext& context, QWidget* parent) {
    auto* dialog = new UserloginView(context, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [&context, dialog] {
        if (dialog->presenter().openMainWindow) openMainWindow(context);
    });
    dialog->open();
    return dialog;
}

}  // namespace kbcfg::gui
