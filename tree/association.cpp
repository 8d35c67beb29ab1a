#include "tree/association.h"

#include <algorithm>
#include <climits>
#include <optional>

#include <QFile>

#include "core/log.h"
#include "ramps/icc_profile.h"
#include "tree/active_display.h"
#include "tree/node_list.h"
#include "tree/tree.h"

bool namesProfileFile(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QStringView word : reservedAssociationWords())
        if (text == word)
            return false;
    return true;
}

bool isStorableProfilePath(const QString& path) {
    return !path.contains(QLatin1Char('"')) && !path.contains(QLatin1Char('\n')) &&
           !path.contains(QLatin1Char('\r'));
}

qsizetype maxProfilePathLength() {
#if defined(_WIN32)
    return 32767;
#elif defined(PATH_MAX)
    return PATH_MAX - 1;
#else
    return 4095;
#endif
}

bool fitsSystemPathLimit(const QString& path) {
    const qsizetype limit = maxProfilePathLength();
    // Every character takes at least one byte in the 8-bit encoding.
    if (path.size() > limit)
        return false;
#ifdef _WIN32
    return true;
#else
    return QFile::encodeName(path).size() <= limit;
#endif
}

namespace {

// How much of a refused over-long text the log shows.
constexpr qsizetype shownBeginning = 100;

// An association made ready outside the Tree's lock: the profile parsed and
// the outcome logged.
struct PreparedAssociation {
    QString profile;
    bool hasCurve = false;
    GammaRamp curve;
    QByteArray bytes;
};

QString withLineBreaksShown(QString text) {
    return text.replace(QLatin1Char('\n'), QStringLiteral("\\n"))
        .replace(QLatin1Char('\r'), QStringLiteral("\\r"));
}

// Shows a NUL inside a text as \0 (a log line holds no NUL of its own).
QString withNulShown(QString text) {
    return text.replace(QChar(0), QStringLiteral("\\0"));
}

std::optional<PreparedAssociation> prepareAssociation(const QString& text, Log& log,
                                                      UnreadableProfile onUnreadable) {
    PreparedAssociation prepared;
    prepared.profile = text;
    if (!namesProfileFile(text))
        return prepared;
    if (!fitsSystemPathLimit(text)) {
        // Only its beginning: the whole text could be any length, and a
        // tree file would bring it back at every start.
        log.group() << "Refused color profile path longer than the system allows ("
                    << static_cast<int>(std::min<qsizetype>(text.size(), INT_MAX))
                    << " characters): " << withLineBreaksShown(text.left(shownBeginning))
                    << "...\n\n";
        return std::nullopt;
    }
    if (!isStorableProfilePath(text)) {
        log.group() << "Refused color profile path with a double quote or line break: "
                    << withLineBreaksShown(text) << "\n\n";
        return std::nullopt;
    }
    // The system's calls end a file name at a NUL: another file would be
    // read than the one named.
    if (text.contains(QChar(0))) {
        log.group() << "Refused color profile path with a NUL character: "
                    << withNulShown(withLineBreaksShown(text)) << "\n\n";
        return std::nullopt;
    }
    ProfileFailure failure = ProfileFailure::None;
    if (!ParseColorProfile(text, prepared.curve, &failure, &prepared.bytes)) {
        log.group() << "Failed to parse color profile: " << text << "\n("
                    << profileFailureText(failure) << ")\n\n";
        if (onUnreadable == UnreadableProfile::Refuse)
            return std::nullopt;
        return prepared;  // the text without a curve
    }
    log.group() << "Successfully parsed color profile: " << text << "\n\n";
    prepared.hasCurve = true;
    return prepared;
}

// A curve that is no longer used stays in the Mode as it was.
void storeAssociation(Mode& mode, PreparedAssociation&& prepared) {
    mode.profile = std::move(prepared.profile);
    mode.hasCurve = prepared.hasCurve;
    mode.profileBytes = std::move(prepared.bytes);
    if (prepared.hasCurve)
        mode.curve = prepared.curve;
}

}  // namespace

bool Tree::Associate(const QString& text, Log& log, UnreadableProfile onUnreadable) {
    std::optional<PreparedAssociation> prepared = prepareAssociation(text, log, onUnreadable);
    if (!prepared)
        return false;
    const bool parsed = prepared->hasCurve || !namesProfileFile(text);
    auto guard = writeLock();
    storeAssociation(*currentMode_, std::move(*prepared));
    return parsed;
}

bool Tree::SetAssociationMode(bool global, Log& log, const std::optional<QString>& text,
                              UnreadableProfile onUnreadable) {
    Monitor* monitor = currentMonitor_;
    if (monitor == monitorHead_.get())
        return false;

    std::unique_ptr<Mode> releasedMode;
    std::unique_ptr<Resolution> releasedResolutions;
    if (!global) {
        auto guard = writeLock();
        monitor->globalAssociation = false;
        releasedMode = std::move(monitor->globalMode);
    } else {
        auto globalMode = std::make_unique<Mode>();
        if (text) {
            std::optional<PreparedAssociation> prepared =
                prepareAssociation(*text, log, onUnreadable);
            if (prepared)
                storeAssociation(*globalMode, std::move(*prepared));
        }
        auto guard = writeLock();
        monitor->globalAssociation = true;
        releasedResolutions =
            nodelist::detachAll(*monitor->resolutionHead, monitor->resolutionTail);
        releasedMode = std::move(monitor->globalMode);
        monitor->globalMode = std::move(globalMode);
    }
    resetResolutionCursor();
    SelectGlobalMode();
    nodelist::releaseChain(std::move(releasedResolutions));
    return true;
}

void Tree::RestoreProfileCurve(const QString& path, const GammaRamp& curve,
                               const QByteArray& bytes) {
    const auto restore = [&](Mode& mode) {
        if (!mode.hasCurve && mode.profile == path) {
            mode.curve = curve;
            mode.hasCurve = true;
            mode.profileBytes = bytes;
        }
    };
    auto guard = writeLock();
    for (Monitor* m = monitorHead_->nextNode.get(); m; m = m->nextNode.get()) {
        if (m->globalMode)
            restore(*m->globalMode);
        for (Resolution* r = m->resolutionHead->nextNode.get(); r; r = r->nextNode.get())
            for (Mode* mode = r->modeHead->nextNode.get(); mode; mode = mode->nextNode.get())
                restore(*mode);
    }
}

void handAssociationToDisplay(ActiveDisplayList& displays, const QString& profile, bool hasCurve,
                              const GammaRamp& curve, const QByteArray& bytes, int lutBitDepth) {
    displays.SetCurrentProfile(profile);
    displays.SetCurrentHasCurve(hasCurve);
    if (hasCurve) {
        displays.SetCurrentCurve(curve, lutBitDepth);
        displays.SetCurrentProfileBytes(bytes);
    }
}

void handAssociationToDisplay(ActiveDisplayList& displays, const Mode& mode, int lutBitDepth) {
    handAssociationToDisplay(displays, mode.profile, mode.hasCurve, mode.curve, mode.profileBytes,
                             lutBitDepth);
}

void handAssociationToDisplay(ActiveDisplayList& displays, const AssociationLookup& found,
                              int lutBitDepth) {
    handAssociationToDisplay(displays, found.profile, found.hasCurve, found.curve,
                             found.profileBytes, lutBitDepth);
}
