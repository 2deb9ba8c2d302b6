#pragma once
// The login dialog (shell::userlogin). A successful login closes it and opens the main window.

#include <QDialog>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "shell/userlogin.h"

class QLineEdit;
class QPushButton;

namespace kbcfg::gui {

class UserloginView : public QDialog {
    Q_OBJECT
  public:
    explicit UserloginView(GuiContext& context, QWidget* parent = nullptr);
    shell::userlogin& presenter() { return presenter_; }
    // A file handed to the program: chosen as by the browse button, then the user name is next.
    void openWithFile(const QString& file);

    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();
    void takeFields();
    void showState();
    void login();

    shell::userlogin presenter_;
    CatalogueTexts texts_;
    QLineEdit* path_;
    QPushButton* browse_;
    QLineEdit* userName_;
    QLineEdit* password_;
    QPushButton* login_;
    QPushButton* cancel_;
};

// Opens the login dialog over `parent` (window-modal); on success the main window follows as a
// window of its own. Returns the dialog, which deletes itself when closed.
UserloginView* openLogin(GuiContext& context, QWidget* parent);

}  // namespace kbcfg::gui
