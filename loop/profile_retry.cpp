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

std::optional<GammaRamp> ProfileRetry::tryNow(const QString& path, bool* parsedNow) {
    if (parsedNow)
        *parsedNow = false;
    const FileStamp stamp = stampOf(path);
    Attempt& attempt = attempts_[path];
    const bool tried = attempt.at != Clock::time_point{};
    attempt.at = Clock::now();
    if (tried && attempt.stamp == stamp)
        return attempt.curve;
    attempt.stamp = stamp;
    attempt.curve.reset();
    if (!stamp.exists)
        return std::nullopt;
    GammaRamp curve;
    if (!ParseColorProfile(path, curve))
        return std::nullopt;
    attempt.curve = curve;
    if (parsedNow)
        *parsedNow = true;
    if (found_)
        found_(path, curve);
    return curve;
}

std::optional<GammaRamp> ProfileRetry::tryWhenDue(const QString& path, Clock::time_point now) {
    const auto it = attempts_.find(path);
    if (it != attempts_.end() && now - it->second.at < interval_)
        return std::nullopt;
    return tryNow(path);
}
