#include "gui/main_view.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "gui/app_fonts.h"
#include "gui/other_view.h"
#include "gui/pages.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/widgets/image_button.h"
#include "gui/widgets/read_only_field.h"
#include "store/own_texts.h"

namespace kbcfg::gui {

using Button = shell::MainMenu::Button;
using Page = shell::MainMenu::Page;

namespace {
constexpr int kStripHeight = 64;

struct TabInfo {
    Button button;
    const char* name;
    store::OwnText caption;  // drawn into the button's pictures
};
const TabInfo kTabs[] = {
    {Button::Devices, "devicesButton", store::OwnText::TabDevices},
    {Button::Users, "usersButton", store::OwnText::TabUsers},
    {Button::Channels, "channelsButton", store::OwnText::TabChannels},
    {Button::Keyboard, "keyboardButton", store::OwnText::TabKeyboard},
    {Button::Other, "otherButton", store::OwnText::TabOther},
    {Button::Return, "returnButton", store::OwnText::TabReturn},
};

// Draws the tab's pictures with its caption in the language in use.
void drawTab(ImageButton* button, const TabInfo& tab) {
    const QString caption = qs(store::say(tab.caption));
    button->setPictures(pictures::tabButton(caption, pictures::TabState::Normal),
                        pictures::tabButton(caption, pictures::TabState::Pressed),
                        pictures::tabButton(caption, pictures::TabState::Greyed));
    button->setAccessibleName(caption);
}

QWidget* createPage(Page page, GuiContext& context, shell::MainMenu& window, QWidget* parent) {
    switch (page) {
        case Page::Devices:
            return createDevicePage(context, window, parent);
        case Page::Users:
            return createUserPage(context, window, parent);
        case Page::Channels:
            return createChannelPage(context, window, parent);
        case Page::Keyboard:
            return createKeyboardPage(context, window, parent);
        case Page::Other:
            return new OtherView(parent);
    }
    return nullptr;
}

QLabel* whiteLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(uiFont(10));
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(pal);
    return label;
}
}  // namespace

MainView::MainView(GuiContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context), presenter_(context.host, context.session) {
    setObjectName(QStringLiteral("main"));
    setWindowIcon(pictures::appIcon());
    texts_.title(this, &shell::MainMenu::title);
    setMinimumSize(900, 600);
    resize(960, 640);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kMainColour);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    // The tab row on the header strip, the user at its right.
    auto* tabs = new QHBoxLayout;
    tabs->setContentsMargins(12, 0, 16, 0);
    tabs->setSpacing(4);
    for (const TabInfo& tab : kTabs) {
        auto* b = new ImageButton(QPixmap(), QPixmap(), this);
        texts_.bind([b, &tab] { drawTab(b, tab); });
        b->setObjectName(QString::fromLatin1(tab.name));
        b->setEnabled(presenter_.enabled(tab.button));
        const Button which = tab.button;
        connect(b, &QAbstractButton::clicked, this, [this, which] { press(which); });
        buttons_[static_cast<int>(tab.button)] = b;
        if (tab.button == Button::Return) tabs->addSpacing(16);
        tabs->addWidget(b, 0, Qt::AlignBottom);
    }
    tabs->addStretch();
    QLabel* userLabel = texts_.text(whiteLabel(QString(), this), &shell::MainMenu::userLabel);
    userLabel->setObjectName(QStringLiteral("userLabel"));
    tabs->addWidget(userLabel, 0, Qt::AlignVCenter);
    auto* user = new QLineEdit(qs(presenter_.userName), this);
    user->setObjectName(QStringLiteral("userField"));
    showOnly(user);
    user->setFixedWidth(140);
    tabs->addWidget(user, 0, Qt::AlignVCenter);
    auto* strip = new QWidget(this);
    strip->setFixedHeight(kStripHeight);
    strip->setLayout(tabs);

    // The frame the pages lie over; exactly one is visible.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("pageFrame"));
    frame->setFrameShape(QFrame::NoFrame);
    stack_ = new QStackedLayout(frame);
    stack_->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < shell::MainMenu::kPageCount; ++i) {
        pages_[i] = createPage(static_cast<Page>(i), context_, presenter_, frame);
        stack_->addWidget(pages_[i]);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(8, 8, 8, 8);
    body->addWidget(frame);
    layout->addLayout(body, 1);

    showState();
    button(presenter_.focus)->setFocus();
}

MainView::~MainView() {
    presenter_.closed();
}

void MainView::press(Button b) {
    presenter_.press(b);
    showState();
    if (presenter_.closeRequested) close();
}

void MainView::showState() {
    stack_->setCurrentWidget(page(presenter_.shown));
    for (const TabInfo& tab : kTabs) {
        ImageButton* b = button(tab.button);
        // The button of the page shown keeps its pressed picture.
        b->setCheckable(tab.button != Button::Return);
        b->setChecked(tab.button != Button::Return &&
                      static_cast<int>(tab.button) == static_cast<int>(presenter_.shown));
    }
}

void MainView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void MainView::retranslate() {
    texts_.apply();
}

void MainView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), pictures::kMainColour);
    if (strip_.width() != width()) strip_ = pictures::headerStrip(QSize(width(), kStripHeight));
    p.drawPixmap(0, 0, strip_);
}

MainView* openMainWindow(GuiContext& context) {
    auto* window = new MainView(context);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // Not modal: the mode dialog must stay usable beside it, since its buttons, Escape and its
    // close box are what bring a minimised or hidden main window back. The mode dialog's
    // presenter already keeps a second work area from opening while this window exists.
    window->setWindowModality(Qt::NonModal);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace kbcfg::gui
