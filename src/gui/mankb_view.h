#pragma once
// The keyboard maintenance page (remote::mankb): a framed group in the page colour carrying the
// import page. Enter and Escape move on like Tab, so neither starts or closes anything.

#include <QWidget>

#include "gui/gui_context.h"
#include "remote/mankb.h"

namespace kbcfg::gui {

class ConfigView;

class MankbView : public QWidget {
    Q_OBJECT
  public:
    explicit MankbView(GuiContext& context, QWidget* parent = nullptr);

    remote::mankb& presenter() { return presenter_; }
    ConfigView* importPage() const { return importPage_; }

  private:
    remote::mankb presenter_;
    ConfigView* importPage_;
};

}  // namespace kbcfg::gui
