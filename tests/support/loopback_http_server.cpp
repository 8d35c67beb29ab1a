#include "loopback_http_server.h"

#include <memory>

#include <QTcpSocket>

LoopbackHttpServer::LoopbackHttpServer() {
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, &LoopbackHttpServer::serve);
}

void LoopbackHttpServer::answer(int status, const QByteArray& body) {
    status_ = status;
    body_ = body;
}

QUrl LoopbackHttpServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/U.txt").arg(serverPort()));
}

void LoopbackHttpServer::serve() {
    while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            *request += socket->readAll();
            if (!request->contains("\r\n\r\n"))
                return;
            ++requests_;
            if (quiet_)
                return;
            const QByteArray reason = status_ == 200 ? "OK" : "Not Found";
            const QByteArray head = "HTTP/1.1 " + QByteArray::number(status_) + " " + reason +
                                    "\r\nContent-Type: text/plain\r\nContent-Length: " +
                                    QByteArray::number(body_.size()) +
                                    "\r\nConnection: close\r\n\r\n";
            socket->write(head);
            socket->write(body_);
            connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
                if (socket->bytesToWrite() == 0)
                    socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                if (socket->bytesToWrite() > 0)
                    leftEarly_ = true;
            });
        });
    }
}
