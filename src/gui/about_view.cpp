#include "gui/about_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/app_fonts.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "kbcfg_build_info.h"
#include "shell/about_dlg.h"

namespace kbcfg::gui {

AboutView::AboutView(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("about"));
    texts_.title(this, &shell::CAboutDlg::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setPixmap(pictures::appIcon().pixmap(48, 48));
    auto* text = texts_.text(new QLabel(this), &shell::CAboutDlg::text);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setFont(uiFont(10));
    // Which build this is, for support: the catalogue line alone names no version.
    auto* version = new QLabel(QStringLiteral("kbcfg " KBCFG_VERSION), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setFont(uiFont(9));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* ok = texts_.text(new QPushButton(this), &shell::CAboutDlg::okCaption);
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

void AboutView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void AboutView::retranslate() {
    texts_.apply();
}

}  // namespace kbcfg::gui
