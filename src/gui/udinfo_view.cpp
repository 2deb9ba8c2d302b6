#include "gui/udinfo_view.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app_fonts.h"
#include "gui/text.h"
#include "store/messages.h"

namespace kbcfg::gui {

namespace {
const QColor kBackground(156, 197, 241);
using store::Msg;
}  // namespace

UdinfoView::UdinfoView(const users::RunCounters& counters, QWidget* parent)
    : QDialog(parent), presenter_(counters) {
    using users::udinfo;
    setObjectName(QStringLiteral("udinfo"));
    setWindowTitle(qs(udinfo::title()));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    const std::string labels[] = {udinfo::successLabel(), udinfo::connectLabel(),
                                  udinfo::passwordLabel()};
    const std::string values[] = {presenter_.successText(), presenter_.connectText(),
                                  presenter_.passwordText()};
    const char* names[] = {"successCount", "connectCount", "passwordCount"};
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(10);
    QFont bold = uiFont(10);
    bold.setBold(true);
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(qs(labels[i]), this);
        label->setFont(uiFont(10));
        auto* value = new QLabel(qs(values[i]), this);
        value->setObjectName(QString::fromLatin1(names[i]));
        value->setFont(bold);
        QPalette red = value->palette();
        red.setColor(QPalette::WindowText, Qt::red);
        value->setPalette(red);
        value->setMinimumWidth(40);
        grid->addWidget(label, i, 0);
        grid->addWidget(value, i, 1);
        counts_[i] = value;
    }

    ok_ = new QPushButton(qs(store::getMessage(Msg::OkButton)), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 22, 28, 16);
    layout->addLayout(grid);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kbcfg::gui
