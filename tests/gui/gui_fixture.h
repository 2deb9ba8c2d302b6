#pragma once
// What the view tests share: a scripted host over a temp folder, the session, image and context
// the views take, and the ways a test finds and drives widgets as a user would.

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "gui/gui_context.h"
#include "gui/qt_host.h"
#include "gui/widgets/ipv4_edit.h"
#include "store/files.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {

using Msgs = std::vector<store::Msg>;

// A named child; a missing one ends the program, since nothing after it could pass.
template <class T>
T* child(QObject* parent, const char* name) {
    T* c = parent->findChild<T*>(QString::fromLatin1(name));
    if (!c) qFatal("no %s", name);
    return c;
}

inline void click(QObject* parent, const char* button) {
    child<QAbstractButton>(parent, button)->click();
}

// The open window with this title, or null.
template <class T = QWidget>
T* window(const char* title) {
    return qobject_cast<T*>(gui::QtHost::findWindow(QString::fromLatin1(title)));
}

// Gives `w` the focus; false when it does not get it.
inline bool focus(QWidget* w) {
    w->setFocus();
    return QTest::qWaitFor([w] { return w->hasFocus(); });
}

inline void activate(QWidget* w) {
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTRY_COMPARE(QApplication::activeWindow(), w);
}

// A click in the middle of a header section.
inline void clickHeader(QHeaderView* header, int section) {
    const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}
inline void clickHeader(QTableView* list, int section) {
    clickHeader(list->horizontalHeader(), section);
}

inline QStringList column(const QAbstractItemModel* m, int c) {
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r) out << m->index(r, c).data().toString();
    return out;
}
inline QStringList column(QTableView* list, int c) {
    return column(list->model(), c);
}

inline void tick(QTableView* list, int row) {
    QVERIFY(row >= 0);
    list->model()->setData(list->model()->index(row, 0), Qt::Checked, Qt::CheckStateRole);
}

// The keyboard's address, port and password in an export, import or upgrade form.
inline void fillKeyboard(QWidget* w,
                         const store::Ipv4Fields& ip = store::Ipv4Fields::of(198, 51, 100, 2),
                         const char* port = "8000", const char* password = "12345") {
    child<gui::Ipv4Edit>(w, "keyboardIpEdit")->setFields(ip);
    child<QLineEdit>(w, "portEdit")->setText(QString::fromLatin1(port));
    child<QLineEdit>(w, "passwordEdit")->setText(QString::fromLatin1(password));
}

// The base of the view test classes: init() calls makeFixture(), cleanup() tearDown().
class GuiFixture : public QObject {
  protected:
    // A fresh folder, a scripted host, a session and an empty image.
    void makeFixture() {
        dir = std::make_unique<TempDir>();
        host = std::make_unique<gui::QtHost>();
        host->script.active = true;
        session = std::make_unique<store::SessionState>();
        image = std::make_unique<store::ConfigImage>();
    }
    // `im` as a new file starts: the header, `users` (name, password) in the operator records
    // 0, 1, ..., every operator's tables empty.
    static void startFile(store::ConfigImage& im,
                          std::initializer_list<std::pair<const char*, const char*>> users) {
        im.stampCurrentHeader();
        int n = 0;
        for (const auto& [name, password] : users) {
            im.operatorRecord(n).setInUse(1);
            im.operatorRecord(n).setName(name);
            im.operatorRecord(n++).setPassword(password);
        }
        for (int op = 1; op <= 3; ++op) im.clearOperatorTables(op);
    }
    // Saves the image as dir/kbCfg.bin, the session's file from then on.
    void saveImage() {
        store::setConfigPaths(*session, dir->path() / "kbCfg.bin");
        QCOMPARE(store::saveChange(*host, *session, *image), 0);
    }
    void makeContext(remote::NetSdk* sdk = nullptr, remote::Discovery* discovery = nullptr) {
        context = std::make_unique<gui::GuiContext>(
            gui::GuiContext{*host, *session, *image, sdk, discovery});
    }
    void tearDown(QWidget* keep = nullptr) {
        qDeleteAll(findChildren<QTimer*>(Qt::FindDirectChildrenOnly));
        gui::deleteParentlessWindows(keep);
        context.reset();
        dir.reset();
    }

    // The messages shown so far; takeShown() forgets them.
    Msgs shown() const {
        Msgs out;
        for (const auto& s : host->script.shown) out.push_back(static_cast<store::Msg>(s.first));
        return out;
    }
    Msgs takeShown() {
        Msgs out = shown();
        host->script.shown.clear();
        return out;
    }

    // The file as saved, read through a session of its own.
    std::unique_ptr<store::ConfigImage> savedFile() const {
        auto saved = std::make_unique<store::ConfigImage>();
        store::SessionState reader;
        store::setConfigPaths(reader, session->configPath);
        if (store::loadImage(*host, reader, *saved) != 0) qFatal("saved file does not load");
        return saved;
    }

    // Runs `act` on the next modal dialog other than a progress window once it is up (the
    // caller is blocked in its exec meanwhile). The flag turns true once it ran.
    std::shared_ptr<bool> whenModal(std::function<void(QWidget*)> act) {
        auto ran = std::make_shared<bool>(false);
        auto* timer = new QTimer(this);
        timer->setInterval(10);
        connect(timer, &QTimer::timeout, this, [timer, ran, act] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || qobject_cast<QProgressDialog*>(modal) || *ran) return;
            timer->stop();
            timer->deleteLater();
            *ran = true;
            act(modal);
        });
        timer->start();
        return ran;
    }

    std::unique_ptr<TempDir> dir;
    std::unique_ptr<gui::QtHost> host;
    std::unique_ptr<store::SessionState> session;
    std::unique_ptr<store::ConfigImage> image;
    std::unique_ptr<gui::GuiContext> context;
};

}  // namespace kbcfg::testing
