#include "gui/mankb_view.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "gui/config_view.h"
#include "gui/pictures.h"
#include "gui/widgets/key_as_tab.h"

namespace kbcfg::gui {

MankbView::MankbView(GuiContext& context, QWidget* parent)
    : QWidget(parent), presenter_(context.host, context.session, context.sdk()) {
    setObjectName(QStringLiteral("mankbPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pictures::kPageColour);
    setPalette(pal);

    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("importFrame"));
    auto* inFrame = new QVBoxLayout(frame);
    inFrame->setContentsMargins(14, 14, 14, 14);
    importPage_ = new ConfigView(presenter_.importPage, frame);
    inFrame->addWidget(importPage_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(frame, 0, Qt::AlignHCenter | Qt::AlignTop);
    layout->addStretch();

    KeyAsTab::enter(this);
    KeyAsTab::escape(this);
}

}  // namespace kbcfg::gui
