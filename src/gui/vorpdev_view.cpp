#include "gui/vorpdev_view.h"

#include <QDebug>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "gui/devadd_view.h"
#include "gui/text.h"
#include "gui/widgets/header_ctrl.h"
#include "gui/widgets/ipv4_edit.h"
#include "gui/widgets/list_style.h"
#include "gui/widgets/read_only_field.h"

namespace kbcfg::gui {

using devices::FoundRow;
using devices::vorpdev;

namespace {
QColor colour(devices::Rgb c) {
    return QColor(c.r, c.g, c.b);
}
}  // namespace

FoundListModel::FoundListModel(const vorpdev& presenter, QObject* parent)
    : QAbstractTableModel(parent), presenter_(presenter) {
    batch_.setSingleShot(true);
    batch_.setTimerType(Qt::PreciseTimer);
    connect(&batch_, &QTimer::timeout, this, &FoundListModel::flush);
    sinceFlush_.start();
}

void FoundListModel::flush() {
    batch_.stop();
    sinceFlush_.restart();
    const int total = static_cast<int>(presenter_.rows.size());
    if (total <= shown_) return;
    beginInsertRows({}, shown_, total - 1);
    shown_ = total;
    endInsertRows();
}

void FoundListModel::change(vorpdev::Change change, std::size_t row) {
    const int r = static_cast<int>(row);
    switch (change) {
        case vorpdev::Change::AboutToInsert:
            break;  // always an append
        case vorpdev::Change::Inserted:
            // The first report after a quiet spell shows at once, the rest in batches.
            if (!batch_.isActive()) {
                const qint64 since = sinceFlush_.elapsed();
                if (since >= kBatchMs)
                    flush();
                else
                    batch_.start(kBatchMs - static_cast<int>(since));
            }
            break;
        case vorpdev::Change::Updated:
            if (r < shown_)
                emit dataChanged(index(r, 0), index(r, FoundRow::kColumns - 1), {Qt::DisplayRole});
            break;
        case vorpdev::Change::AboutToRemove:
            flush();  // the list's rows and the presenter's must agree on the index
            beginRemoveRows({}, r, r);
            break;
        case vorpdev::Change::Removed:
            shown_ = static_cast<int>(presenter_.rows.size());
            endRemoveRows();
            break;
        case vorpdev::Change::Values:
            break;
    }
}

int FoundListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int FoundListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FoundRow::kColumns;
}

QVariant FoundListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return qs(presenter_.rows[static_cast<std::size_t>(index.row())][index.column()]);
        case Qt::BackgroundRole:
            return colour(vorpdev::kRowBackground);
        case Qt::TextAlignmentRole:
            if (index.column() == vorpdev::kCentredColumn)
                return QVariant::fromValue(Qt::AlignCenter);
            return {};
        default:
            return {};
    }
}

QVariant FoundListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const std::vector<std::string> captions = vorpdev::columnCaptions();
    if (section < 0 || section >= static_cast<int>(captions.size())) return {};
    return qs(captions[static_cast<std::size_t>(section)]);
}

void FoundListModel::captionsChanged() {
    emit headerDataChanged(Qt::Horizontal, 0, FoundRow::kColumns - 1);
}

VorpdevView::VorpdevView(GuiContext& context, int* pageRefreshFlag, QWidget* parent)
    : QDialog(parent),
      context_(context),
      presenter_(context.host, context.vorp(), pageRefreshFlag),
      model_(new FoundListModel(presenter_, this)) {
    setUpWindow();
    buildList();
    QGridLayout* details = buildDetails();
    QHBoxLayout* buttons = buildButtons();
    layOut(details, buttons);
    connectPresenter();
    showState();
}

void VorpdevView::setUpWindow() {
    setObjectName(QStringLiteral("vorpdev"));
    texts_.title(this, &vorpdev::title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour(vorpdev::kDialogBackground));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
}

void VorpdevView::buildList() {
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("foundList"));
    header_ = new CHeaderCtrlCl(list_);
    list_->setHorizontalHeader(header_);
    list_->setModel(model_);
    header_->setStartColour(vorpdev::kHeaderStartColour.r, vorpdev::kHeaderStartColour.g,
                            vorpdev::kHeaderStartColour.b);
    header_->setColourStep(vorpdev::kHeaderColourStep);
    header_->setCheckState(0);
    header_->setStretchLastSection(false);
    header_->setMinimumSectionSize(1);  // the number column is narrower than the font's default
    fitCaptions(list_, vorpdev::kColumnWidths.data(), FoundRow::kColumns);
    list_->setShowGrid(true);
    list_->setSortingEnabled(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
    list_->setMinimumSize(640, 320);
}

