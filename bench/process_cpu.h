// The CPU time a process has taken so far (user and system, all its
// threads, those that ended included), from /proc: whole, but counted in
// clock ticks (10 ms), so a window of a minute needs the finer TaskClock
// beside it.
#pragma once

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <unistd.h>

#include <optional>

#include <QProcess>
#include <QStandardPaths>

inline double processCpuSeconds(long long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t end = text.rfind(')');
    if (end == std::string::npos)
        return 0;
    // Fields after the command name in parentheses: utime and stime are the
    // 14th and 15th fields of the line.
    std::istringstream rest(text.substr(end + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// What `perf stat -e task-clock` counts of a process over a window: the
// time on a CPU of every thread it has when the window begins, to the
// nanosecond, those that end meanwhile included (their counts stay with
// perf). Start it, then take the result when the window is over.
class TaskClock {
public:
    // Starts counting `pid` for `seconds`; false when perf is not here.
    bool start(long long pid, int seconds) {
        const QString perf = QStandardPaths::findExecutable(QStringLiteral("perf"));
        if (perf.isEmpty())
            return false;
        perf_.start(perf, {QStringLiteral("stat"), QStringLiteral("-x"), QStringLiteral(","),
                           QStringLiteral("-e"), QStringLiteral("task-clock"),
                           QStringLiteral("-p"), QString::number(pid), QStringLiteral("--"),
                           QStringLiteral("sleep"), QString::number(seconds)});
        return perf_.waitForStarted();
    }
    // The seconds counted; nothing when perf could not count.
    std::optional<double> seconds() {
        if (!perf_.waitForFinished(-1) || perf_.exitCode() != 0)
            return std::nullopt;
        // "12.34,msec,task-clock,..." on standard error.
        for (const QByteArray& line : perf_.readAllStandardError().split('\n')) {
            const QList<QByteArray> fields = line.split(',');
            bool ok = false;
            const double ms = fields.value(0).toDouble(&ok);
            if (ok && fields.size() > 2 && fields[2].startsWith("task-clock"))
                return ms / 1e3;
        }
        return std::nullopt;
    }

private:
    QProcess perf_;
};
