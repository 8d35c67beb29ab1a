#include "wine_program.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

const char* const runKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

QString programFolder() {
    return qEnvironmentVariable("TAVRIN_WINDOWS_PROGRAM");
}

QString prefix() {
    return qEnvironmentVariable("WINEPREFIX");
}

}  // namespace

namespace wine {

QString unavailableReason() {
    if (QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty())
        return QStringLiteral("Wine is not installed");
    if (programFolder().isEmpty() ||
        !QFileInfo::exists(QDir(programFolder()).filePath(executableName())))
        return QStringLiteral("no Windows program to run (TAVRIN_WINDOWS_PROGRAM; "
                              "scripts/check-windows.sh builds it)");
    if (prefix().isEmpty() || !QFileInfo::exists(QDir(prefix()).filePath("system.reg")))
        return QStringLiteral("no Wine prefix (WINEPREFIX; scripts/check-windows.sh makes it)");
    return {};
}

bool installProgram(const QString& directory) {
    const QDir from(programFolder());
    const QDir to(directory);
    QDirIterator it(from.path(), QDir::Files, QDirIterator::Subdirectories);
    bool any = false;
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to.filePath(from.relativeFilePath(source));
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(source, target))
            return false;
        any = true;
    }
    return any;
}

QProcessEnvironment environment(const QString& display) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
        if (name.startsWith(QLatin1String("QT_")))
            env.remove(name);
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    env.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    return env;
}

Result run(const QStringList& arguments, const QString& display, int timeoutMs) {
    Result r;
    QProcess p;
    p.setProcessEnvironment(environment(display));
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("wine"), arguments);
    if (!p.waitForStarted() || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return r;
    }
    r.output = p.readAll();
    r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return r;
}

std::optional<QString> runValue(const QString& display) {
    // "    Tavrin    REG_SZ    <data>" under the key's line; reg fails
    // when the value does not exist.
    const Result r = run({"reg", "query", runKey, "/v", "Tavrin"}, display);
    if (!r.ok)
        return std::nullopt;
    for (const QByteArray& line : r.output.split('\n')) {
        const QString text = QString::fromLocal8Bit(line).trimmed();
        const QString start = QStringLiteral("Tavrin");
        if (!text.startsWith(start))
            continue;
        const qsizetype type = text.indexOf(QLatin1String("REG_SZ"));
        if (type < 0)
            continue;
        return text.mid(type + 6).trimmed();
    }
    return std::nullopt;
}

void removeRunValue(const QString& display) {
    (void)run({"reg", "delete", runKey, "/v", "Tavrin", "/f"}, display);
}

void endPrefix() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* option : {"-k", "-w"}) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(QStringLiteral("wineserver"), {QString::fromLatin1(option)});
        if (p.waitForStarted() && !p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished(2000);
        }
    }
}

}  // namespace wine
