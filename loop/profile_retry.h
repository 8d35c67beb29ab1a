// Profiles the tree names whose files gave no curve when they were read: a
// drive not mounted yet at login, a file moved for a moment. The watch loop
// tries such a file again when a display comes to show its mode, and every
// `interval` while one shows it. A try costs one stat as long as the file
// is as it was at the last failed try; a file that parses is kept here with
// its curve (and handed to the found handler) until the tree holds it.
//
// Used by the loop thread only; the found handler runs on that thread.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include "ramps/gamma_ramp.h"

// What a file that parsed gives: its curve and its bytes.
struct FoundProfile {
    GammaRamp curve;
    QByteArray bytes;
};

class ProfileRetry {
public:
    using Clock = std::chrono::steady_clock;
    using FoundHandler = std::function<void(const QString& path, const FoundProfile& found)>;

    static constexpr std::chrono::milliseconds defaultInterval{10000};

    void setInterval(std::chrono::milliseconds interval) { interval_ = interval; }
    std::chrono::milliseconds interval() const { return interval_; }
    // Told of every file that parses at a try, once per state of the file.
    void setFoundHandler(FoundHandler handler) { found_ = std::move(handler); }

    // The curve of the file at `path` now. The file is parsed again only
    // when it changed since the last try (or was never tried).
    // `parsedNow` (when given) tells whether this try parsed it.
    std::optional<FoundProfile> tryNow(const QString& path, bool* parsedNow = nullptr);
    // tryNow, but only when `interval` has passed since the last try of
    // `path`; nothing otherwise.
    std::optional<FoundProfile> tryWhenDue(const QString& path,
                                           Clock::time_point now = Clock::now());

private:
    // What a stat tells of a file; equal stamps mean nothing changed.
    struct FileStamp {
        bool exists = false;
        qint64 size = 0;
        QDateTime modified;
        QDateTime changed;
        bool operator==(const FileStamp&) const = default;
    };
    struct Attempt {
        FileStamp stamp;
        Clock::time_point at;
        std::optional<FoundProfile> found;  // when the file parsed
    };
    static FileStamp stampOf(const QString& path);

    std::chrono::milliseconds interval_ = defaultInterval;
    FoundHandler found_;
    std::map<QString, Attempt> attempts_;
};
