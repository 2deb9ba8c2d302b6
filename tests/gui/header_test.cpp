// The drawn list header, read back from rendered images, and the check-box list model.
#include <QTableView>
#include <QTest>
#include <vector>

#include "gui/gui_test.h"
#include "gui/widgets/check_list_model.h"
#include "gui/widgets/header_ctrl.h"

using kbcfg::gui::CHeaderCtrlCl;
using kbcfg::gui::CheckListModel;

namespace {

// A list as a page builds it: row numbers in column 0, the slot hidden in column 1.
class SlotList : public CheckListModel {
  public:
    explicit SlotList(int columnCount, std::vector<int> slotNumbers = {})
        : columns_(columnCount), slots_(std::move(slotNumbers)), checked_(slots_.size(), false) {}
    int rows() const override { return int(slots_.size()); }
    int columns() const override { return columns_; }
    QString cell(int row, int column) const override {
        if (column == 0) return QString::number(row + 1);
        if (column == 1) return QString::number(slots_[row]);
        return QStringLiteral("c%1").arg(column);
    }
    QString caption(int column) const override {
        return column == 0 ? QString() : QStringLiteral("Col %1").arg(column);
    }
    bool isChecked(int row) const override { return checked_[row]; }
    void setChecked(int row, bool on) override { checked_[row] = on; }
    void headerClicked(int column) override {
        if (column != 0 || slots_.empty()) return;
        selectAll = selectAll ? 0 : 1;
        checked_.assign(checked_.size(), selectAll == 1);
    }
    bool headerChecked() const override { return selectAll == 1; }
    int selectAll = 0;

  private:
    int columns_;
    std::vector<int> slots_;
    std::vector<bool> checked_;
};

QColor rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

}  // namespace

class TestHeader : public QObject {
    Q_OBJECT

    // The header alone, sized as asked, rendered to an image.
    QImage render(CHeaderCtrlCl& header, QSize size) {
        header.resize(size);
        header.show();
        return header.grab().toImage();
    }

  private slots:
    void pageColoursRunFromTopToLastRowOverTheWholeWidth() {
        // Three columns and the trailing strip; no columns at all.
        const struct {
            int columns, width;
            std::vector<int> xs;
        } cases[] = {{3, 400, {40, 120, 200, 300}}, {0, 300, {0, 150, 299}}};
        for (const auto& c : cases) {
            SlotList model(c.columns);
            CHeaderCtrlCl header;
            header.setModel(&model);
            header.usePageColours();
            for (int i = 0; i < c.columns; ++i) header.resizeSection(i, 80);
            const QImage img = render(header, QSize(c.width, 24));
            for (int x : c.xs) {
                QCOMPARE(img.pixelColor(x, 0), rgb(211, 236, 245));
                QCOMPARE(img.pixelColor(x, 1), rgb(209, 234, 243));
                QCOMPARE(img.pixelColor(x, 23), rgb(165, 190, 199));
            }
        }
    }

    void constructorStepReachesBlackAndStays() {
        SlotList model(2);
        CHeaderCtrlCl header;
        header.setModel(&model);
        header.resizeSection(0, 60);
        header.resizeSection(1, 60);
        const QImage img = render(header, QSize(200, 40));
        // Read in the trailing strip, where no caption can cover the gradient.
        QCOMPARE(img.pixelColor(150, 0), rgb(171, 199, 235));
        QCOMPARE(img.pixelColor(150, 21), rgb(3, 31, 67));
        QCOMPARE(img.pixelColor(150, 22), rgb(0, 23, 59));
        for (int y = 30; y < 40; ++y) QCOMPARE(img.pixelColor(100, y), rgb(0, 0, 0));
        QCOMPARE(img.pixelColor(190, 39), rgb(0, 0, 0));
    }

    void checkPictureFollowsTheStateInColumnZeroOnly() {
        SlotList model(3);
        CHeaderCtrlCl header;
        header.setModel(&model);
        header.usePageColours();
        for (int i = 0; i < 3; ++i) header.resizeSection(i, 100);
        const QImage off = render(header, QSize(400, 30));
        header.setCheckState(1);
        const QImage on = render(header, QSize(400, 30));
        const QRect picture(6, 4, 13, 30 - 7);
        QVERIFY(off.copy(picture) != on.copy(picture));
        QCOMPARE(off.copy(100, 0, 300, 30), on.copy(100, 0, 300, 30));
        // The picture sits on the gradient: left of it the header is untouched.
        QCOMPARE(on.pixelColor(2, 10), off.pixelColor(2, 10));
        header.setCheckState(0);
        QCOMPARE(render(header, QSize(400, 30)), off);
    }

    void captionsUseTheFixedFontAndTheirColumn() {
        SlotList model(2);
        CHeaderCtrlCl header;
        header.setModel(&model);
        QCOMPARE(header.font().pixelSize(), 20);
        header.setCaption(1, QStringLiteral("IP"));
        QCOMPARE(header.caption(1), QStringLiteral("IP"));
        QCOMPARE(header.caption(0), QString());            // the model's empty caption
        header.setCaption(20, QStringLiteral("ignored"));  // beyond the fifteen: no effect
    }

    void heightFactorSetsHeaderAndListTop() {
        SlotList model(3, {5, 9});
        QTableView view;
        CHeaderCtrlCl* header = model.attach(&view);
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const int base = header->sizeHint().height();
        header->setHeightFactor(1.5);
        QCOMPARE(header->sizeHint().height(), int(base * 1.5));
        QTRY_COMPARE(header->height(), int(base * 1.5));
        QTRY_COMPARE(view.viewport()->geometry().top(), view.frameWidth() + header->height());
    }

    void selectAllOnlyFromColumnZero() {
        SlotList model(5, {5, 9, 12});
        QTableView view;
        CHeaderCtrlCl* header = model.attach(&view);
        view.resize(500, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(view.isColumnHidden(1));
        QVERIFY(!view.isSortingEnabled());

        auto clickHeader = [&](int column) {
            const int x = header->sectionViewportPosition(column) + 5;
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        };
        auto checkedRows = [&] {
            int n = 0;
            for (int r = 0; r < model.rowCount(); ++r)
                n += model.index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
            return n;
        };
        clickHeader(2);
        QCOMPARE(checkedRows(), 0);
        QCOMPARE(header->checkState(), 0);
        clickHeader(0);
        QCOMPARE(checkedRows(), 3);
        QCOMPARE(header->checkState(), 1);
        clickHeader(0);
        QCOMPARE(checkedRows(), 0);
        QCOMPARE(header->checkState(), 0);
        // One row ticked by its own box; the slot stays readable from the hidden column.
        QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(model.isChecked(1));
        QCOMPARE(model.index(1, 1).data().toString(), QStringLiteral("9"));
        QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("2"));
        QVERIFY(!model.setData(model.index(1, 2), Qt::Checked, Qt::CheckStateRole));
    }
};

KBCFG_GUI_TEST(TestHeader)
#include "header_test.moc"
