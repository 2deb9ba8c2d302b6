#include "gui/modconfig_view.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/config_view.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/userlogin_view.h"
#include "gui/widgets/key_as_tab.h"
#include "gui/widgets/read_only_field.h"
#include "store/messages.h"

namespace kbcfg::gui {

using remote::modconfig;

namespace {
using store::Msg;
}  // namespace

ModconfigView::ModconfigView(GuiContext& context, QWidget* parent)
    : QDialog(parent), context_(context), presenter_(context.host, context.session, context.sdk()) {
    setObjectName(QStringLiteral("modconfig"));
    texts_.title(this, &modconfig::title);
    setWindowIcon(pictures::appIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    paintKeyboardDialog(this);

    // Created in tab order.
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("pathEdit"));
    showOnly(path_);
    path_->setMinimumWidth(300);
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setObjectName(QStringLiteral("browseButton"));
    browse_->setFixedWidth(36);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    auto* pathLabel = texts_.text(new QLabel(this), Msg::ConfigPathLabel);
    pathLabel->setAttribute(Qt::WA_TranslucentBackground);
    grid->addWidget(pathLabel, 0, 0);
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(6);
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);
    grid->addLayout(pathRow, 0, 1);
    boxes_ = std::make_unique<KeyboardBoxes>(this, grid, 1, 160, texts_);

    exportLogin_ = texts_.text(new QPushButton(this), Msg::ExportAndLoginButton);
    exportLogin_->setObjectName(QStringLiteral("exportLoginButton"));
    export_ = texts_.text(new QPushButton(this), Msg::ExportButton);
    export_->setObjectName(QStringLiteral("exportButton"));
    import_ = texts_.text(new QPushButton(this), Msg::ImportButton);
    import_->setObjectName(QStringLiteral("importButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {exportLogin_, export_, import_}) {
        // Enter never presses a button here.
        b->setAutoDefault(false);
        b->setMinimumWidth(110);
        buttons->addWidget(b);
        if (b != import_) buttons->addSpacing(12);
    }
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 22, 26, 18);
    layout->addLayout(grid);
    layout->addSpacing(18);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    KeyAsTab::enter(this);

    connect(browse_, &QPushButton::clicked, this, [this] {
        takeFields();
        presenter_.choosePath();
        showState();
    });
    connect(exportLogin_, &QPushButton::clicked, this, [this] { run(&modconfig::exportAndLogin); });
    connect(export_, &QPushButton::clicked, this, [this] { run(&modconfig::exportFile); });
    connect(import_, &QPushButton::clicked, this, [this] { run(&modconfig::importFile); });

    showState();
}

ModconfigView::~ModconfigView() = default;

void ModconfigView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void ModconfigView::retranslate() {
    texts_.apply();
}

void ModconfigView::takeFields() {
    boxes_->take(presenter_.keyboard);
}

void ModconfigView::showState() {
    path_->setText(qs(presenter_.pathField));
    boxes_->show(presenter_.keyboard);
}

void ModconfigView::run(store::Outcome (modconfig::*operation)()) {
    if (loginOpen_) return;  // closing behind the login
    takeFields();
    (presenter_.*operation)();
    showState();
    if (!presenter_.openLogin) return;
    presenter_.openLogin = false;
    // The fetched file goes straight to the login; this dialog closes once the login has.
    loginOpen_ = true;
    UserloginView* login = openLogin(context_, this);
    connect(login, &QDialog::finished, this, [this] {
        if (presenter_.closeRequested) close();
    });
}

ModconfigView* openExportDialog(GuiContext& context, QWidget* over) {
    auto* dialog = new ModconfigView(context);
    showWorkDialog(dialog, over);
    return dialog;
}

}  // namespace kbcfg::gui
