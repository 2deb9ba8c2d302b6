#include "gui/other_view.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

#include "gui/app_fonts.h"
#include "gui/pictures.h"
#include "gui/text.h"

namespace kbcfg::gui {

OtherView::OtherView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("otherPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kMainColour);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    auto* reserved = new QLabel(qs(shell::other::reservedLabel()), this);
    reserved->setFont(uiFont(11));
    auto* language = new QLabel(qs(shell::other::languageLabel()), this);
    auto* chinese = new QRadioButton(qs(shell::other::chineseCaption()), this);
    chinese->setObjectName(QStringLiteral("chineseRadio"));
    auto* english = new QRadioButton(qs(shell::other::englishCaption()), this);
    english->setObjectName(QStringLiteral("englishRadio"));
    for (QRadioButton* radio : {chinese, english}) {
        QPalette rp = radio->palette();
        rp.setColor(QPalette::WindowText, Qt::white);
        radio->setPalette(rp);
    }
    english->setChecked(presenter_.choice == shell::other::Language::English);
    chinese->setChecked(presenter_.choice == shell::other::Language::Chinese);

    auto* group = new QButtonGroup(this);
    group->addButton(chinese);
    group->addButton(english);
    connect(chinese, &QRadioButton::toggled, this, [this](bool on) {
        if (on) presenter_.choose(shell::other::Language::Chinese);
    });
    connect(english, &QRadioButton::toggled, this, [this](bool on) {
        if (on) presenter_.choose(shell::other::Language::English);
    });

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(60, 48, 60, 48);
    grid->setVerticalSpacing(18);
    grid->addWidget(reserved, 0, 0, 1, 3);
    grid->addWidget(language, 1, 0);
    grid->addWidget(chinese, 1, 1);
    grid->addWidget(english, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
}

}  // namespace kbcfg::gui
