#pragma once
// A button drawn entirely from pictures: normal, pressed (also while checked) and greyed.

#include <QAbstractButton>
#include <QPixmap>

namespace kbcfg::gui {

class ImageButton : public QAbstractButton {
    Q_OBJECT
  public:
    ImageButton(QPixmap normal, QPixmap pressed, QWidget* parent = nullptr);
    void setGreyedPicture(QPixmap greyed) { greyed_ = std::move(greyed); }
    // New pictures for all three states (a caption drawn into them changed).
    void setPictures(QPixmap normal, QPixmap pressed, QPixmap greyed);

    QSize sizeHint() const override { return normal_.deviceIndependentSize().toSize(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPixmap normal_;
    QPixmap pressed_;
    QPixmap greyed_;
};

}  // namespace kbcfg::gui
