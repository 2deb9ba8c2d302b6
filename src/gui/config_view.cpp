#include "gui/config_view.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/text.h"
#include "gui/widgets/ipv4_edit.h"
#include "gui/widgets/read_only_field.h"
#include "store/messages.h"

namespace kbcfg::gui {

namespace {
const QColor kDialogColour(211, 236, 245);
using store::Msg;

QLabel* label(CatalogueTexts& texts, Msg n, QWidget* parent) {
    auto* l = texts.text(new QLabel(parent), n);
    l->setAttribute(Qt::WA_TranslucentBackground);
    return l;
}

}  // namespace

void paintKeyboardDialog(QWidget* w) {
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, kDialogColour);
    pal.setColor(QPalette::WindowText, Qt::black);
    w->setPalette(pal);
}

void showWorkDialog(QWidget* dialog, QWidget* over) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Not modal: the mode dialog stays usable beside a work window, since its buttons are what
    // bring a minimised one back; its presenter keeps a second work area from opening.
    dialog->setWindowModality(Qt::NonModal);
    if (over) {
        dialog->adjustSize();
        dialog->move(over->geometry().center() - dialog->rect().center());
    }
    dialog->show();
}

KeyboardBoxes::KeyboardBoxes(QWidget* parent, QGridLayout* grid, int row, int fieldWidth,
                             CatalogueTexts& texts) {
    address = new Ipv4Edit(parent);
    address->setObjectName(QStringLiteral("keyboardIpEdit"));
    address->setFirstOctetLimited(true);
    port = new QLineEdit(parent);
    port->setObjectName(QStringLiteral("portEdit"));
    userName = new QLineEdit(qs(remote::KeyboardFields::userName()), parent);
    userName->setObjectName(QStringLiteral("userNameEdit"));
    showOnly(userName);  // a keyboard is always logged in to as its administrator
    password = new QLineEdit(parent);
    password->setObjectName(QStringLiteral("passwordEdit"));
    password->setEchoMode(QLineEdit::Password);

    const std::pair<Msg, QWidget*> rows[] = {
        {Msg::KeyboardIpLabel, address},
        {Msg::PortLabel, port},
        {Msg::KeyboardUserLabel, userName},
        {Msg::KeyboardPasswordLabel, password},
    };
    for (const auto& [n, field] : rows) {
        grid->addWidget(label(texts, n, parent), row, 0);
        grid->addWidget(field, row, 1, Qt::AlignLeft);
        if (field != address) field->setFixedWidth(fieldWidth);
        ++row;
    }
}

void KeyboardBoxes::take(remote::KeyboardFields& fields) const {
    fields.address = address->fields();
    fields.port = str(port->text());
    fields.password = str(password->text());
}

void KeyboardBoxes::show(remote::KeyboardFields& fields) {
    address->setFields(fields.address);
    showText(port, fields.port);
    showText(password, fields.password);
    switch (fields.focus) {
        case remote::KeyboardFields::Focus::Address:
            address->setFocus();
            break;
        case remote::KeyboardFields::Focus::Port:
            port->setFocus();
            break;
        case remote::KeyboardFields::Focus::Password:
            password->setFocus();
            break;
        case remote::KeyboardFields::Focus::Unchanged:
            break;
    }
    fields.focus = remote::KeyboardFields::Focus::Unchanged;
}

ConfigView::ConfigView(remote::config& presenter, QWidget* parent)
    : QWidget(parent), presenter_(presenter) {
    setObjectName(QStringLiteral("configPage"));
    paintKeyboardDialog(this);

    // Created in tab order.
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("pathEdit"));
    showOnly(path_);
    path_->setMinimumWidth(320);
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setObjectName(QStringLiteral("browseButton"));
    browse_->setFixedWidth(36);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->addWidget(label(texts_, Msg::ConfigFileLabel, this), 0, 0);
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(6);
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);
    grid->addLayout(pathRow, 0, 1);
    boxes_ = std::make_unique<KeyboardBoxes>(this, grid, 1, 160, texts_);

    import_ = texts_.text(new QPushButton(this), Msg::ImportConfigButton);
    import_->setObjectName(QStringLiteral("importButton"));
    import_->setMinimumWidth(150);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(import_);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->addLayout(grid);
    layout->addSpacing(18);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(browse_, &QPushButton::clicked, this, &ConfigView::choosePath);
    connect(import_, &QPushButton::clicked, this, &ConfigView::importFile);
    showState();
}

ConfigView::~ConfigView() = default;

void ConfigView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void ConfigView::retranslate() {
    texts_.apply();
}

void ConfigView::takeFields() {
    boxes_->take(presenter_.keyboard);
}

void ConfigView::showState() {
    path_->setText(qs(presenter_.pathField));
    boxes_->show(presenter_.keyboard);
}

void ConfigView::choosePath() {
    takeFields();
    presenter_.choosePath();
    showState();
}

void ConfigView::importFile() {
    takeFields();
    presenter_.importFile();
    showState();
}

}  // namespace kbcfg::gui
