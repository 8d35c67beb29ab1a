#include "temp_app_dir.h"

#include "log_text.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

TempAppDir::TempAppDir() {
    dir_.setAutoRemove(true);
}

void TempAppDir::writeFile(const QString& name, const QByteArray& content) const {
    QFile f(filePath(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(content);
}

QByteArray TempAppDir::readFile(const QString& name) const {
    QFile f(filePath(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

bool TempAppDir::exists(const QString& name) const {
    return QFile::exists(filePath(name));
}

QProcessEnvironment TempAppDir::isolatedEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("HOME"), path());
    return env;
}

QString TempAppDir::normalisedLog() const {
    return normalisedLogText(readFile(QStringLiteral("Log.txt")));
}

bool TempAppDir::installBinary() {
    const QString source = qEnvironmentVariable("TAVRIN_BINARY");
    if (source.isEmpty() || !QFile::exists(source)) return false;
    QFile::remove(binaryPath());
    if (!QFile::copy(source, binaryPath())) return false;
    return QFile::setPermissions(binaryPath(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadUser |
                                                   QFile::ExeUser);
}

TempAppDir::Run TempAppDir::run(const QStringList& arguments, int timeoutMs,
                                const QProcessEnvironment& env) const {
    Run result;
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(binaryPath(), arguments);
    if (!p.waitForStarted(5000)) return result;
    result.finished = p.waitForFinished(timeoutMs);
    if (!result.finished) {
        // Asked to end as a logout would, then forced.
        p.terminate();
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(2000);
        }
    }
    result.output = p.readAll();
    result.exitCode = p.exitCode();
    return result;
}
