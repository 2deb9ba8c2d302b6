#include "gui/mandev_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/devadd_view.h"
#include "gui/modifydev_view.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/vorpdev_view.h"
#include "gui/widgets/header_ctrl.h"
#include "gui/widgets/key_as_tab.h"
#include "gui/widgets/list_style.h"
#include "store/messages.h"

namespace kbcfg::gui {

namespace {
using store::Msg;
}  // namespace

DeviceListModel::DeviceListModel(devices::mandev& presenter, QObject* parent)
    : CheckListModel(parent), presenter_(presenter) {}

QString DeviceListModel::cell(int row, int column) const {
    const devices::DeviceRow& r = presenter_.rows[static_cast<std::size_t>(row)];
    switch (column) {
        case 0:
            return QString::number(row + 1);
        case 1:
            return QString::number(r.slot);
        case 2:
            return qs(r.ip);
        case 3:
            return QString::number(r.port);
        case 4:
            return qs(r.userName);
        default:
            return {};
    }
}

QString DeviceListModel::caption(int column) const {
    const std::vector<std::string> captions = devices::mandev::columnCaptions();
    return column >= 0 && column < static_cast<int>(captions.size())
               ? qs(captions[static_cast<std::size_t>(column)])
               : QString();
}

bool DeviceListModel::isChecked(int row) const {
    return presenter_.rows[static_cast<std::size_t>(row)].checked;
}

void DeviceListModel::setChecked(int row, bool checked) {
    presenter_.setChecked(static_cast<std::size_t>(row), checked);
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::TextAlignmentRole && index.column() == 0)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return CheckListModel::data(index, role);
}

MandevView::MandevView(GuiContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      presenter_(context.host, context.session, context.image),
      model_(new DeviceListModel(presenter_, this)) {
    setObjectName(QStringLiteral("mandevPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kPageColour);
    setPalette(pal);

    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("deviceList"));
    header_ = model_->attach(list_);
    header_->setMinimumSectionSize(1);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setWordWrap(false);
    list_->setTabKeyNavigation(false);  // Tab leaves the list
    styleCheckList(list_, devices::mandev::kColumnWidths, model_->columns());
    fitNumberColumn();

    struct Command {
        store::Msg caption;
        const char* name;
        void (MandevView::*run)();
    };
    const Command commands[] = {
        {Msg::NormalAddButton, "normalAddButton", &MandevView::normalAdd},
        {Msg::VorpAddButton, "vorpAddButton", &MandevView::vorpAdd},
        {Msg::ModifyDeviceButton, "modifyButton", &MandevView::modify},
        {Msg::DeleteDeviceButton, "deleteButton", &MandevView::deleteChecked},
    };
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    for (const Command& c : commands) {
        auto* b = texts_.text(new QPushButton(this), c.caption);
        b->setObjectName(QString::fromLatin1(c.name));
        b->setMinimumWidth(130);
        b->setAutoDefault(false);
        const auto run = c.run;
        connect(b, &QPushButton::clicked, this, [this, run] { (this->*run)(); });
        buttons->addWidget(b);
    }
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(list_, 3);
    layout->addLayout(buttons, 1);
    layout->addStretch(1);
    // Escape must not close anything here: it moves on like Tab.
    KeyAsTab::escape(this);

    refresh();
}

MandevView::~MandevView() {
    // A dialog still open holds the address of the presenter's refresh flag.
    delete dialog_;
}

void MandevView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void MandevView::retranslate() {
    texts_.apply();
    model_->textsChanged();
}

void MandevView::fitNumberColumn() {
    // The check box and the widest row number (a full table has four digits) must be readable.
    const int indicator = list_->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, list_);
    const int text = list_->fontMetrics().horizontalAdvance(QStringLiteral("3840"));
    const int needed = indicator + text + 16;
    list_->setColumnWidth(0, std::max(devices::mandev::kColumnWidths[0], needed));
}

void MandevView::refresh() {
    presenter_.refreshDeviceList();
    model_->rebuilt();
}

void MandevView::openModal(QDialog* dialog) {
    dialog_ = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this] {
        const bool rebuild = presenter_.refreshFlag == 1;
        presenter_.dialogClosed();
        if (rebuild) model_->rebuilt();
    });
    dialog->open();
}

void MandevView::normalAdd() {
    presenter_.prepareDialog();
    openModal(new DevaddView(context_, &presenter_.refreshFlag, this));
}

void MandevView::vorpAdd() {
    presenter_.prepareDialog();
    openModal(new VorpdevView(context_, &presenter_.refreshFlag, this));
}

void MandevView::modify() {
    auto flags = presenter_.modifyFlags();
    if (!flags) return;
    openModal(new ModifydevView(context_, std::move(*flags), &presenter_.refreshFlag, this));
}

void MandevView::deleteChecked() {
    presenter_.deleteCheckedDevices();
    model_->rebuilt();
}

}  // namespace kbcfg::gui
