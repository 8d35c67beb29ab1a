#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

namespace {

constexpr int connectWithinMs = 200;
constexpr int retryEveryMs = 20;
const QByteArray showLine = "show\n";
const QByteArray quietLine = "hello\n";

}  // namespace

QString SingleInstance::serverName(const QString& dataDirectory) {
    const QString canonical = QFileInfo(dataDirectory).canonicalFilePath();
    const QByteArray digest = QCryptographicHash::hash(
        (canonical.isEmpty() ? dataDirectory : canonical).toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("tavrin-") + QString::fromLatin1(digest.toHex().left(24));
}

SingleInstance::SingleInstance(const QString& dataDirectory, QObject* parent)
    : QObject(parent),
      name_(serverName(dataDirectory)),
      lock_(std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(name_ + ".lock"))) {
    // Only a lock whose process is gone is stale, however old.
    lock_->setStaleLockTime(0);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::receive);
}

bool SingleInstance::claim() {
    if (lock_->tryLock(0))
        return true;
    // Where no lock can be made at all (a temporary folder that cannot be
    // written), this copy runs: refusing to would leave the user nothing.
    return lock_->error() == QLockFile::PermissionError ||
           lock_->error() == QLockFile::UnknownError;
}

void SingleInstance::listen() {
    // This process holds the lock: a socket of that name is a killed
    // process's.
    QLocalServer::removeServer(name_);
    server_.listen(name_);
}

bool SingleInstance::askRunning(bool showWindow, int withinMs) {
    QElapsedTimer clock;
    clock.start();
    do {
        QLocalSocket socket;
        socket.connectToServer(name_);
        if (socket.waitForConnected(connectWithinMs)) {
            socket.write(showWindow ? showLine : quietLine);
            socket.waitForBytesWritten(connectWithinMs);
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(retryEveryMs);
    } while (clock.elapsed() < withinMs);
    return false;
}

void SingleInstance::receive() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto read = [this, socket] {
            while (socket->canReadLine())
                if (socket->readLine() == showLine)
                    emit showRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();  // what came with the connection
    }
}
