#include "gui/userdev_view.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressDialog>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <memory>

#include "gui/stream_view.h"
#include "gui/text.h"
#include "gui/udinfo_view.h"
#include "gui/widgets/check_list_model.h"
#include "gui/widgets/header_ctrl.h"
#include "gui/widgets/list_style.h"
#include "store/messages.h"

namespace kbcfg::gui {

namespace {
const QColor kBackground(211, 236, 245);
constexpr int kAddCaption = 171, kDeleteCaption = 170, kStreamCaption = 167;
}  // namespace

// One of the two lists; check marks live in the presenter's rows.
class UserDeviceListModel : public CheckListModel {
  public:
    UserDeviceListModel(users::userdev& presenter, bool right, QObject* parent)
        : CheckListModel(parent),
          p_(presenter),
          right_(right),
          captions_(users::userdev::columnCaptions()) {}

    int rows() const override { return static_cast<int>(list().size()); }
    int columns() const override { return static_cast<int>(captions_.size()); }
    QString cell(int row, int column) const override {
        const users::UserDeviceRow& r = list()[static_cast<std::size_t>(row)];
        switch (column) {
            case 0:
                return QString::number(row + 1);
            case 1:
                return QString::number(r.slot);
            case 2:
                return qs(r.ip);
            default:
                return QString::number(r.port);
        }
    }
    QString caption(int column) const override {
        return qs(captions_[static_cast<std::size_t>(column)]);
    }
    bool isChecked(int row) const override { return list()[static_cast<std::size_t>(row)].checked; }
    void setChecked(int row, bool checked) override {
        list()[static_cast<std::size_t>(row)].checked = checked;
    }
    void headerClicked(int column) override { p_.headerClicked(right_, column); }
    bool headerChecked() const override {
        return (right_ ? p_.rightCheck : p_.leftCheck).headerMark;
    }

  private:
    std::vector<users::UserDeviceRow>& list() const { return right_ ? p_.right : p_.left; }

    users::userdev& p_;
    bool right_;
    std::vector<std::string> captions_;
};

UserdevView::UserdevView(GuiContext& context, int op, QWidget* parent)
    : QDialog(parent),
      context_(context),
      presenter_(context.host, context.session, context.image, context.sdk(), op) {
    setObjectName(QStringLiteral("userdev"));
    setWindowTitle(qs(users::userdev::title()));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);

    auto makeList = [this](bool right, const char* name, UserDeviceListModel*& model,
                           CHeaderCtrlCl*& header) {
        auto* list = new QTableView(this);
        list->setObjectName(QString::fromLatin1(name));
        model = new UserDeviceListModel(presenter_, right, this);
        header = model->attach(list);
        // Rows are ticked, not selected.
        list->setSelectionMode(QAbstractItemView::NoSelection);
        styleCheckList(list, users::userdev::kColumnWidths, 4);
        int width = 2 * list->frameWidth() + 2;
        for (int c = 0; c < model->columns(); ++c) width += list->columnWidth(c);
        list->setMinimumSize(width + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent), 320);
        return list;
    };
    left_ = makeList(false, "availableList", leftModel_, leftHeader_);
    right_ = makeList(true, "assignedList", rightModel_, rightHeader_);

    auto button = [this](int caption, const char* name) {
        auto* b = new QPushButton(qs(store::getMessage(caption)), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
        return b;
    };
    add_ = button(kAddCaption, "addButton");
    delete_ = button(kDeleteCaption, "deleteButton");
    stream_ = button(kStreamCaption, "streamButton");
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addSpacing(8);
    buttons->addWidget(delete_);
    buttons->addSpacing(28);
    buttons->addWidget(stream_);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);
    layout->addWidget(left_, 1);
    layout->addLayout(buttons);
    layout->addWidget(right_, 1);

    connect(add_, &QPushButton::clicked, this, &UserdevView::assign);
    connect(delete_, &QPushButton::clicked, this, &UserdevView::remove);
    connect(stream_, &QPushButton::clicked, this, &UserdevView::openStream);

    const bool administrator = presenter_.assignEnabled();
    add_->setEnabled(administrator);
    delete_->setEnabled(administrator);
    left_->setEnabled(administrator);

    presenter_.refreshUserDeviceLists();
    showState();
}

UserdevView::~UserdevView() = default;

void UserdevView::showState() {
    leftModel_->rebuilt();
    rightModel_->rebuilt();
    leftHeader_->setCheckState(presenter_.leftCheck.headerMark ? 1 : 0);
    rightHeader_->setCheckState(presenter_.rightCheck.headerMark ? 1 : 0);
}

void UserdevView::assign() {
    // The devices are probed one after another on this thread; between two of them the progress
    // window is updated and the windows repaint, but no input is taken.
    std::unique_ptr<QProgressDialog> progress;
    auto onProgress = [&](int done, int total, const std::string& ip) {
        if (total < 2) return;
        if (!progress) {
            progress = std::make_unique<QProgressDialog>(this);
            progress->setObjectName(QStringLiteral("probeProgress"));
            progress->setWindowTitle(windowTitle());
            progress->setCancelButton(nullptr);
            progress->setRange(0, total);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumWidth(320);
        }
        progress->setLabelText(ip.empty()
                                   ? QStringLiteral("%1 of %2 devices done").arg(done).arg(total)
                                   : QStringLiteral("Probing %1\n%2 of %3 devices done")
                                         .arg(qs(ip))
                                         .arg(done)
                                         .arg(total));
        progress->setValue(done);
        progress->show();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    presenter_.assignCheckedDevices(onProgress);
    progress.reset();
    showState();
    if (presenter_.showResult) {
        UdinfoView result(presenter_.counters, this);
        result.exec();
    }
}

void UserdevView::remove() {
    presenter_.removeCheckedDevicesFromUser();
    showState();
}

void UserdevView::openStream() {
    const auto request = presenter_.openStreamBinding();
    if (request) {
        const int op = presenter_.op();
        std::unique_ptr<StreamView> dialog =
            request->mode == users::StreamBindingMode::Single
                ? std::make_unique<StreamView>(context_, op, request->slot, this)
                : std::make_unique<StreamView>(context_, op, request->batch, this);
        dialog->exec();
        presenter_.refreshUserDeviceLists();
    }
    showState();
}

}  // namespace kbcfg::gui
