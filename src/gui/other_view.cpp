#include "gui/other_view.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>

#include "gui/app_fonts.h"
#include "gui/pictures.h"

namespace kbcfg::gui {

using shell::other;

OtherView::OtherView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("otherPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kMainColour);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    auto* reserved = texts_.text(new QLabel(this), &other::reservedLabel);
    reserved->setObjectName(QStringLiteral("reservedLabel"));
    reserved->setFont(uiFont(11));
    auto* language = texts_.text(new QLabel(this), &other::languageLabel);
    language->setObjectName(QStringLiteral("languageLabel"));
    chinese_ = texts_.text(new QRadioButton(this), &other::chineseCaption);
    chinese_->setObjectName(QStringLiteral("chineseRadio"));
    english_ = texts_.text(new QRadioButton(this), &other::englishCaption);
    english_->setObjectName(QStringLiteral("englishRadio"));
    for (QRadioButton* radio : {chinese_, english_}) {
        QPalette rp = radio->palette();
        rp.setColor(QPalette::WindowText, Qt::white);
        radio->setPalette(rp);
    }

    auto* group = new QButtonGroup(this);
    group->addButton(chinese_);
    group->addButton(english_);
    connect(chinese_, &QRadioButton::toggled, this, [](bool on) {
        if (on && other::choice() != other::Language::Chinese)
            switchLanguage(other::Language::Chinese);
    });
    connect(english_, &QRadioButton::toggled, this, [](bool on) {
        if (on && other::choice() != other::Language::English)
            switchLanguage(other::Language::English);
    });

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(60, 48, 60, 48);
    grid->setVerticalSpacing(18);
    grid->addWidget(reserved, 0, 0, 1, 3);
    grid->addWidget(language, 1, 0);
    grid->addWidget(chinese_, 1, 1);
    grid->addWidget(english_, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
    retranslate();
}

void OtherView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void OtherView::retranslate() {
    texts_.apply();
    // The buttons show the language in use, also when another page or window switched it.
    const QSignalBlocker quietChinese(chinese_), quietEnglish(english_);
    chinese_->setChecked(other::choice() == other::Language::Chinese);
    english_->setChecked(other::choice() == other::Language::English);
}

}  // namespace kbcfg::gui
