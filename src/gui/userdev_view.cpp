#include "gui/userdev_view.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <memory>

#include "gui/language.h"
#include "gui/stream_view.h"
#include "gui/text.h"
#include "gui/udinfo_view.h"
#include "gui/widgets/check_list_model.h"
#include "gui/widgets/header_ctrl.h"
#include "gui/widgets/list_style.h"
#include "gui/widgets/page_dialog.h"
#include "store/messages.h"
#include "store/own_texts.h"

namespace kbcfg::gui {

namespace {
const QColor kBackground(211, 236, 245);
using store::Msg;
constexpr const char* kJobsKey = "probeJobs";

int keptJobs() {
    const auto settings = openSettings();
    return settings
               ? settings->value(QString::fromLatin1(kJobsKey), users::kDefaultProbeJobs).toInt()
               : users::kDefaultProbeJobs;
}
}  // namespace

QString probeProgressText(const users::userdev::RunProgress& p, bool stopping) {
    using store::OwnText;
    const std::string done = std::to_string(p.done), total = std::to_string(p.total);
    if (stopping) {
        // The run writes nothing more: what is done stays saved, and the devices still being
        // asked are only let finish and logged out, their answers dropped.
        std::string text = store::say(OwnText::ProbeStopping, {done, total});
        if (p.asking == 1) text += "\n" + store::say(OwnText::ProbeWaitingForOne);
        if (p.asking > 1)
            text += "\n" + store::say(OwnText::ProbeWaitingForMany, {std::to_string(p.asking)});
        return qs(text);
    }
    const std::string counts = store::say(OwnText::ProbeDone, {done, total});
    if (p.ip.empty()) return qs(counts);
    const std::string asking =
        p.asking < 2 ? store::say(OwnText::ProbeAsking, {p.ip})
                     : store::say(OwnText::ProbeAskingMore, {p.ip, std::to_string(p.asking - 1)});
    return qs(asking + "\n" + counts);
}

// One of the two lists; check marks live in the presenter's rows.
class UserDeviceListModel : public CheckListModel {
  public:
    UserDeviceListModel(users::userdev& presenter, bool right, QObject* parent)
        : CheckListModel(parent), p_(presenter), right_(right) {}

    int rows() const override { return static_cast<int>(list().size()); }
    int columns() const override {
        return static_cast<int>(std::size(users::userdev::kColumnWidths));
    }
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
        const auto captions = users::userdev::columnCaptions();
        return column >= 0 && static_cast<std::size_t>(column) < captions.size()
                   ? qs(captions[static_cast<std::size_t>(column)])
                   : QString();
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
};

UserdevView::UserdevView(GuiContext& context, int op, QWidget* parent)
    : QDialog(parent),
      context_(context),
      presenter_(context.host, context.session, context.image, context.sdk(), op) {
    setUpWindow();
    // Created in tab order: the lists, then the buttons and the jobs box between them.
    left_ = buildList(false, "availableList", leftModel_, leftHeader_);
    right_ = buildList(true, "assignedList", rightModel_, rightHeader_);
    QVBoxLayout* buttons = buildButtons();
    addJobsBox(buttons);
    layOut(buttons);

    connect(add_, &QPushButton::clicked, this, &UserdevView::assign);
    connect(delete_, &QPushButton::clicked, this, &UserdevView::remove);
    connect(stream_, &QPushButton::clicked, this, &UserdevView::openStream);

    const bool administrator = presenter_.assignEnabled();
    add_->setEnabled(administrator);
    delete_->setEnabled(administrator);
    jobs_->setEnabled(administrator);
    left_->setEnabled(administrator);

    presenter_.refreshUserDeviceLists();
    showState();
}

void UserdevView::setUpWindow() {
    setObjectName(QStringLiteral("userdev"));
    setWindowTitle(qs(users::userdev::title()));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);
}

// One of the two lists, wide enough for all its columns.
QTableView* UserdevView::buildList(bool right, const char* name, UserDeviceListModel*& model,
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
}

QVBoxLayout* UserdevView::buildButtons() {
    auto button = [this](store::Msg caption, const char* name) {
        auto* b = new QPushButton(qs(store::getMessage(caption)), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
        return b;
    };
    add_ = button(Msg::AddToButton, "addButton");
    delete_ = button(Msg::RemoveButton, "deleteButton");
    stream_ = button(Msg::StreamButton, "streamButton");
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_);
    buttons->addSpacing(8);
    buttons->addWidget(delete_);
    buttons->addSpacing(28);
    buttons->addWidget(stream_);
    buttons->addStretch();
    return buttons;
}

// How many devices a run asks at once; the file comes out the same for every number. The
// number is kept between runs.
void UserdevView::addJobsBox(QVBoxLayout* buttons) {
    auto* jobsLabel = new QLabel(qs(store::say(store::OwnText::ProbeJobsLabel)), this);
    jobs_ = new QSpinBox(this);
    jobs_->setObjectName(QStringLiteral("jobsBox"));
    jobs_->setRange(1, users::kMaxProbeJobs);
    jobs_->setValue(std::clamp(keptJobs(), 1, users::kMaxProbeJobs));
    jobs_->setToolTip(qs(store::say(store::OwnText::ProbeJobsTip)));
    jobsLabel->setBuddy(jobs_);
    connect(jobs_, &QSpinBox::valueChanged, this, [](int value) {
        if (const auto settings = openSettings())
            settings->setValue(QString::fromLatin1(kJobsKey), value);
    });
    buttons->addWidget(jobsLabel);
    buttons->addWidget(jobs_);
}

void UserdevView::layOut(QVBoxLayout* buttons) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);
    layout->addWidget(left_, 1);
    layout->addLayout(buttons);
    layout->addWidget(right_, 1);
}

UserdevView::~UserdevView() = default;

void UserdevView::showState() {
    leftModel_->rebuilt();
    rightModel_->rebuilt();
    leftHeader_->setCheckState(presenter_.leftCheck.headerMark ? 1 : 0);
    rightHeader_->setCheckState(presenter_.rightCheck.headerMark ? 1 : 0);
}

void UserdevView::assign() {
    // Workers ask the devices; this thread writes their answers in the run's order and, between
    // and while waiting, keeps the windows painted and the progress window's Cancel working.
    presenter_.jobs = jobs_->value();
    presenter_.sdkFactory = context_.sdkFactory();
    std::unique_ptr<QProgressDialog> progress;
    auto onProgress = [&](const users::userdev::RunProgress& p) {
        if (p.total < 2) {
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return true;
        }
        if (!progress) {
            progress = std::make_unique<QProgressDialog>(this);
            progress->setObjectName(QStringLiteral("probeProgress"));
            progress->setWindowTitle(windowTitle());
            progress->setCancelButtonText(qs(store::getMessage(Msg::CancelButton)));
            progress->setRange(0, p.total);
            progress->setMinimumDuration(0);
            progress->setAutoClose(false);
            progress->setAutoReset(false);
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumWidth(360);
        }
        const QString text = probeProgressText(p, progress->wasCanceled());
        if (progress->labelText() != text) progress->setLabelText(text);
        if (progress->value() != p.done) progress->setValue(p.done);
        progress->show();
        QApplication::processEvents();
        return !progress->wasCanceled();
    };
    presenter_.assignCheckedDevices(onProgress);
    progress.reset();
    showState();
    if (presenter_.showResult) {
        UdinfoView result(presenter_.counters, this);
        runPageDialog(result);
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
        runPageDialog(*dialog);
        presenter_.refreshUserDeviceLists();
    }
    showState();
}

}  // namespace kbcfg::gui
