#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalSocket>

namespace {

constexpr int answerWithinMs = 1000;
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
    : QObject(parent), name_(serverName(dataDirectory)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::receive);
}

bool SingleInstance::askRunning(bool showWindow) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(answerWithinMs))
        return false;
    socket.write(showWindow ? showLine : quietLine);
    socket.waitForBytesWritten(answerWithinMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim(bool showWindow) {
    // Two tries: two copies started at once both find no server, one of
    // them listens first, and the other then finds it.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (askRunning(showWindow))
            return false;
        if (server_.listen(name_))
            return true;
        if (server_.serverError() == QAbstractSocket::AddressInUseError && attempt == 0 &&
            askRunning(showWindow))
            return false;
        // Nobody answers on the name: a socket a killed process left.
        QLocalServer::removeServer(name_);
    }
    return server_.listen(name_);
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
