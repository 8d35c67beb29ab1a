// "Log.txt": the program's human-readable record of everything it does.
//
// Both threads write to it. Every write happens inside a write group that
// holds the log's mutex from its first text to its flush, so two threads'
// groups never interleave:
//
//     {
//         LogGroup g = log.group();
//         g.timestamp();
//         g << "Saving Tree...\n";
//     }   // flushed and released here
//
// The log is kept bounded the way logrotate does it: once "Log.txt" has
// passed its size limit (16 MiB), it becomes "Log.old.txt" beside it
// (replacing an older one) and a new "Log.txt" begins with the run
// separator. This is checked when the log is opened and at the end of every
// write group, under the log's mutex, so a group never straddles the two
// files and no text is lost between them.
#pragma once

#include <functional>
#include <mutex>
#include <type_traits>

#include <QFile>
#include <QString>
#include <QTextStream>

class LogGroup;

class Log {
public:
    static constexpr qint64 defaultSizeLimit = 16 * 1024 * 1024;

    // `sizeLimit`: the size in bytes past which the file is rotated (0 or
    // less: never).
    explicit Log(qint64 sizeLimit = defaultSizeLimit) : sizeLimit_(sizeLimit) {}
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // Opens `path` for appending in text mode (never blocking in open(),
    // whatever kind of file it is). When the file existed before, the run
    // separator is written first; an existing file past the size limit is
    // rotated first, so the separator begins the new file. A failed open is
    // not reported: the log's writes then go nowhere and the program carries
    // on.
    void open(const QString& path);

    void setSizeLimit(qint64 sizeLimit);

    // The rotated log beside `path`: "Log.old.txt" for "Log.txt".
    static QString oldLogPath(const QString& path);

    // Starts a write group; the log stays locked until the group ends.
    LogGroup group();

    // Told of every save that failed (what: "Tree" or "Settings"; why, when
    // known), so that the user sees it too: the log can be the very file
    // that cannot be written. Set once, before the saves begin.
    using SaveFailureNotice = std::function<void(const QString& what, const QString& why)>;
    void setSaveFailureNotice(SaveFailureNotice notice) { saveFailureNotice_ = std::move(notice); }
    void noticeSaveFailure(const QString& what, const QString& why) const {
        if (saveFailureNotice_)
            saveFailureNotice_(what, why);
    }

    // The stamp "[" + "%Y-%m-%d.%X" (C locale) + "]" for the current time.
    static QString timestampText();

    static QString handleText(const void* handle);

private:
    friend class LogGroup;
    // With the mutex held.
    void openFile();
    // With the mutex held and the stream flushed: rotates a file that has
    // passed the limit.
    void rotateIfDue();

    std::mutex mutex_;
    qint64 sizeLimit_;
    QString path_;
    QFile file_;
    QTextStream stream_;
    // Only a regular file is rotated (not /dev/null, not a FIFO).
    bool regularFile_ = false;
    // After a rotation that could not rename the file (another program
    // holds it open), the size at which to try again.
    qint64 retryAt_ = 0;
    SaveFailureNotice saveFailureNotice_;
};

class LogGroup {
public:
    LogGroup(LogGroup&& other) noexcept;
    LogGroup(const LogGroup&) = delete;
    LogGroup& operator=(const LogGroup&) = delete;
    ~LogGroup();

    // Writes the timestamp; text must follow in the same group.
    LogGroup& timestamp();
    LogGroup& operator<<(const QString& text);
    LogGroup& operator<<(const char* text);
    LogGroup& operator<<(char c);
    LogGroup& operator<<(int value);
    LogGroup& operator<<(unsigned value);
    // A device-context handle, as "0x" and lowercase hexadecimal digits.
    LogGroup& operator<<(const void* handle);
    // A line break and a flush.
    LogGroup& endl();
    LogGroup& flush();

private:
    friend class Log;
    explicit LogGroup(Log& log);
    template <typename T>
    void write(const T& value);
    Log* log_;
    std::unique_lock<std::mutex> lock_;
};

// The logged save of a file: "Saving <what>...\n" (after a timestamp when
// `timestamped`), then "Successfully saved <what>.\n" or
// "Failed to save <what>.\n" by the result of `write`, then an empty line.
// A failure is also handed to the log's save-failure notice, with the reason
// a writer taking a QString& gives. Returns the result of `write`.
template <typename Writer>
bool logSave(Log& log, bool timestamped, const char* what, Writer&& write) {
    {
        LogGroup g = log.group();
        if (timestamped)
            g.timestamp();
        g << "Saving " << what << "...\n";
    }
    QString why;
    bool ok = false;
    if constexpr (std::is_invocable_v<Writer, QString&>)
        ok = write(why);
    else
        ok = write();
    {
        LogGroup g = log.group();
        g << (ok ? "Successfully saved " : "Failed to save ") << what << ".\n";
    }
    log.group() << "\n";
    if (!ok)
        log.noticeSaveFailure(QString::fromLatin1(what), why);
    return ok;
}
