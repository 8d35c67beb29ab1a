// The update check: fetches the published version number (a plain-text
// file, "U.txt") and, when it is newer than this program, records it in
// the settings (saved) and asks for the update dialog. While nothing newer
// is published it checks again every 24 hours; once an update is known it
// sends no request at all and only asks for the dialog again.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include "core/app_settings.h"

class Log;
class QNetworkAccessManager;
class QNetworkReply;

class UpdateCheck : public QObject {
    Q_OBJECT

public:
    // `settingsFile`: where saveSettings writes the settings.
    UpdateCheck(AppSettings& settings, Log& log, QString settingsFile, QUrl url,
                QObject* parent = nullptr);

    static constexpr int checkInterval = 86400000;  // 24 hours
    // Compared text is cut to this many characters.
    static constexpr int maxVersionLength = 99;

    const QTimer& checkTimer() const { return checkTimer_; }

    // The text of a body that is compared with the program's version: up
    // to its first zero byte, at most maxVersionLength characters, without
    // surrounding white space.
    static QString versionText(const QByteArray& body);

signals:
    // An update is known: the update dialog is to be shown.
    void updateDialogRequested();

public slots:
    void replyFinished(QNetworkReply* reply);
    void check();
    // check(), when checking is switched on.
    void checkIfEnabled();
    // Checks again in 24 hours.
    void restartTimer();
    void stopTimer();

private:
    // Reads what can matter of the answer, and cuts it short once that is
    // read.
    static void collect(QNetworkReply* reply);

    AppSettings& settings_;
    Log& log_;
    const QString settingsFile_;
    const QUrl url_;
    QTimer checkTimer_;
    QNetworkAccessManager* networkManager_;
};
