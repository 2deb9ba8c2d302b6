#include "gui/varnel_dlg_view.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

#include "gui/about_view.h"
#include "gui/app_fonts.h"
#include "gui/modconfig_view.h"
#include "gui/modupdata_view.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/userlogin_view.h"
#include "gui/widgets/image_button.h"

namespace kbcfg::gui {

namespace {
constexpr QSize kSize(560, 320);
constexpr int kButtonTop = 92;
constexpr int kButtonSpacing = 176;

QLabel* whiteLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(pal);
    return label;
}

QIcon menuIcon() {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::white, 2));
    for (int y : {4, 9, 14}) p.drawLine(3, y, 15, y);
    return QIcon(pm);
}
}  // namespace

VarnelDlgView::VarnelDlgView(GuiContext& context, QWidget* parent)
    : QDialog(parent), context_(context), presenter_(context.host, context.session) {
    setObjectName(QStringLiteral("modes"));
    texts_.title(this, &shell::CvarnelDlg::title);
    setWindowIcon(pictures::appIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(kSize);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kModesColour);
    setPalette(pal);
    background_ = pictures::modesBackground(kSize);

    QLabel* heading =
        texts_.text(whiteLabel(QString(), uiFont(12), this), &shell::CvarnelDlg::heading);
    heading->setObjectName(QStringLiteral("heading"));
    texts_.bind([heading] { heading->adjustSize(); });  // placed by hand: no layout sizes it
    heading->move(22, 12);

    struct ModeButtonInfo {
        pictures::ModeButton kind;
        const char* name;
        std::string (*label)();
        shell::CvarnelDlg::Open (shell::CvarnelDlg::*press)();
    };
    const ModeButtonInfo modeButtons[] = {
        {pictures::ModeButton::Local, "localButton", &shell::CvarnelDlg::localLabel,
         &shell::CvarnelDlg::localConfig},
        {pictures::ModeButton::Remote, "remoteButton", &shell::CvarnelDlg::remoteLabel,
         &shell::CvarnelDlg::remoteConfig},
        {pictures::ModeButton::Upgrade, "upgradeButton", &shell::CvarnelDlg::upgradeLabel,
         &shell::CvarnelDlg::updateKeyboard},
    };
    const int firstCentre = kSize.width() / 2 - kButtonSpacing;
    for (int i = 0; i < 3; ++i) {
        auto* button = new ImageButton(pictures::modeButton(modeButtons[i].kind, false),
                                       pictures::modeButton(modeButtons[i].kind, true), this);
        button->setObjectName(QString::fromLatin1(modeButtons[i].name));
        const auto text = modeButtons[i].label;
        texts_.bind([button, text] { button->setAccessibleName(qs(text())); });
        const int centre = firstCentre + i * kButtonSpacing;
        button->move(centre - button->width() / 2, kButtonTop);
        const auto press = modeButtons[i].press;
        connect(button, &QAbstractButton::clicked, this,
                [this, press] { openChosen((presenter_.*press)()); });

        QLabel* label = texts_.text(whiteLabel(QString(), uiFont(9), this), text);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setFixedWidth(kButtonSpacing - 8);
        label->move(centre - label->width() / 2, kButtonTop + button->height() + 10);
        texts_.bind([label] { label->adjustSize(); });
    }

    // The window menu's about entry, behind a button in the corner and on a right click.
    windowMenu_ = new QMenu(this);
    windowMenu_->addSeparator();
    QAction* about = windowMenu_->addAction(QString());
    texts_.bind([about] { about->setText(qs(shell::CvarnelDlg::aboutItem())); });
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &VarnelDlgView::showAbout);
    auto* menuButton = new QToolButton(this);
    menuButton->setObjectName(QStringLiteral("windowMenuButton"));
    menuButton->setIcon(menuIcon());
    menuButton->setAutoRaise(true);
    menuButton->setFocusPolicy(Qt::NoFocus);
    menuButton->setPopupMode(QToolButton::InstantPopup);
    menuButton->setMenu(windowMenu_);
    // Its own light veil for hover and press: the style's light panel would hide the white icon.
    menuButton->setStyleSheet(QStringLiteral(
        "QToolButton { border: none; border-radius: 3px; background: transparent; padding: 3px; }"
        "QToolButton:hover { background: rgba(255, 255, 255, 48); }"
        "QToolButton:pressed, QToolButton:open { background: rgba(255, 255, 255, 80); }"
        "QToolButton::menu-indicator { image: none; }"));
    menuButton->move(kSize.width() - 36, 10);

    openExport = [this](QWidget* over) { openExportDialog(context_, over); };
    openUpgrade = [this](QWidget* over) { openUpgradeDialog(context_, over); };
}

VarnelDlgView::~VarnelDlgView() {
    presenter_.destroyed();
}

void VarnelDlgView::showAbout() {
    AboutView about(this);
    about.exec();
}

void VarnelDlgView::openLoginWith(const QString& file) {
    // As the local button would: an open login dialog comes to the front, else one opens.
    auto* login = presenter_.localConfig() == shell::CvarnelDlg::Open::Login
                      ? openLogin(context_, this)
                      : findChild<UserloginView*>(QString(), Qt::FindDirectChildrenOnly);
    if (login) login->openWithFile(file);
}

void VarnelDlgView::reject() {
    if (presenter_.mayClose()) QDialog::reject();
}

void VarnelDlgView::openChosen(shell::CvarnelDlg::Open what) {
    switch (what) {
        case shell::CvarnelDlg::Open::Nothing:
            break;
        case shell::CvarnelDlg::Open::Login:
            openLogin(context_, this);
            break;
        case shell::CvarnelDlg::Open::Export:
            if (openExport) openExport(this);
            break;
        case shell::CvarnelDlg::Open::Upgrade:
            if (openUpgrade) openUpgrade(this);
            break;
    }
}

void VarnelDlgView::keyPressEvent(QKeyEvent* event) {
    // Enter moves on like Tab; it never closes the dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        focusNextChild();
        return;
    }
    QDialog::keyPressEvent(event);
}

void VarnelDlgView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), background_);
}

void VarnelDlgView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void VarnelDlgView::retranslate() {
    texts_.apply();
}

void VarnelDlgView::contextMenuEvent(QContextMenuEvent* event) {
    windowMenu_->popup(event->globalPos());
}

}  // namespace kbcfg::gui
