// Collects the messages written to Qt's debug channel while it lives, in
// the order they were written, and passes nothing on.
#pragma once

#include <QStringList>
#include <QtGlobal>

class DebugCapture {
public:
    DebugCapture() : previous_(qInstallMessageHandler(&DebugCapture::handle)) { active() = this; }
    ~DebugCapture() {
        qInstallMessageHandler(previous_);
        active() = nullptr;
    }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    // The debug messages; any other kind of message is kept apart.
    const QStringList& messages() const { return debug_; }
    const QStringList& otherMessages() const { return other_; }
    void clear() {
        debug_.clear();
        other_.clear();
    }

private:
    static DebugCapture*& active() {
        static DebugCapture* capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (DebugCapture* capture = active())
            (type == QtDebugMsg ? capture->debug_ : capture->other_).append(message);
    }

    QtMessageHandler previous_;
    QStringList debug_;
    QStringList other_;
};
