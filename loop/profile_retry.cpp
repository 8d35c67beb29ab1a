#include "loop/profile_retry.h"

#include <QFileInfo>

#include "ramps/icc_profile.h"

ProfileRetry::FileStamp ProfileRetry::stampOf(const QString& path) {
    const QFileInfo info(path);  // one stat
    FileStamp stamp;
    stamp.exists = info.exists();
    if (stamp.exists) {
        stamp.size = info.size();
        stamp.modified = info.lastModified();
        stamp.changed = info.metadataChangeTime();
    }
    return stamp;
}

std::optional<FoundProfile> ProfileRetry::tryNow(const QString& path, bool* parsedNow) {
    if (parsedNow)
        *parsedNow = false;
    const FileStamp stamp = stampOf(path);
    Attempt& attempt = attempts_[path];
    const bool tried = attempt.at != Clock::time_point{};
    attempt.at = Clock::now();
    if (tried && attempt.stamp == stamp)
        return attempt.found;
    attempt.stamp = stamp;
    attempt.found.reset();
    if (!stamp.exists)
        return std::nullopt;
    FoundProfile found;
    if (!ParseColorProfile(path, found.curve, nullptr, &found.bytes))
        return std::nullopt;
    attempt.found = found;
    if (parsedNow)
        *parsedNow = true;
    if (found_)
        found_(path, found);
    return found;
}

std::optional<FoundProfile> ProfileRetry::tryWhenDue(const QString& path, Clock::time_point now) {
    const auto it = attempts_.find(path);
    if (it != attempts_.end() && now - it->second.at < interval_)
        return std::nullopt;
    return tryNow(path);
}
