#pragma once
// One copy per user: a lock file taken without waiting (a lock left by a copy that died is
// taken over), and a local server beside it through which a second start asks the running copy
// to bring its window to the front. Both live in a folder only this user can write, and a lock
// or socket there that is not this user's is never believed.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "shell/varnel_app.h"

class QLocalServer;
class QLocalSocket;

namespace kbcfg::gui {

class InstanceGuard : public QObject {
    Q_OBJECT
  public:
    // `folder`: where the lock and the socket live; by default a private folder of this user's
    // (store::privateRuntimeFolder). Empty: no such folder, the guard is always acquired.
    explicit InstanceGuard(QString folder = defaultFolder(),
                           const QString& name = QString::fromLatin1(shell::kInstanceName));
    ~InstanceGuard() override;

    static QString defaultFolder();

    // True when this copy now holds the guard; it is held until the guard is destroyed.
    bool acquire();
    // In a second copy: asks the holder to raise its window. True when it did.
    // With a file, the holder is asked to open it in its login dialog instead.
    bool askToRaise(const QString& activationToken, int timeoutMs = 3000, const QString& file = {});

    // The holder's answer to a raise request (given the asker's activation token, maybe empty).
    std::function<bool(const QString& token)> onRaiseRequest;
    // The holder's answer to a request to open a file (the asker's token, the file's path).
    std::function<bool(const QString& token, const QString& file)> onOpenRequest;

    QString lockPath() const { return base_ + QStringLiteral(".lock"); }
    QString serverPath() const { return base_ + QStringLiteral(".socket"); }

  private:
    void serve(QLocalSocket* socket);

    QString base_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
};

// The start-up platform of the desktop tool: the socket check, the guard and the raise request.
class DesktopStartup : public shell::StartupPlatform {
  public:
    DesktopStartup(InstanceGuard& guard, QString file) : guard_(guard), file_(std::move(file)) {}
    bool initSocketLayer() override { return shell::socketLayerUsable(); }
    bool acquireInstance() override { return guard_.acquire(); }
    bool raiseRunningCopy() override;

  private:
    InstanceGuard& guard_;
    QString file_;
};

}  // namespace kbcfg::gui
