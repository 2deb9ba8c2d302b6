// The about box shows the version the build was configured with.
#include <QLabel>
#include <QtTest>

#include "gui/about_view.h"
#include "gui/gui_test.h"

class AboutTest : public QObject {
    Q_OBJECT
  private slots:
    void namesTheProjectVersion() {
        kbcfg::gui::AboutView about;
        auto* version = about.findChild<QLabel*>(QStringLiteral("aboutVersion"));
        QVERIFY(version);
        QCOMPARE(version->text(), QStringLiteral("kbcfg " KBCFG_EXPECTED_VERSION));
        // The catalogue line is still there beside it.
        QVERIFY(about.findChild<QLabel*>(QStringLiteral("aboutText")));
    }
};

KBCFG_GUI_TEST(AboutTest)
#include "about_test.moc"
