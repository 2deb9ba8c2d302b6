#include "gui/about_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app_fonts.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "kbcfg_build_info.h"
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
    // Which build this is, for support: the catalogue line alone names no version.
    auto* version = new QLabel(QStringLiteral("kbcfg " KBCFG_VERSION), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setFont(uiFont(9));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* ok = new QPushButton(qs(shell::CAboutDlg::okCaption()), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    auto* lines = new QVBoxLayout;
    lines->addWidget(text);
    lines->addWidget(version);
    row->addLayout(lines, 1);
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
