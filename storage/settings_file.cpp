#include "storage/settings_file.h"
#include "core/debug_output.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <optional>

#include <QDebug>
#include <QFile>
#include <QTextStream>

#include "core/log.h"
#include "core/regular_file.h"
#include "storage/atomic_text_file.h"

namespace {

int valueOf(bool v) {
    return v ? 1 : 0;
}
int valueOf(int v) {
    return v;
}
template <typename T>
int valueOf(const std::atomic<T>& v) {
    return valueOf(v.load(std::memory_order_relaxed));
}

void assign(bool& target, int v) {
    target = v != 0;
}
void assign(int& target, int v) {
    target = v;
}
template <typename T>
void assign(std::atomic<T>& target, int v) {
    T plain{};
    assign(plain, v);
    target.store(plain, std::memory_order_relaxed);
}

template <auto member>
int getValue(const AppSettings& s) {
    return valueOf(s.*member);
}
template <auto member>
void setValue(AppSettings& s, int v) {
    assign(s.*member, v);
}

bool isSwitch(std::int64_t v) {
    return v == 0 || v == 1;
}
bool isPeriod(std::int64_t v) {
    return v >= 0 && v <= INT_MAX;
}
bool isBitDepth(std::int64_t v) {
    return v == 0 || v == 8 || v == 10;
}
bool isRunOnStartup(std::int64_t v) {
    return v >= 0 && v <= 3;
}

struct SettingKey {
    const char* name;
    bool (*accepts)(std::int64_t);
    int (*get)(const AppSettings&);
    void (*set)(AppSettings&, int);
};

template <auto member>
constexpr SettingKey setting(const char* name, bool (*accepts)(std::int64_t)) {
    return {name, accepts, getValue<member>, setValue<member>};
}

// In the order the writer puts them in the file.
const std::array<SettingKey, 10> settingKeys = {
    setting<&AppSettings::defCPAssocMode>("defCPAssocMode", isSwitch),
    setting<&AppSettings::loadLinearCurveByDefault>("loadLinearCurveByDefault", isSwitch),
    setting<&AppSettings::loadLinearCurveOnExit>("loadLinearCurveOnExit", isSwitch),
    setting<&AppSettings::lockLoadedProfiles>("lockLoadedProfiles", isSwitch),
    setting<&AppSettings::pollingPeriod>("pollingPeriod", isPeriod),
    setting<&AppSettings::LUTBitDepth>("LUTBitDepth", isBitDepth),
    setting<&AppSettings::enableTrayIcon>("enableTrayIcon", isSwitch),
    setting<&AppSettings::checkForUpdates>("checkForUpdates", isSwitch),
    setting<&AppSettings::updateAvailable>("updateAvailable", isSwitch),
    setting<&AppSettings::runOnStartup>("runOnStartup", isRunOnStartup),
};

// Kept only when the file was written by this very version.
constexpr int updateAvailableIndex = 8;

int keyIndex(const QString& word) {
    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        if (word == QLatin1String(settingKeys[i].name))
            return static_cast<int>(i);
    }
    return -1;
}

int digitValue(QChar c, int base) {
    int d = -1;
    if (c >= u'0' && c <= u'9') {
        d = c.unicode() - u'0';
    } else if (c >= u'a' && c <= u'z') {
        d = c.unicode() - u'a' + 10;
    } else if (c >= u'A' && c <= u'Z') {
        d = c.unicode() - u'A' + 10;
    }
    return d < base ? d : -1;
}

