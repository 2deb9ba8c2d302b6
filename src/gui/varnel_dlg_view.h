#pragma once
// The mode dialog (shell::CvarnelDlg): the run's first window; closing it ends the program.

#include <QDialog>
#include <QPixmap>
#include <functional>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "shell/varnel_dlg.h"

class QMenu;

namespace kbcfg::gui {

class VarnelDlgView : public QDialog {
    Q_OBJECT
  public:
    explicit VarnelDlgView(GuiContext& context, QWidget* parent = nullptr);
    ~VarnelDlgView() override;

    // What the remote export and upgrade buttons open (the two dialogs; tests may replace them).
    std::function<void(QWidget* parent)> openExport;
    std::function<void(QWidget* parent)> openUpgrade;

    void showAbout();
    // A file handed to the program: the login dialog (the open one, else a new one) takes it.
    void openLoginWith(const QString& file);
    // Escape and the close box: refused while a work window is open, which would end with it.
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void openChosen(shell::CvarnelDlg::Open what);
    void retranslate();

    GuiContext& context_;
    shell::CvarnelDlg presenter_;
    CatalogueTexts texts_;
    QPixmap background_;
    QMenu* windowMenu_;
};

}  // namespace kbcfg::gui
