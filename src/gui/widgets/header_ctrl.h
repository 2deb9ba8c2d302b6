#pragma once
// The list header every list of the tool uses: a vertical colour gradient per column and over
// the trailing strip, the select-all check picture in column 0, captions in a fixed font, and a
// height factor.

#include <QColor>
#include <QHeaderView>
#include <QString>
#include <array>

namespace kbcfg::gui {

class CHeaderCtrlCl : public QHeaderView {
    Q_OBJECT
  public:
    static constexpr int kMaxColumns = 15;

    explicit CHeaderCtrlCl(QWidget* parent = nullptr);

    // A page's settings when it builds its list.
    static constexpr int kPageStart[3] = {211, 236, 245};
    static constexpr int kPageStep = 2;
    void usePageColours();

    void setCaption(int column, const QString& caption);
    QString caption(int column) const;
    // The width column `column` needs for its caption as drawn, with a little room before the
    // next column; 0 without a caption.
    int captionWidth(int column) const;
    void setStartColour(int r, int g, int b);
    void setColourStep(int step) { step_ = step; }
    void setCheckState(int state);
    int checkState() const { return checkState_; }
    void setHeightFactor(double factor);
    double heightFactor() const { return heightFactor_; }
    void setTextColour(const QColor& colour) { textColour_ = colour; }
    void setExtraText(const QString& text) { extraText_ = text; }  // kept, never drawn

    // The gradient colour of pixel row `row` of a column, counted from its top.
    QColor rowColour(int row) const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void paintGradient(QPainter& p, const QRect& rect) const;

    std::array<QString, kMaxColumns> captions_;
    QString extraText_;
    int start_[3] = {171, 199, 235};
    int step_ = 8;
    int checkState_ = 0;
    double heightFactor_ = 1.0;
    QColor textColour_ = Qt::black;
};

}  // namespace kbcfg::gui
