#include "gui/instance_guard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <cstdio>
#include <filesystem>

#include "platform/access.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "store/trusted_path.h"

namespace kbcfg::gui {

namespace {
// Room for the token and a path of the longest accepted length, base64-encoded.
constexpr qint64 kMaxRequest = 4096;
const QByteArray kRequest = "RAISE";
const QByteArray kOpenRequest = "OPEN";

// Only what an activation token can hold goes on; anything else is dropped.
QString cleanToken(const QByteArray& raw) {
    QString token;
    for (char c : raw)
        if (c > 0x20 && c < 0x7F) token += QLatin1Char(c);
    return token;
}

// Whether something lies at the path that is not this user's, or not of the given kind (a file
// for the lock, Other for the socket): what anyone else put there says nothing about a running
// copy.
bool foreign(const QString& path, platform::FileKind kind) {
    std::error_code ec;
    const auto info =
        platform::fileInfo(QFileInfo(path).filesystemFilePath(), platform::Links::NoFollow, ec);
    return info && (info->kind != kind || info->owner != platform::currentUser());
}
}  // namespace

InstanceGuard::InstanceGuard(QString folder, const QString& name)
    : base_(folder.isEmpty()
                ? QString()
                : QDir(folder).filePath(name + QLatin1Char('-') +
                                        QString::fromStdString(platform::currentUser().id))),
      lock_(base_ + QStringLiteral(".lock")) {
    // Stale only when its owner is gone, never by age.
    lock_.setStaleLockTime(0);
}

InstanceGuard::~InstanceGuard() {
    if (server_) server_->close();
}

QString InstanceGuard::defaultFolder() {
    const std::filesystem::path folder = store::privateRuntimeFolder(
        [](const std::filesystem::path& refused, const std::string& why) {
            std::fprintf(stderr, "kbcfg-gui: instance lock not kept in %s: %s\n",
                         platform::utf8(refused).c_str(), why.c_str());
        });
    if (folder.empty())
        std::fprintf(stderr,
                     "kbcfg-gui: no private folder for the instance lock; running without\n");
    return folder.empty() ? QString() : QFileInfo(folder).filePath();
}

bool InstanceGuard::acquire() {
    // No private folder: better a second copy than a lock others could hold.
    if (base_.isEmpty()) return true;
    // A lock file of another user, or anything but a file, is no copy of this user's: it goes.
    if (foreign(lockPath(), platform::FileKind::Regular)) {
        std::error_code ec;
        std::filesystem::remove_all(QFileInfo(lockPath()).filesystemFilePath(), ec);
    }
    if (!lock_.tryLock(0)) return false;
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, any socket left there belongs to a copy that died.
    QLocalServer::removeServer(serverPath());
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) serve(socket);
    });
    // Without the server this copy still runs; a second start then reports it as running.
    server_->listen(serverPath());
    return true;
}

void InstanceGuard::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > kMaxRequest) socket->abort();
            return;
        }
        const QByteArray line = socket->readLine(kMaxRequest).trimmed();
        bool raised = false;
        if (line == kRequest || line.startsWith(kRequest + ' ')) {
            const QString token = cleanToken(line.mid(kRequest.size()));
            raised = onRaiseRequest && onRaiseRequest(token);
        } else if (line.startsWith(kOpenRequest + ' ')) {
            // OPEN <path in base64> [token]: the path may hold spaces and any character.
            const QList<QByteArray> parts = line.mid(kOpenRequest.size() + 1).split(' ');
            const auto decoded = QByteArray::fromBase64Encoding(
                parts.value(0), QByteArray::AbortOnBase64DecodingErrors);
            const QString file = decoded ? QString::fromUtf8(*decoded) : QString();
            if (!file.isEmpty())
                raised = onOpenRequest && onOpenRequest(cleanToken(parts.value(1)), file);
        }
        socket->write(raised ? "1\n" : "0\n");
        socket->flush();
        socket->disconnectFromServer();
    });
}

bool InstanceGuard::askToRaise(const QString& activationToken, int timeoutMs, const QString& file) {
    if (base_.isEmpty()) return false;
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The holder may have taken the lock a moment ago and not be listening yet.
    for (;;) {
        // Only a socket of this user's: a file or file name and the token go to no one else.
        if (!foreign(serverPath(), platform::FileKind::Other)) socket.connectToServer(serverPath());
        if (socket.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime())))) break;
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
    QByteArray request = file.isEmpty() ? kRequest : kOpenRequest + ' ' + file.toUtf8().toBase64();
    const QString token = cleanToken(activationToken.toLatin1());
    if (!token.isEmpty()) request += ' ' + token.toLatin1();
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    return socket.readLine().trimmed() == "1";
}

bool DesktopStartup::raiseRunningCopy() {
    return guard_.askToRaise(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"), 3000, file_);
}

}  // namespace kbcfg::gui
