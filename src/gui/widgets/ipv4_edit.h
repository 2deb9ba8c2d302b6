#pragma once
// An IPv4 address box: four octet fields in one frame, each of which may be left blank. Typing
// '.' or a third digit moves on to the next field; Backspace in an empty field and the arrow keys
// at a field's edge move back and forth. Tab leaves the box as a whole.

#include <QWidget>
#include <array>

#include "store/ipv4_fields.h"

class QLineEdit;

namespace kbcfg::gui {

class Ipv4Edit : public QWidget {
    Q_OBJECT
  public:
    explicit Ipv4Edit(QWidget* parent = nullptr);

    // A host address box: the first octet only takes 1..223 (no multicast or reserved nets).
    void setFirstOctetLimited(bool limited) { firstLimited_ = limited; }
    bool firstOctetLimited() const { return firstLimited_; }

    // What the box shows now. A typed value not yet brought into its range is brought there
    // first, on screen too, so what is taken is always what is shown.
    store::Ipv4Fields fields() const;
    // Shows the octets as given and keeps them until the user types over them: a box filled by
    // the program (a found device's address) gives back exactly that address.
    void setFields(const store::Ipv4Fields& fields);
    void clear() { setFields({}); }

    QLineEdit* octetEdit(int i) const { return octets_[static_cast<std::size_t>(i)]; }

    QSize sizeHint() const override;

  signals:
    void edited();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int index(QObject* edit) const;
    int maximum(int i) const { return i == 0 && firstLimited_ ? store::kHostFirstOctetMax : 255; }
    int minimum(int i) const { return i == 0 && firstLimited_ ? store::kHostFirstOctetMin : 0; }
    // Brings a typed value into its octet's range; a value the program set is left alone.
    void normalise(int i) const;
    void moveTo(int i, bool selectAll);

    std::array<QLineEdit*, 4> octets_{};
    bool firstLimited_ = false;
    // Set when a third digit moved the focus on, so the '.' the user types next is not taken as
    // a blank field.
    bool advanced_ = false;
};

}  // namespace kbcfg::gui
