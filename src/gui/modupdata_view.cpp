#include "gui/modupdata_view.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/config_view.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/widgets/key_as_tab.h"
#include "gui/widgets/read_only_field.h"
#include "store/messages.h"

namespace kbcfg::gui {

using remote::modupdata;

namespace {
using store::Msg;
constexpr int kFieldWidth = 160;

QLabel* label(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setAttribute(Qt::WA_TranslucentBackground);
    return l;
}
}  // namespace

// The presenter's host, passed through, except that the poll's ticks and its messages show the
// progress first: the bar must read 100 behind "Update Keyboard successfully!".
class ModupdataView::TickingHost : public store::ForwardingHost {
  public:
    TickingHost(store::Host& inner, ModupdataView& view) : ForwardingHost(inner), view_(view) {}

    void showMessage(int number, const std::string& text) override {
        view_.showProgress();
        ForwardingHost::showMessage(number, text);
    }
    int startTimer(int intervalMs, std::function<void()> tick) override {
        return ForwardingHost::startTimer(intervalMs, [this, tick = std::move(tick)] {
            tick();
            view_.showProgress();
        });
    }

  private:
    ModupdataView& view_;
};

ModupdataView::ModupdataView(GuiContext& context, QWidget* parent)
    : QDialog(parent),
      host_(std::make_unique<TickingHost>(context.host, *this)),
      presenter_(std::make_unique<modupdata>(*host_, context.sdk())) {
    setUpWindow();
    // Created in tab order: the fields, then the buttons.
    QGridLayout* grid = buildFields();
    buildStatusRows(grid);
    QLabel* notice = buildNotice();
    QHBoxLayout* buttons = buildButtons();
    layOut(grid, notice, buttons);
    KeyAsTab::enter(this);
    connectControls();
    showState();
}

void ModupdataView::setUpWindow() {
    setObjectName(QStringLiteral("modupdata"));
    texts_.title(this, &modupdata::title);
    setWindowIcon(pictures::appIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    paintKeyboardDialog(this);
}

QGridLayout* ModupdataView::buildFields() {
    mode_ = new QComboBox(this);
    mode_->setObjectName(QStringLiteral("modeCombo"));
    mode_->addItem(QString());
    mode_->addItem(QString());
    texts_.bind([this] {
        mode_->setItemText(0, qs(store::getMessage(Msg::FirmwareUpdate)));
        mode_->setItemText(1, qs(store::getMessage(Msg::PanelUpdate)));
    });
    mode_->setFixedWidth(kFieldWidth);
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
    grid->addWidget(texts_.text(label(QString(), this), Msg::UpdateModeLabel), 0, 0);
    grid->addWidget(mode_, 0, 1, Qt::AlignLeft);
    grid->addWidget(texts_.text(label(QString(), this), Msg::UpdateFileLabel), 1, 0);
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(6);
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(browse_);
    grid->addLayout(pathRow, 1, 1);
    boxes_ = std::make_unique<KeyboardBoxes>(this, grid, 2, kFieldWidth, texts_);
    return grid;
}

// Two status rows, of which the mode shows one; the hidden one takes no room.
void ModupdataView::buildStatusRows(QGridLayout* grid) {
    constexpr int kFirmwareRow = 6, kPanelRow = 7;
    QLabel* firmwareLabel = texts_.text(label(QString(), this), Msg::UpdateStatusLabel);
    firmwareLabel->setObjectName(QStringLiteral("firmwareStatusLabel"));
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progressBar"));
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    bar_->setMinimumWidth(240);
    percent_ = label(QString(), this);
    percent_->setObjectName(QStringLiteral("percentLabel"));
    percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    percent_->setMinimumWidth(percent_->fontMetrics().horizontalAdvance(QStringLiteral("100")));
    QLabel* percentSign = label(QStringLiteral("%"), this);
    percentSign->setObjectName(QStringLiteral("percentSign"));
    auto* firmwareRow = new QHBoxLayout;
    firmwareRow->setSpacing(6);
    firmwareRow->addWidget(bar_, 1);
    firmwareRow->addWidget(percent_);
    firmwareRow->addWidget(percentSign);
    grid->addWidget(firmwareLabel, kFirmwareRow, 0);
    grid->addLayout(firmwareRow, kFirmwareRow, 1);
    firmwareRow_[0] = firmwareLabel;
    firmwareRow_[1] = bar_;
    firmwareRow_[2] = percent_;
    firmwareRow_[3] = percentSign;

    QLabel* panelLabel = texts_.text(label(QString(), this), Msg::UpdateStatusLabel);
    panelLabel->setObjectName(QStringLiteral("panelStatusLabel"));
    status_ = label(QString(), this);
    status_->setObjectName(QStringLiteral("statusText"));
    status_->setMinimumHeight(bar_->sizeHint().height());
    grid->addWidget(panelLabel, kPanelRow, 0);
    grid->addWidget(status_, kPanelRow, 1);
    panelRow_[0] = panelLabel;
    panelRow_[1] = status_;
}

QLabel* ModupdataView::buildNotice() {
    QLabel* notice = texts_.text(label(QString(), this), Msg::UpdateNotice);
    notice->setObjectName(QStringLiteral("notice"));
    QPalette noticePal = notice->palette();
    noticePal.setColor(QPalette::WindowText, QColor(176, 0, 0));
    notice->setPalette(noticePal);
    return notice;
}

QHBoxLayout* ModupdataView::buildButtons() {
    update_ = texts_.text(new QPushButton(this), Msg::UpdateButton);
    update_->setObjectName(QStringLiteral("updateButton"));
    cancel_ = texts_.text(new QPushButton(this), Msg::CancelButton);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {update_, cancel_}) {
        // Enter never starts an upgrade by itself.
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
    }
    buttons->addWidget(update_);
    buttons->addSpacing(16);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    return buttons;
}

void ModupdataView::layOut(QGridLayout* grid, QLabel* notice, QHBoxLayout* buttons) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 22, 26, 18);
    layout->addLayout(grid);
    layout->addSpacing(12);
    layout->addWidget(notice);
    layout->addSpacing(14);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ModupdataView::connectControls() {
    connect(mode_, &QComboBox::currentIndexChanged, this, &ModupdataView::modeChosen);
    connect(browse_, &QPushButton::clicked, this, &ModupdataView::choosePackage);
    connect(update_, &QPushButton::clicked, this, &ModupdataView::startUpgrade);
    connect(cancel_, &QPushButton::clicked, this, &ModupdataView::reject);
}

