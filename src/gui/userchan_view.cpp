#include "gui/userchan_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "gui/text.h"
#include "gui/widgets/header_ctrl.h"
#include "gui/widgets/list_style.h"
#include "store/messages.h"

namespace kbcfg::gui {

using channels::ChannelListKind;
using channels::userchan;

namespace {

const QColor kPageColour(211, 236, 245);
const QColor kListColour(204, 232, 207);
constexpr int kSideWidth = 216;

QPushButton* button(CatalogueTexts& texts, store::Msg caption, const char* name, QWidget* parent) {
    auto* b = texts.text(new QPushButton(parent), caption);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    b->setMinimumHeight(28);
    return b;
}

QGroupBox* group(CatalogueTexts& texts, store::Msg caption, const char* name, QWidget* parent) {
    auto* g = new QGroupBox(parent);
    texts.bind([g, caption] { g->setTitle(qs(store::getMessage(caption))); });
    g->setObjectName(QString::fromLatin1(name));
    return g;
}

// Every list keeps the number column's width, and no caption runs into the next one: the
// captions stay where they are when rows come or another list is shown.
void sizeColumns(QTableView* list, int numberWidth) {
    int widths[std::size(userchan::kColumnWidths)];
    std::copy(std::begin(userchan::kColumnWidths), std::end(userchan::kColumnWidths), widths);
    widths[0] = numberWidth;
    fitCaptions(list, widths, static_cast<int>(std::size(widths)));
}

}  // namespace

ChannelListModel::ChannelListModel(userchan& page, QObject* parent)
    : CheckListModel(parent), page_(page) {}

int ChannelListModel::rows() const {
    return static_cast<int>(page_.rows.size());
}

QString ChannelListModel::cell(int row, int column) const {
    const channels::ChannelRow& r = page_.rows[static_cast<std::size_t>(row)];
    switch (column) {
        case 0:
            return qs(r.rowNumber);
        case 1:
            return qs(r.indexText);
        case 2:
            return qs(r.port);
        case 3:
            return qs(r.ip);
        case 4:
            return qs(r.name);
        case kPositionColumn:
            return QString::number(r.position);
    }
    return {};
}

QString ChannelListModel::caption(int column) const {
    const std::vector<std::string> captions = userchan::columnCaptions();
    return column >= 0 && column < static_cast<int>(captions.size())
               ? qs(captions[static_cast<std::size_t>(column)])
               : QString();
}

bool ChannelListModel::isChecked(int row) const {
    return page_.rows[static_cast<std::size_t>(row)].checked;
}

void ChannelListModel::setChecked(int row, bool checked) {
    page_.rows[static_cast<std::size_t>(row)].checked = checked;
}

void ChannelListModel::headerClicked(int column) {
    page_.onColumnHeaderClick(column);
}

bool ChannelListModel::headerChecked() const {
    return page_.headerMark;
}

void ChannelListModel::rowsChanged() {
    if (rows() == 0) return;
    emit dataChanged(index(0, 0), index(rows() - 1, kColumns - 1),
                     {Qt::DisplayRole, Qt::CheckStateRole});
}

UserchanView::UserchanView(GuiContext& context, QWidget* parent)
    : QWidget(parent), context_(context), presenter_(context.host, context.session, context.image) {
    setUpPage();
    buildList();
    // The groups at the right, created in tab order.
    QHBoxLayout* nameRow = buildNameRow();
    QGroupBox* types = buildTypeGroup();
    QGroupBox* modify = buildModifyGroup();
    QGroupBox* erase = buildButtonGroup(store::Msg::ChannelDeleteButton, "deleteGroup",
                                        store::Msg::ChannelDeleteButton, "deleteButton",
                                        &UserchanView::deleteChecked);
    QGroupBox* save =
        buildButtonGroup(store::Msg::SaveChannelsButton, "saveGroup", store::Msg::SaveChannelsHint,
                         "reportButton", &UserchanView::writeReport);
    layOut(nameRow, {types, modify, erase, save});
    showState();
}

void UserchanView::setUpPage() {
    setObjectName(QStringLiteral("userchanPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kPageColour);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
}

// A model over the presenter's rows, fixed row heights so that 20,480 rows cost nothing to lay
// out, and nothing formatted until it is on the screen.
void UserchanView::buildList() {
    model_ = new ChannelListModel(presenter_, this);
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("channelList"));
    header_ = model_->attach(list_);
    header_->setStretchLastSection(false);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    // The caption font would otherwise make the check-box column wider than its 20 pixels.
    header_->setMinimumSectionSize(userchan::kColumnWidths[0]);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->setCornerButtonEnabled(false);
    QHeaderView* rowsHeader = list_->verticalHeader();
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    rowsHeader->setDefaultSectionSize(fontMetrics().height() + 6);
    QPalette listPal = list_->palette();
    listPal.setColor(QPalette::Base, kListColour);
    list_->setPalette(listPal);
    // The row numbers of the input list need more than the check box's 20 pixels.
    numberWidth_ = std::max(userchan::kColumnWidths[0],
                            style()->pixelMetric(QStyle::PM_IndicatorWidth) + 12 +
                                list_->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    sizeColumns(list_, numberWidth_);
}

QHBoxLayout* UserchanView::buildNameRow() {
    auto* nameLabel = texts_.text(new QLabel(this), store::Msg::UserNameLabel);
    userName_ = new QLineEdit(this);
    userName_->setObjectName(QStringLiteral("userNameEdit"));
    nameLabel->setBuddy(userName_);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(userName_, 1);
    return nameRow;
}

// The three list buttons.
QGroupBox* UserchanView::buildTypeGroup() {
    QGroupBox* types = group(texts_, store::Msg::ChannelTypeLabel, "typeGroup", this);
    auto* typeButtons = new QVBoxLayout(types);
    struct ListButton {
        store::Msg caption;
        const char* name;
        ChannelListKind kind;
    };
    for (const ListButton& b :
         {ListButton{store::Msg::InputChannels, "inputButton", ChannelListKind::Input},
          ListButton{store::Msg::OutputChannels, "outputButton", ChannelListKind::Output},
          ListButton{store::Msg::ColumnWallScene, "wallSceneButton", ChannelListKind::WallScene}}) {
        QPushButton* pb = button(texts_, b.caption, b.name, types);
        const ChannelListKind kind = b.kind;
        connect(pb, &QPushButton::clicked, this, [this, kind] { showList(kind); });
        typeButtons->addWidget(pb);
    }
    return types;
}

// The new index and the single and batch changes.
QGroupBox* UserchanView::buildModifyGroup() {
    QGroupBox* modify = group(texts_, store::Msg::ChannelModifyButton, "modifyGroup", this);
    auto* newIndexLabel = texts_.text(new QLabel(modify), store::Msg::NewIndexLabel);
    newIndex_ = new QLineEdit(modify);
    newIndex_->setObjectName(QStringLiteral("newIndexEdit"));
    newIndexLabel->setBuddy(newIndex_);
    QPushButton* single = button(texts_, store::Msg::SingleChannel, "singleButton", modify);
    QPushButton* batch = button(texts_, store::Msg::BatchChannels, "batchButton", modify);
    auto* modifyLayout = new QVBoxLayout(modify);
    auto* indexRow = new QHBoxLayout;
    indexRow->addWidget(newIndexLabel);
    indexRow->addWidget(newIndex_, 1);
    auto* modifyButtons = new QHBoxLayout;
    modifyButtons->addWidget(single);
    modifyButtons->addWidget(batch);
    modifyLayout->addLayout(indexRow);
    modifyLayout->addLayout(modifyButtons);

    connect(newIndex_, &QLineEdit::textChanged, this, &UserchanView::newIndexChanged);
    connect(single, &QPushButton::clicked, this, &UserchanView::changeSingle);
    connect(batch, &QPushButton::clicked, this, &UserchanView::changeBatch);
    return modify;
}

// A group of one button: the deletion, the report.
QGroupBox* UserchanView::buildButtonGroup(store::Msg caption, const char* name,
                                          store::Msg buttonCaption, const char* buttonName,
                                          void (UserchanView::*action)()) {
    QGroupBox* box = group(texts_, caption, name, this);
    QPushButton* b = button(texts_, buttonCaption, buttonName, box);
    (new QVBoxLayout(box))->addWidget(b);
    connect(b, &QPushButton::clicked, this, action);
    return box;
}

// The list on the left, the name row and the groups in a fixed-width column at the right.
void UserchanView::layOut(QHBoxLayout* nameRow, std::initializer_list<QGroupBox*> groups) {
    auto* side = new QVBoxLayout;
    side->setSpacing(12);
    side->addLayout(nameRow);
    for (QGroupBox* g : groups) side->addWidget(g);
    side->addStretch();
    auto* sideBox = new QWidget(this);
    sideBox->setFixedWidth(kSideWidth);
    sideBox->setLayout(side);
    side->setContentsMargins(0, 0, 0, 0);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(12);
    layout->addWidget(list_, 1);
    layout->addWidget(sideBox);
}

void UserchanView::takeFields() {
    presenter_.userNameField = str(userName_->text());
    presenter_.newIndexField = str(newIndex_->text());
}

void UserchanView::showState() {
    showText(userName_, presenter_.userNameField);
    userName_->setEnabled(presenter_.userNameEnabled);
    showText(newIndex_, presenter_.newIndexField);
    header_->setCheckState(presenter_.headerMark ? 1 : 0);
    switch (presenter_.focus) {
        case userchan::Focus::UserName:
            userName_->setFocus();
            break;
        case userchan::Focus::NewIndex:
            newIndex_->setFocus();
            break;
        case userchan::Focus::Unchanged:
            break;
    }
    presenter_.focus = userchan::Focus::Unchanged;
}

void UserchanView::showList(ChannelListKind kind) {
    takeFields();
    presenter_.showChannelList(kind);
    model_->rebuilt();
    showState();
}

void UserchanView::newIndexChanged(const QString& text) {
    presenter_.newIndexField = str(text);
    presenter_.onNewIndexChanged();
    // Clearing the field comes back here once, with an empty text that passes.
    if (qs(presenter_.newIndexField) != text) newIndex_->setText(qs(presenter_.newIndexField));
}

void UserchanView::changeSingle() {
    takeFields();
    presenter_.changeIndexSingle();
    model_->rowsChanged();
    showState();
}

void UserchanView::changeBatch() {
    takeFields();
    presenter_.changeIndexBatch();
    model_->rowsChanged();
    showState();
}

void UserchanView::deleteChecked() {
    takeFields();
    // Only a deletion of ticked rows refills the list; otherwise the rows and the scroll
    // position stay.
    const bool anyTicked = std::any_of(presenter_.rows.begin(), presenter_.rows.end(),
                                       [](const channels::ChannelRow& r) { return r.checked; });
    presenter_.deleteCheckedChannels();
    if (anyTicked) model_->rebuilt();
    showState();
}

void UserchanView::writeReport() {
    takeFields();
    presenter_.writeChannelReport(context_.sdk());
    showState();
}

void UserchanView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QWidget::changeEvent(event);
}

void UserchanView::retranslate() {
    texts_.apply();
    model_->textsChanged();
    sizeColumns(list_, numberWidth_);
}

void UserchanView::keyPressEvent(QKeyEvent* event) {
    // Enter moves on like Tab, as in the tool's dialogs.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        focusNextChild();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace kbcfg::gui
