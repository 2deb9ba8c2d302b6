#include "gui/about_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app_fonts.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "shell/varnel_dlg.h"

namespace kbcfg::gui {

AboutView::AboutView(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("about"));
    setWindowTitle(qs(shell::CAboutDlg::title()));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(pictures::appIcon().pixmap(48, 48));
    auto* text = new QLabel(qs(shell::CAboutDlg::text()), this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setFont(uiFont(10));
    auto* ok = new QPushButton(qs(shell::CAboutDlg::okCaption()), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 14);
    layout->addLayout(row);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kbcfg::gui
