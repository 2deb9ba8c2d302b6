#include "gui/devadd_view.h"

#include <QApplication>
#include <QComboBox>
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

using devices::devadd;

namespace {
const QColor kDialogColour(211, 236, 245);
using store::Msg;
}  // namespace

DevaddView::DevaddView(GuiContext& context, int* refreshFlag, QWidget* parent)
    : QDialog(parent), presenter_(context.host, context.session, context.image, refreshFlag) {
    build();
}

DevaddView::DevaddView(GuiContext& context, int* refreshFlag, const store::Ipv4Fields& ip, int port,
                       QWidget* parent)
    : QDialog(parent),
      presenter_(context.host, context.session, context.image, refreshFlag, ip, port) {
    build();
}

void DevaddView::build() {
    setUpWindow();
    // Created in tab order: the Add button follows the password box.
    buildFields();
    buildButtons();
    layOut(buildGrid());

    // Enter anywhere moves on like Tab.
    KeyAsTab::enter(this);
    password_->installEventFilter(this);

    connect(type_, &QComboBox::currentIndexChanged, this, &DevaddView::typeChosen);
    connect(add_, &QPushButton::clicked, this, &DevaddView::add);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    showState();
}

void DevaddView::setUpWindow() {
    setObjectName(QStringLiteral("devadd"));
    texts_.title(this, &devadd::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kDialogColour);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
}

void DevaddView::buildFields() {
    type_ = new QComboBox(this);
    type_->setObjectName(QStringLiteral("typeCombo"));
    type_->addItem(QString());
    type_->addItem(QString());
    texts_.bind([this] {
        type_->setItemText(0, qs(store::getMessage(Msg::SingleIp)));
        type_->setItemText(1, qs(store::getMessage(Msg::BatchIp)));
    });
    startIp_ = new Ipv4Edit(this);
    startIp_->setObjectName(QStringLiteral("startIpEdit"));
    startIp_->setFirstOctetLimited(true);
    endIp_ = new Ipv4Edit(this);
    endIp_->setObjectName(QStringLiteral("endIpEdit"));
    endIp_->setFirstOctetLimited(true);
    port_ = new QLineEdit(this);
    port_->setObjectName(QStringLiteral("portEdit"));
    userName_ = new QLineEdit(this);
    userName_->setObjectName(QStringLiteral("userNameEdit"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("passwordEdit"));
    password_->setEchoMode(QLineEdit::Password);
}

void DevaddView::buildButtons() {
    add_ = texts_.text(new QPushButton(this), Msg::AddButton);
    add_->setObjectName(QStringLiteral("addButton"));
    cancel_ = texts_.text(new QPushButton(this), Msg::CancelButton);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* b : {add_, cancel_}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
}

// The labels and the fields beside them, the fields as wide as an address box.
QGridLayout* DevaddView::buildGrid() {
    startLabel_ = texts_.text(new QLabel(this), [this] {
        return typeChosen_ ? presenter_.startIpLabel() : store::getMessage(Msg::IpLabel);
    });
    startLabel_->setObjectName(QStringLiteral("startIpLabel"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    const std::pair<QWidget*, QWidget*> rows[] = {
        {texts_.text(new QLabel(this), Msg::TypeLabel), type_},
        {startLabel_, startIp_},
        {texts_.text(new QLabel(this), Msg::EndIpLabel), endIp_},
        {texts_.text(new QLabel(this), Msg::PortLabel), port_},
        {texts_.text(new QLabel(this), Msg::UserNameLabel), userName_},
        {texts_.text(new QLabel(this), Msg::PasswordLabel), password_},
    };
    int row = 0;
    for (const auto& [label, field] : rows) {
        label->setAttribute(Qt::WA_TranslucentBackground);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, Qt::AlignLeft);
        ++row;
    }
    const int fieldWidth = startIp_->sizeHint().width();
    for (QWidget* w : {static_cast<QWidget*>(type_), static_cast<QWidget*>(port_),
                       static_cast<QWidget*>(userName_), static_cast<QWidget*>(password_)})
        w->setFixedWidth(fieldWidth);
    return grid;
}

void DevaddView::layOut(QGridLayout* grid) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addSpacing(16);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 22, 26, 18);
    layout->addLayout(grid);
    layout->addSpacing(18);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void DevaddView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void DevaddView::retranslate() {
    texts_.apply();
}

void DevaddView::takeFields() {
    presenter_.startIp = startIp_->fields();
    presenter_.endIp = endIp_->fields();
    presenter_.port = str(port_->text());
    presenter_.userName = str(userName_->text());
    presenter_.password = str(password_->text());
}

void DevaddView::showState() {
    {
        const QSignalBlocker quiet(type_);
        type_->setCurrentIndex(static_cast<int>(presenter_.type()));
    }
    type_->setEnabled(presenter_.typeEnabled());
    startIp_->setFields(presenter_.startIp);
    startIp_->setEnabled(presenter_.startIpEnabled());
    endIp_->setFields(presenter_.endIp);
    endIp_->setEnabled(presenter_.endIpEnabled());
    showText(port_, presenter_.port);
    showText(userName_, presenter_.userName);
    showText(password_, presenter_.password);
    switch (presenter_.focus) {
        case devadd::Focus::StartIp:
            startIp_->setFocus();
            break;
        case devadd::Focus::EndIp:
            endIp_->setFocus();
            break;
        case devadd::Focus::Port:
            port_->setFocus();
            break;
        case devadd::Focus::UserName:
            userName_->setFocus();
            break;
        case devadd::Focus::Password:
            password_->setFocus();
            break;
        case devadd::Focus::Unchanged:
            break;
    }
    presenter_.focus = devadd::Focus::Unchanged;
    if (presenter_.closeRequested) accept();
}

void DevaddView::typeChosen(int index) {
    takeFields();
    presenter_.setType(index == 1 ? devadd::Type::BatchIp : devadd::Type::SingleIp);
    typeChosen_ = true;
    startLabel_->setText(qs(presenter_.startIpLabel()));
    showState();
}

void DevaddView::add() {
    if (presenter_.closeRequested) return;  // already closing
    takeFields();
    presenter_.add();
    showState();
}

bool DevaddView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == password_ && event->type() == QEvent::FocusOut) {
        // A click on Add takes the focus with the pointer and then adds by itself; only the
        // keyboard's way onto the button adds here. Queued: the add may open message boxes.
        const auto* focus = static_cast<QFocusEvent*>(event);
        if (QApplication::focusWidget() == add_ && focus->reason() != Qt::MouseFocusReason)
            QMetaObject::invokeMethod(this, &DevaddView::add, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace kbcfg::gui
