// A small HTTP server on 127.0.0.1 at a free port, in the test's own
// thread: it answers every GET with one prepared response, or accepts and
// never answers. It counts the requests and tells whether the client hung
// up before the whole body was sent.
#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QUrl>

class LoopbackHttpServer : public QTcpServer {
public:
    LoopbackHttpServer();

    // 200 with `body`, or another status with a short text.
    void answer(int status, const QByteArray& body);
    // Connections are accepted and left without an answer.
    void stayQuiet() { quiet_ = true; }

    QUrl url() const;
    int requests() const { return requests_; }
    // The client closed the connection before the body was sent whole.
    bool clientLeftEarly() const { return leftEarly_; }

private:
    void serve();

    int status_ = 200;
    QByteArray body_;
    bool quiet_ = false;
    int requests_ = 0;
    bool leftEarly_ = false;
};