// A whole word as an integer in the syntax QTextStream reads: an optional
// sign followed by decimal digits, or without sign "0x"/"0X" and hexadecimal
// digits, "0b"/"0B" and binary digits, or a leading 0 and octal digits.
// Nothing when the word is not such an integer. Values too large for 64 bits
// saturate instead of wrapping, so they stay out of every accepted range.
std::optional<std::int64_t> parseSettingInteger(const QString& word) {
    qsizetype pos = 0;
    bool negative = false;
    int base = 10;
    if (word.startsWith(u'+') || word.startsWith(u'-')) {
        negative = word.front() == u'-';
        pos = 1;
    } else if (word.size() >= 2 && word[0] == u'0') {
        const QChar prefix = word[1].toLower();
        if (prefix == u'x') {
            base = 16;
            pos = 2;
        } else if (prefix == u'b') {
            base = 2;
            pos = 2;
        } else if (prefix >= u'0' && prefix <= u'7') {
            base = 8;
            pos = 1;
        }
    }
    if (pos >= word.size())
        return std::nullopt;
    constexpr std::uint64_t limit = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    for (; pos < word.size(); ++pos) {
        const int d = digitValue(word[pos], base);
        if (d < 0)
            return std::nullopt;
        magnitude = magnitude > (limit - d) / base ? limit : magnitude * base + d;
    }
    if (negative)
        return magnitude >= limit ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    return magnitude >= limit ? INT64_MAX : static_cast<std::int64_t>(magnitude);
}

// Reads the optional version header. Nothing when the file must be refused;
// otherwise whether the header names exactly this program's version. The
// stream is left at the first setting.
std::optional<bool> readVersionHeader(QTextStream& in, Log& log) {
    QString first;
    in >> first;
    if (!first.startsWith(u'[')) {
        in.seek(0);
        return false;
    }
    const qsizetype close = first.indexOf(u']');
    const QString version = first.mid(1, close - 1);
    if (close < 0 || version.size() > maxSettingsVersionLength || !isValidVersion(version) ||
        isNewerVersion(version)) {
        qCDebug(tavrinDebug, "returning");
        return std::nullopt;
    }
    log.group() << "version = " << version << "\n";
    return version == QLatin1String(programVersion);
}

}  // namespace

bool readSettings(const QString& path, AppSettings& settings, Log& log) {
    // Never blocks on a FIFO, never reads a device without end.
    QFile file;
    QString refusal;
    if (!openRegularFileForReading(file, path, QIODevice::ReadOnly | QIODevice::Text, &refusal)) {
        if (!refusal.isEmpty())
            qCDebug(tavrinDebug).noquote() << "Settings file refused:" << refusal;
        return false;
    }
    QTextStream in(&file);
    in.setEncoding(QStringConverter::System);

    const std::optional<bool> headerIsOurs = readVersionHeader(in, log);
    if (!headerIsOurs)
        return false;

    std::array<bool, settingKeys.size()> seen{};
    while (!in.atEnd()) {
        QString keyWord;
        QString equals;
        QString valueWord;
        in >> keyWord >> equals;
        if (keyWord.size() > maxSettingsWordLength || equals != u"=")
            return false;
        in >> valueWord;
        const std::optional<std::int64_t> value = parseSettingInteger(valueWord);
        if (!value)
            return false;

        const int index = keyIndex(keyWord);
        if (index < 0)
            continue;
        const SettingKey& key = settingKeys[index];
        if (seen[index])
            return false;
        seen[index] = true;
        if (!key.accepts(*value))
            return false;

        int stored = static_cast<int>(*value);
        const bool clamped = index == updateAvailableIndex && !*headerIsOurs;
        if (clamped)
            stored = 0;
        key.set(settings, stored);
        log.group() << key.name << " = " << stored << (clamped ? " (clamped)\n" : "\n");
    }
    return std::all_of(seen.begin(), seen.end(), [](bool s) { return s; });
}

bool writeSettings(const QString& path, const AppSettings& settings, QString* error) {
    return saveTextFileAtomically(path, [&](QTextStream& out) {
        out << '[' << programVersion << ']';
        for (const SettingKey& key : settingKeys) {
            out << '\n' << key.name << " = " << key.get(settings);
        }
    }, error);
}

bool saveSettings(const QString& path, const AppSettings& settings, Log& log) {
    return logSave(log, false, "Settings",
                   [&](QString& why) { return writeSettings(path, settings, &why); });
}
