#include "gui/stream_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/widgets/ipv4_edit.h"
#include "store/messages.h"

namespace kbcfg::gui {

namespace {
using store::Msg;

QLabel* label(CatalogueTexts& texts, store::Msg message, QWidget* parent) {
    return texts.text(new QLabel(parent), message);
}
}  // namespace

StreamView::StreamView(GuiContext& context, int op, int slot, QWidget* parent)
    : StreamView(users::stream(context.host, context.session, context.image, op, slot), parent) {}

StreamView::StreamView(GuiContext& context, int op, std::vector<int> batch, QWidget* parent)
    : StreamView(users::stream(context.host, context.session, context.image, op, std::move(batch)),
                 parent) {}

StreamView::StreamView(users::stream presenter, QWidget* parent)
    : QDialog(parent), presenter_(std::move(presenter)) {
    setObjectName(QStringLiteral("stream"));
    texts_.title(this, &users::stream::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kTipColour);
    setPalette(pal);
    setAutoFillBackground(true);

    enabled_ = new QCheckBox(this);
    enabled_->setObjectName(QStringLiteral("enableCheck"));
    texts_.bind(
        [this] { enabled_->setAccessibleName(qs(store::getMessage(Msg::StreamStartLabel))); });
    address_ = new Ipv4Edit(this);
    address_->setObjectName(QStringLiteral("addressEdit"));
    address_->setFirstOctetLimited(true);
    port_ = new QLineEdit(this);
    port_->setObjectName(QStringLiteral("portEdit"));
    port_->setFixedWidth(address_->sizeHint().width());
    protocol_ = new QComboBox(this);
    protocol_->setObjectName(QStringLiteral("protocolCombo"));
    protocol_->addItem(QString());
    protocol_->addItem(QString());
    texts_.bind([this] {
        protocol_->setItemText(0, qs(store::getMessage(Msg::TcpProtocol)));
        protocol_->setItemText(1, qs(store::getMessage(Msg::UdpProtocol)));
    });
    protocol_->setMinimumWidth(address_->sizeHint().width());
    ok_ = texts_.text(new QPushButton(this), Msg::OkButton);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    cancel_ = texts_.text(new QPushButton(this), Msg::CancelButton);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    cancel_->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    grid->addWidget(label(texts_, Msg::StreamStartLabel, this), 0, 0);
    grid->addWidget(enabled_, 0, 1);
    grid->addWidget(label(texts_, Msg::StreamIpLabel, this), 1, 0);
    grid->addWidget(address_, 1, 1, Qt::AlignLeft);
    grid->addWidget(label(texts_, Msg::StreamPortLabel, this), 2, 0);
    grid->addWidget(port_, 2, 1, Qt::AlignLeft);
    grid->addWidget(label(texts_, Msg::StreamProtocolLabel, this), 3, 0);
    grid->addWidget(protocol_, 3, 1, Qt::AlignLeft);
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

    connect(enabled_, &QCheckBox::clicked, this, &StreamView::toggle);
    connect(ok_, &QPushButton::clicked, this, &StreamView::apply);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    showState();
}

void StreamView::takeFields() {
    presenter_.address = address_->fields();
    presenter_.port = str(port_->text());
    presenter_.protocol = protocol_->currentIndex();
}

void StreamView::showState() {
    enabled_->setChecked(presenter_.enabled);
    if (address_->fields() != presenter_.address) address_->setFields(presenter_.address);
    showText(port_, presenter_.port);
    protocol_->setCurrentIndex(presenter_.protocol);
    protocol_->setEnabled(presenter_.protocolEnabled);
    port_->setEnabled(presenter_.portEnabled);
    address_->setEnabled(presenter_.addressEnabled);
    ok_->setEnabled(presenter_.okEnabled);
    if (presenter_.focus == users::stream::Focus::Address) address_->setFocus();
    presenter_.focus = users::stream::Focus::Unchanged;
}

void StreamView::toggle() {
    takeFields();
    presenter_.toggleStreamEnable();
    showState();
}

void StreamView::apply() {
    takeFields();
    presenter_.applyStreamBinding();
    showState();
}

void StreamView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void StreamView::retranslate() {
    texts_.apply();
}

}  // namespace kbcfg::gui
