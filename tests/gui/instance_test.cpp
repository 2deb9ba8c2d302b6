// The single-instance guard driven twice in one process, its stale-lock recovery, and the start
// of the built program timed on the offscreen platform.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <memory>
#include <string_view>
#include <thread>

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <filesystem>
#include <fstream>

#include "gui/app_identity.h"
#include "gui/gui_context.h"
#include "gui/gui_test.h"
#include "gui/instance_guard.h"
#include "gui/main_view.h"
#include "gui/qt_host.h"
#include "gui/userlogin_view.h"
#include "gui/varnel_dlg_view.h"
#include "shell/varnel_app.h"
#include "support/temp_dir.h"

using kbcfg::gui::InstanceGuard;
using kbcfg::gui::QtHost;
using namespace std::string_view_literals;

namespace {

// A second start's request, from another thread: the first copy's event loop must answer it.
bool askFromAnotherThread(InstanceGuard& second, const QString& token = {},
                          const QString& file = {}) {
    std::atomic<int> result{-1};
    std::thread asker([&] { result = second.askToRaise(token, 2000, file) ? 1 : 0; });
    QElapsedTimer waited;
    waited.start();
    while (result < 0 && waited.elapsed() < 3000) QTest::qWait(5);
    asker.join();
    return result == 1;
}

// Starts the built program offscreen in a runtime folder of its own; KBCFG_REPORT_SHOWN set to
// `reportShown` unless that is empty.
void startGui(QProcess& gui, const QString& runtime, const char* reportShown,
              const QStringList& arguments = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    if (*reportShown)
        env.insert(QStringLiteral("KBCFG_REPORT_SHOWN"), QString::fromLatin1(reportShown));
    gui.setProcessEnvironment(env);
    gui.setWorkingDirectory(runtime);
    gui.start(QStringLiteral(KBCFG_GUI_PATH), arguments);
}

// The process id of a process that has ended.
qint64 deadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

}  // namespace

class TestInstance : public QObject {
    Q_OBJECT

