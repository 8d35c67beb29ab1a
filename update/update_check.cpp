#include "update/update_check.h"
#include "core/debug_output.h"

#include <QDateTime>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "core/build_config.h"
#include "core/log.h"
#include "storage/settings_file.h"
#include "storage/version_text.h"

namespace {

// What has been read of an answer, kept with the answer.
const char* const bodyProperty = "tavrinBody";
const char* const cutShortProperty = "tavrinCutShort";

}  // namespace

UpdateCheck::UpdateCheck(AppSettings& settings, Log& log, QString settingsFile, QUrl url,
                         QObject* parent)
    : QObject(parent),
      settings_(settings),
      log_(log),
      settingsFile_(std::move(settingsFile)),
      url_(std::move(url)),
      checkTimer_(this),
      networkManager_(new QNetworkAccessManager(this)) {
    checkTimer_.setSingleShot(true);
    connect(&checkTimer_, &QTimer::timeout, this, &UpdateCheck::check);
    connect(networkManager_, &QNetworkAccessManager::finished, this, &UpdateCheck::replyFinished);
}

QString UpdateCheck::versionText(const QByteArray& body) {
    const qsizetype zero = body.indexOf('\0');
    QByteArray text = zero < 0 ? body : body.left(zero);
    text.truncate(maxVersionLength);
    return QString::fromLatin1(text).trimmed();
}

void UpdateCheck::check() {
    if (!TAVRIN_UPDATE_CHECK)
        return;
    if (settings_.updateAvailable) {
        emit updateDialogRequested();
        return;
    }
    checkTimer_.setInterval(checkInterval);
    QNetworkReply* reply = networkManager_->get(QNetworkRequest(url_));
    reply->setReadBufferSize(4096);
    connect(reply, &QIODevice::readyRead, reply, [reply] { collect(reply); });
}

void UpdateCheck::checkIfEnabled() {
    if (settings_.checkForUpdates)
        check();
}

void UpdateCheck::collect(QNetworkReply* reply) {
    // Only the first characters can matter: the rest of a long answer is
    // neither read nor kept.
    QByteArray body = reply->property(bodyProperty).toByteArray();
    const qint64 room = maxVersionLength + 1 - body.size();
    if (room > 0)
        body += reply->read(room);
    reply->setProperty(bodyProperty, body);
    if (body.size() > maxVersionLength || body.contains('\0')) {
        reply->setProperty(cutShortProperty, true);
        reply->abort();
    }
}

void UpdateCheck::replyFinished(QNetworkReply* reply) {
    reply->deleteLater();
    const bool cutByUs = reply->property(cutShortProperty).toBool() &&
                         reply->error() == QNetworkReply::OperationCanceledError;
    if (reply->error() != QNetworkReply::NoError && !cutByUs) {
        qCDebug(tavrinDebug) << "ERROR!";
        qCDebug(tavrinDebug) << reply->errorString();
        return;
    }
    qCDebug(tavrinDebug) << reply->header(QNetworkRequest::ContentTypeHeader).toString();
    qCDebug(tavrinDebug) << reply->header(QNetworkRequest::LastModifiedHeader).toDateTime().toString();
    qCDebug(tavrinDebug) << reply->header(QNetworkRequest::ContentLengthHeader).toULongLong();
    qCDebug(tavrinDebug) << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    qCDebug(tavrinDebug) << reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    if (!cutByUs)
        collect(reply);

    settings_.updateAvailable =
        isNewerVersion(versionText(reply->property(bodyProperty).toByteArray()));
    if (settings_.updateAvailable) {
        {
            LogGroup g = log_.group();
            g.timestamp() << "Update is available.\n\n";
        }
        saveSettings(settingsFile_, settings_, log_);
        emit updateDialogRequested();
    } else {
        checkTimer_.start();
    }
}

void UpdateCheck::restartTimer() {
    checkTimer_.setInterval(checkInterval);
    checkTimer_.start();
}

void UpdateCheck::stopTimer() {
    checkTimer_.stop();
}