// The clicked device's details beside the list.
QGridLayout* VorpdevView::buildDetails() {
    // Shown, not edited: they look like the disabled address boxes beside them.
    auto readOnly = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        showOnly(edit);
        return edit;
    };
    serial_ = readOnly("serialEdit");
    software_ = readOnly("softwareEdit");
    mask_ = new Ipv4Edit(this);
    mask_->setObjectName(QStringLiteral("maskEdit"));
    ip_ = new Ipv4Edit(this);
    ip_->setObjectName(QStringLiteral("ipEdit"));
    for (Ipv4Edit* box : {mask_, ip_}) box->setEnabled(vorpdev::kAddressBoxesEnabled);
    port_ = readOnly("portEdit");
    mac_ = readOnly("macEdit");
    const int fieldWidth = 200;
    for (QLineEdit* e : {serial_, software_, port_, mac_}) e->setFixedWidth(fieldWidth);

    auto* details = new QGridLayout;
    details->setHorizontalSpacing(10);
    details->setVerticalSpacing(10);
    QWidget* fields[] = {serial_, software_, mask_, ip_, port_, mac_};
    for (int i = 0; i < 6; ++i) {
        auto* label = texts_.text(
            new QLabel(this), [i] { return vorpdev::detailLabels()[static_cast<std::size_t>(i)]; });
        label->setAttribute(Qt::WA_TranslucentBackground);
        details->addWidget(label, i, 0);
        details->addWidget(fields[i], i, 1, Qt::AlignLeft);
    }
    details->setRowStretch(6, 1);
    return details;
}

QHBoxLayout* VorpdevView::buildButtons() {
    add_ = texts_.text(new QPushButton(this), &vorpdev::addCaption);
    add_->setObjectName(QStringLiteral("addButton"));
    cancel_ = texts_.text(new QPushButton(this), &vorpdev::cancelCaption);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* b : {add_, cancel_}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addSpacing(16);
    buttons->addWidget(cancel_);
    return buttons;
}

void VorpdevView::layOut(QGridLayout* details, QHBoxLayout* buttons) {
    auto* right = new QVBoxLayout;
    right->addLayout(details, 1);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(16);
    layout->addWidget(list_, 1);
    layout->addLayout(right);
    resize(1020, 440);
}

void VorpdevView::connectPresenter() {
    presenter_.observer = [this](vorpdev::Change change, std::size_t row) {
        model_->change(change, row);
        if (change == vorpdev::Change::Values) showState();
    };
    presenter_.trace = [](const std::string& line) {
        QString text = qs(line);
        if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
        qDebug().noquote() << text;
    };
    connect(list_, &QTableView::clicked, this, [this](const QModelIndex& index) {
        presenter_.rowClicked(index.isValid() ? std::optional<std::size_t>(index.row())
                                              : std::nullopt);
    });
    connect(add_, &QPushButton::clicked, this, &VorpdevView::add);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

VorpdevView::~VorpdevView() {
    // Stop the library before the model and the list go.
    presenter_.close();
    presenter_.observer = nullptr;
}

void VorpdevView::showState() {
    showText(serial_, presenter_.detailSerial);
    software_->setText(qs(presenter_.detailSoftwareVersion));
    mask_->setFields(presenter_.detailMask);
    ip_->setFields(presenter_.detailIp);
    port_->setText(QString::number(presenter_.selectedPort));
    mac_->setText(qs(presenter_.detailMac));
}

void VorpdevView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (startQueued_) return;
    startQueued_ = true;
    // Once the window is up: a failed start shows its message over it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            presenter_.shown();
            showState();
        },
        Qt::QueuedConnection);
}

void VorpdevView::add() {
    const auto request = presenter_.addSelected();
    if (!request) return;
    auto* dialog = new DevaddView(context_, request->refreshFlag, request->ip, request->port, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this] { presenter_.addDialogClosed(); });
    addDialog_ = dialog;
    dialog->open();
}

void VorpdevView::keyPressEvent(QKeyEvent* event) {
    // Enter is the dialog's OK unless a button has the focus.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void VorpdevView::accept() {
    if (!presenter_.acceptEnter()) return;
    QDialog::accept();
}

void VorpdevView::done(int result) {
    presenter_.close();
    QDialog::done(result);
}

void VorpdevView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QDialog::changeEvent(event);
}

void VorpdevView::retranslate() {
    texts_.apply();
    model_->captionsChanged();
    fitCaptions(list_, vorpdev::kColumnWidths.data(), FoundRow::kColumns);
}

}  // namespace kbcfg::gui
