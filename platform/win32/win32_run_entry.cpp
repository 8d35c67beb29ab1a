#include "platform/win32/win32_run_entry.h"

#include <algorithm>

#include <QSettings>
#include <QString>
#include <QVariant>

namespace {

const char* const runKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const valueName = "Tavrin";

QString qtText(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

std::string Win32RunEntry::commandLine(const std::string& executablePath,
                                       const std::string& arguments) const {
    std::string path = executablePath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "\"" + path + "\" " + arguments;
}

std::optional<std::string> Win32RunEntry::read() {
    QSettings run(qtText(runKey), QSettings::NativeFormat);
    const QVariant value = run.value(qtText(valueName));
    if (!value.isValid())
        return std::nullopt;
    return value.toString().toStdString();
}

bool Win32RunEntry::write(const std::string& commandLine) {
    QSettings run(qtText(runKey), QSettings::NativeFormat);
    run.setValue(qtText(valueName), qtText(commandLine));
    run.sync();
    return run.status() == QSettings::NoError;
}

bool Win32RunEntry::remove() {
    QSettings run(qtText(runKey), QSettings::NativeFormat);
    run.remove(qtText(valueName));
    run.sync();
    return run.status() == QSettings::NoError;
}