ModupdataView::~ModupdataView() = default;

void ModupdataView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void ModupdataView::retranslate() {
    texts_.apply();
}

void ModupdataView::takeFields() {
    boxes_->take(presenter_->keyboard);
}

void ModupdataView::showProgress() {
    const modupdata& p = *presenter_;
    for (QWidget* w : firmwareRow_) w->setVisible(p.firmwareRowVisible);
    for (QWidget* w : panelRow_) w->setVisible(p.panelRowVisible);
    bar_->setValue(p.progress);
    percent_->setText(qs(p.percentText));
    status_->setText(qs(p.statusText));
    update_->setEnabled(p.updateEnabled());
}

void ModupdataView::showState() {
    {
        const QSignalBlocker quiet(mode_);
        mode_->setCurrentIndex(presenter_->mode);
    }
    path_->setText(qs(presenter_->pathField));
    boxes_->show(presenter_->keyboard);
    showProgress();
}

void ModupdataView::modeChosen(int index) {
    takeFields();
    presenter_->onModeChanged(index);
    showState();
}

void ModupdataView::choosePackage() {
    takeFields();
    presenter_->choosePackage();
    showState();
}

void ModupdataView::startUpgrade() {
    if (!presenter_->updateEnabled()) return;
    takeFields();
    presenter_->startUpgrade();
    showState();
}

void ModupdataView::reject() {
    presenter_->cancelUpgradeDialog();
    QDialog::reject();
}

ModupdataView* openUpgradeDialog(GuiContext& context, QWidget* over) {
    auto* dialog = new ModupdataView(context);
    showWorkDialog(dialog, over);
    return dialog;
}

}  // namespace kbcfg::gui