  private slots:
    void secondCopyIsRefusedAndAsksTheFirst() {
        QTemporaryDir dir;
        QtHost host;
        auto first = std::make_unique<InstanceGuard>(dir.path());
        QVERIFY(first->acquire());
        first->onRaiseRequest = [&host](const QString& token) {
            host.setActivationToken(token);
            return kbcfg::shell::CvarnelApp::raiseRequested(host);
        };
        InstanceGuard second(dir.path());
        QVERIFY(!second.acquire());

        // Only the mode dialog: not raised, the second start will say it is running.
        QWidget modes;
        modes.setWindowTitle(QStringLiteral("Modes"));
        modes.show();
        QVERIFY(!askFromAnotherThread(second));

        // A minimised login window comes back.
        QWidget login;
        login.setWindowTitle(QStringLiteral("Login"));
        login.showMinimized();
        QVERIFY(askFromAnotherThread(second, QStringLiteral("token-1")));
        QTRY_VERIFY(!login.isMinimized());
        // The activation token travelled with the request.
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), QByteArray("token-1"));
        qunsetenv("XDG_ACTIVATION_TOKEN");

        // Once the first copy has ended, the next start holds the guard.
        login.hide();
        modes.hide();
        first.reset();
        InstanceGuard third(dir.path());
        QVERIFY(third.acquire());
    }

    void modeDialogBringsBackAMinimisedWorkWindow() {
        QtHost host;
        kbcfg::store::SessionState session;
        kbcfg::store::ConfigImage image;
        kbcfg::gui::GuiContext context{host, session, image};
        kbcfg::gui::VarnelDlgView modes(context);
        modes.show();
        // Delivered through the window, as the platform does, so that modality applies.
        const auto press = [&](const QString& way) {
            if (auto* button = modes.findChild<QWidget*>(way))
                QTest::mouseClick(modes.windowHandle(), Qt::LeftButton, {},
                                  button->geometry().center());
            else if (way == "Esc")
                QTest::keyClick(modes.windowHandle(), Qt::Key_Escape);
            else
                modes.windowHandle()->close();
        };
        const auto shown = [] {
            QStringList titles;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && !qobject_cast<kbcfg::gui::VarnelDlgView*>(w))
                    titles << w->windowTitle();
            return titles;
        };
        // The main window (also with a page's dialog over it), and the export and upgrade windows.
        for (const QString work : {"", "page", "remoteButton", "upgradeButton"}) {
            for (const QString way :
                 {"localButton", "remoteButton", "upgradeButton", "Esc", "close"}) {
                QPointer<QWidget> window;
                if (work.endsWith("Button")) {
                    press(work);
                    window = QApplication::activeWindow();
                } else {
                    window = kbcfg::gui::openMainWindow(context);
                }
                if (work == "page") (new QDialog(window))->open();
                const QStringList open = shown();
                window->showMinimized();
                modes.activateWindow();
                QTRY_COMPARE(QApplication::activeWindow(), &modes);
                press(way);
                QTRY_VERIFY2(!window->isMinimized() && window->isVisible(), qPrintable(work + way));
                QCOMPARE(shown(), open);  // nothing opened beside it
                QVERIFY(modes.isVisible());
                delete window;
            }
        }
    }

    void windowsCarryTheMenuEntryAndItsIcon() {
        kbcfg::gui::setApplicationIdentity();
        // The menu entry named by the desktop file name, and the class X11 gives the windows.
        QFile entry(QStringLiteral(KBCFG_SOURCE_DIR "/data/") + QGuiApplication::desktopFileName() +
                    QStringLiteral(".desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains(
            "\nStartupWMClass=" + QCoreApplication::applicationName().toUtf8() + '\n'));
        const QIcon icon = QApplication::windowIcon();
        for (int size : {16, 32, 48, 64, 128, 256})
            QVERIFY(icon.availableSizes().contains(QSize(size, size)) &&
                    !icon.pixmap(size).isNull());
    }

    void fileGoesToTheRunningCopy() {
        QTemporaryDir dir;
        InstanceGuard first(dir.path());
        QVERIFY(first.acquire());
        QString got, gotToken;
        first.onOpenRequest = [&](const QString& token, const QString& file) {
            gotToken = token;
            got = file;
            return true;
        };
        InstanceGuard second(dir.path());
        const QString file = QStringLiteral("/tmp/a b/\u00fcber ") + QString(120, QLatin1Char('x'));
        QVERIFY(askFromAnotherThread(second, QStringLiteral("t-2"), file));
        QCOMPARE(got, file);
        QCOMPARE(gotToken, QStringLiteral("t-2"));
        // A plain raise does not reach the file handler.
        got.clear();
        QVERIFY(!askFromAnotherThread(second));
        QVERIFY(got.isEmpty());
    }

    void startWithAFileOpensTheLoginWithIt() {
        kbcfg::testing::TempDir dir;
        const std::filesystem::path file = dir.path() / "site" / "kbCfg.bin";
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << "image";
        QtHost host;
        host.script.active = true;
        kbcfg::store::SessionState session;
        kbcfg::store::ConfigImage image;
        kbcfg::gui::GuiContext context{host, session, image};
        {
            kbcfg::gui::VarnelDlgView modes(context);
            modes.show();
            modes.openLoginWith(QString::fromStdString(file.string()));
            auto* login = modes.findChild<kbcfg::gui::UserloginView*>();
            QVERIFY(login);
            QTRY_VERIFY(login->isVisible());
            QCOMPARE(login->findChild<QLineEdit*>(QStringLiteral("pathEdit"))->text(),
                     QString::fromStdString(file.string()));
            QVERIFY(std::filesystem::exists(file.parent_path() / "Backup" / "kbCfg.bin"));

            // A second file goes to the same dialog; one over the length limit is refused.
            modes.openLoginWith(QStringLiteral("/") + QString(130, QLatin1Char('d')) +
                                QStringLiteral("/kbCfg.bin"));
            QCOMPARE(modes.findChildren<kbcfg::gui::UserloginView*>().size(), 1);
            QCOMPARE(host.script.shown.size(), size_t(1));
            QCOMPARE(host.script.shown[0].first,
                     kbcfg::store::messageNumber(kbcfg::store::Msg::PathTooLong));
            login->reject();
        }
        kbcfg::gui::deleteParentlessWindows();
    }

    void secondProgramStartHandsItsFileToTheFirst() {
        QTemporaryDir runtime;
        InstanceGuard first(runtime.path());
        QVERIFY(first.acquire());
        QString got;
        first.onOpenRequest = [&](const QString&, const QString& file) {
            got = file;
            return true;
        };
        QProcess gui;
        startGui(gui, runtime.path(), "", {QStringLiteral("my kbCfg.bin")});
        QTRY_VERIFY_WITH_TIMEOUT(gui.state() == QProcess::NotRunning, 10000);
        QCOMPARE(gui.exitCode(), 0);
        // Relative to where the second copy started.
        QCOMPARE(got, QDir(runtime.path()).filePath(QStringLiteral("my kbCfg.bin")));
    }

    void requestsOtherThanRaiseAreRefused() {
        QTemporaryDir dir;
        InstanceGuard first(dir.path());
        QVERIFY(first.acquire());
        int asked = 0;
        first.onRaiseRequest = [&](const QString&) { return ++asked > 0; };
        for (const QByteArray& request :
             {QByteArray("HELLO\n"), QByteArray("RAISEX\n"), QByteArray(2000, 'x') + '\n'}) {
            std::atomic<int> reply{-1};
            std::thread client([&] {
                QLocalSocket socket;
                socket.connectToServer(first.serverPath());
                if (!socket.waitForConnected(1000)) return void(reply = 9);
                socket.write(request);
                socket.waitForBytesWritten(1000);
                while (!socket.canReadLine() && socket.waitForReadyRead(1000)) {
                }
                reply = socket.readLine().trimmed() == "1" ? 1 : 0;
            });
            QElapsedTimer waited;
            waited.start();
            while (reply < 0 && waited.elapsed() < 3000) QTest::qWait(5);
            client.join();
            QCOMPARE(int(reply), 0);
        }
        QCOMPARE(asked, 0);
    }

    void lockOfACopyThatDiedIsTakenOver() {
        QTemporaryDir dir;
        InstanceGuard guard(dir.path());
        // A lock and a socket left behind by a copy that was killed.
        QFile lock(guard.lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadPid()) + '\n' +
                   QCoreApplication::applicationName().toUtf8() + '\n' +
                   QSysInfo::machineHostName().toUtf8() + '\n');
        lock.close();
        QFile socket(guard.serverPath());
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();

        QVERIFY(guard.acquire());
        guard.onRaiseRequest = [](const QString&) { return true; };
        InstanceGuard second(dir.path());
        QVERIFY(!second.acquire());
        QVERIFY(askFromAnotherThread(second));
    }

    void lockLivesWhereOnlyThisUserCanWrite() {
        if (::geteuid() != 0) QSKIP("needs root to make files of another user");
        namespace fs = std::filesystem;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), cache = qgetenv("XDG_CACHE_HOME");
        // XDG_RUNTIME_DIR: another user's, a link to a good one, one the group can write, a good
        // one holding another user's lock of a live copy, none. The other folder: XDG_CACHE_HOME.
        for (const char* run : {"foreign", "link", "shared", "good", ""}) {
            kbcfg::testing::TempDir top;
            const fs::path t = fs::canonical(top.path());
            for (const char* name : {"good", "foreign", "shared", "cache"})
                fs::create_directory(t / name);
            ::chmod((t / "good").c_str(), 0700);
            ::chmod((t / "shared").c_str(), 0770);  // and a group of others
            QVERIFY(::chown((t / "shared").c_str(), 0, 65534) == 0);
            QCOMPARE(::chown((t / "foreign").c_str(), 65534, 65534), 0);
            fs::create_directory_symlink(t / "good", t / "link");
            qputenv("XDG_RUNTIME_DIR", *run ? QByteArray::fromStdString(t / run) : QByteArray());
            qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(t / "cache"));
            const QString folder = InstanceGuard::defaultFolder();
            QCOMPARE(folder,
                     QString::fromStdString(t / (run == "good"sv ? "good" : "cache/kbcfg")));
            struct stat st {};
            QVERIFY(::lstat(folder.toLocal8Bit().constData(), &st) == 0 &&
                    st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700);
            InstanceGuard guard(folder);
            std::ofstream(guard.lockPath().toStdString())
                << ::getpid() << '\n'
                << QCoreApplication::applicationName().toStdString() << "\n\n";
            QCOMPARE(::chown(guard.lockPath().toLocal8Bit().constData(), 65534, 65534), 0);
            QVERIFY(guard.acquire());
        }
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("XDG_CACHE_HOME", cache);
    }

    void programShowsTheModeDialogQuickly() {
        QTemporaryDir runtime;
        QProcess gui;
        QElapsedTimer clock;
        clock.start();
        startGui(gui, runtime.path(), "quit");
        QVERIFY(gui.waitForFinished(10000));
        const qint64 total = clock.elapsed();
        QCOMPARE(gui.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gui.exitCode(), 0);
        const QByteArray out = gui.readAllStandardOutput();
        QVERIFY2(out.startsWith("modes shown after "), out.constData());
        qInfo("start to mode dialog: %s (whole run %lld ms)", out.trimmed().constData() + 12,
              total);
        // Generous here: the machine may be busy with other tests.
        QVERIFY(total < 3000);
    }

    void terminationEndsTheRunAndFreesTheGuard() {
        QTemporaryDir runtime;
        QProcess gui;
        startGui(gui, runtime.path(), "1");
        QVERIFY(gui.waitForReadyRead(10000));
        InstanceGuard probe(runtime.path());
        QVERIFY(!probe.acquire());
        gui.terminate();
        QVERIFY(gui.waitForFinished(10000));
        QCOMPARE(gui.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gui.exitCode(), 0);
        QVERIFY(!QFile::exists(probe.lockPath()));
        QVERIFY(probe.acquire());
    }
};

KBCFG_GUI_TEST(TestInstance)
#include "instance_test.moc"
