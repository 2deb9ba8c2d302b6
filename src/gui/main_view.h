#pragma once
// The main window (shell::MainMenu): the header strip with the tab buttons and the user, and the
// five pages laid over one frame.

#include <QPixmap>
#include <QWidget>
#include <array>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "shell/main.h"

class QStackedLayout;

namespace kbcfg::gui {

class ImageButton;

class MainView : public QWidget {
    Q_OBJECT
  public:
    explicit MainView(GuiContext& context, QWidget* parent = nullptr);
    ~MainView() override;

    shell::MainMenu& presenter() { return presenter_; }
    QWidget* page(shell::MainMenu::Page page) const { return pages_[static_cast<int>(page)]; }
    ImageButton* button(shell::MainMenu::Button button) const {
        return buttons_[static_cast<int>(button)];
    }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void press(shell::MainMenu::Button button);
    void showState();
    void retranslate();

    GuiContext& context_;
    shell::MainMenu presenter_;
    CatalogueTexts texts_;
    std::array<QWidget*, shell::MainMenu::kPageCount> pages_{};
    std::array<ImageButton*, shell::MainMenu::kPageCount + 1> buttons_{};
    QStackedLayout* stack_;
    QPixmap strip_;  // the header picture at the window's width
};

// Opens the main window for the session's logged-in user, as a window of its own.
MainView* openMainWindow(GuiContext& context);

}  // namespace kbcfg::gui
