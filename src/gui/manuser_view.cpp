#include "gui/manuser_view.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "gui/app_fonts.h"
#include "gui/modifyuser_view.h"
#include "gui/pictures.h"
#include "gui/text.h"
#include "gui/useradd_view.h"
#include "gui/userdev_view.h"
#include "gui/widgets/check_list_model.h"
#include "gui/widgets/header_ctrl.h"
#include "gui/widgets/key_as_tab.h"
#include "gui/widgets/list_style.h"
#include "gui/widgets/page_dialog.h"
#include "store/messages.h"

namespace kbcfg::gui {

namespace {
using store::Msg;
}  // namespace

// The user rows of the page presenter; check marks live in the presenter's rows.
class UserListModel : public CheckListModel {
  public:
    UserListModel(users::manuser& presenter, QObject* parent)
        : CheckListModel(parent), p_(presenter) {}

    int rows() const override { return static_cast<int>(p_.rows.size()); }
    int columns() const override { return 3; }
    QString cell(int row, int column) const override {
        const users::UserRow& r = p_.rows[static_cast<std::size_t>(row)];
        switch (column) {
            case 0:
                return QString::number(row + 1);
            case 1:
                return QString::number(r.position);
            default:
                return qs(r.name);
        }
    }
    QString caption(int column) const override {
        const std::vector<std::string> captions = users::manuser::columnCaptions();
        return column >= 0 && column < static_cast<int>(captions.size())
                   ? qs(captions[static_cast<std::size_t>(column)])
                   : QString();
    }
    bool isChecked(int row) const override {
        return p_.rows[static_cast<std::size_t>(row)].checked;
    }
    void setChecked(int row, bool checked) override {
        p_.rows[static_cast<std::size_t>(row)].checked = checked;
    }
    void headerClicked(int column) override { p_.headerClicked(column); }
    bool headerChecked() const override { return p_.headerChecked; }

  private:
    users::manuser& p_;
};

ManuserView::ManuserView(GuiContext& context, QWidget* parent)
    : QFrame(parent), context_(context), presenter_(context.host, context.session, context.image) {
    setObjectName(QStringLiteral("manuserPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kPageColour);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);

    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("userList"));
    model_ = new UserListModel(presenter_, this);
    header_ = model_->attach(list_);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    styleCheckList(list_, users::manuser::kColumnWidths, 3);
    // A double click anywhere on the list counts, also below the last row.
    list_->viewport()->installEventFilter(this);

    auto button = [this](store::Msg caption, const char* name) {
        auto* b = texts_.text(new QPushButton(this), caption);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumWidth(130);
        b->setAutoDefault(false);
        return b;
    };
    add_ = button(Msg::AddUserButton, "addUserButton");
    delete_ = button(Msg::DeleteUserButton, "deleteUserButton");
    modify_ = button(Msg::ModifyPasswordButton, "modifyPasswordButton");
    auto* tip = texts_.text(new QLabel(this), Msg::UserClickTip);
    tip->setObjectName(QStringLiteral("userTip"));
    tip->setAttribute(Qt::WA_TranslucentBackground);
    tip->setWordWrap(true);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(add_);
    buttons->addWidget(delete_);
    buttons->addWidget(modify_);
    buttons->addSpacing(14);
    buttons->addWidget(tip);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(list_, 3);
    layout->addLayout(buttons, 1);
    layout->addStretch(1);
    KeyAsTab::escape(this);

    connect(add_, &QPushButton::clicked, this, &ManuserView::addUser);
    connect(delete_, &QPushButton::clicked, this, &ManuserView::deleteUsers);
    connect(modify_, &QPushButton::clicked, this, &ManuserView::modifyPassword);

    presenter_.refreshUserList();
    showState();
}

ManuserView::~ManuserView() = default;

void ManuserView::refresh() {
    presenter_.refreshUserList();
    showState();
}

void ManuserView::showState() {
    model_->rebuilt();
    header_->setCheckState(presenter_.headerChecked ? 1 : 0);
    add_->setEnabled(presenter_.addEnabled());
    delete_->setEnabled(presenter_.deleteEnabled());
}

void ManuserView::addUser() {
    UseraddView dialog(context_, this);
    runPageDialog(dialog);
    refresh();
}

void ManuserView::deleteUsers() {
    presenter_.deleteCheckedUsers();
    showState();
}

void ManuserView::modifyPassword() {
    const auto target = presenter_.passwordTarget();
    if (!target) {
        showState();  // message 35 has refreshed the rows
        return;
    }
    ModifyuserView dialog(context_, target->position, target->shownName, this);
    runPageDialog(dialog);
    refresh();
}

void ManuserView::openUserDevices() {
    for (std::size_t i = 0; i < presenter_.rows.size(); ++i)
        presenter_.rows[i].selected =
            list_->selectionModel()->isRowSelected(static_cast<int>(i), QModelIndex());
    const auto position = presenter_.userDevicesTarget();
    if (!position) return;
    UserdevView dialog(context_, *position, this);
    runPageDialog(dialog);
}

void ManuserView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) retranslate();
    QFrame::changeEvent(event);
}

void ManuserView::retranslate() {
    texts_.apply();
    model_->textsChanged();
}

bool ManuserView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // After the click has updated the selection, outside the mouse handling.
        QMetaObject::invokeMethod(this, &ManuserView::openUserDevices, Qt::QueuedConnection);
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace kbcfg::gui
