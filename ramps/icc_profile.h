// Reads the video card gamma table (the `vcgt` tag) of an ICC display profile.
#pragma once

#include <QByteArray>
#include <QString>

#include "ramps/gamma_ramp.h"

// Why a profile gave no curve.
enum class ProfileFailure {
    None,
    Missing,      // no file at that path
    Unreadable,   // there is one, but it cannot be opened or read (or is no regular file)
    NotAProfile,  // its bytes are no RGB display profile
    NoVcgt,       // a display profile without a vcgt table this program can load
};

// The reason in the log's words ("the file does not exist"); empty for None.
const char* profileFailureText(ProfileFailure failure);

// Parses the profile file at `path` (opened by its native file name). On
// success `ramp` receives the file's curve and the result is true; on any
// failure `ramp` is left untouched and `failure` (when given) says why.
// Step-by-step diagnostics go to the debug output (core/debug_output.h).
// Only a regular file is read (a FIFO or a device fails to open at once),
// and only where the checks look: the header, the tag table and the vcgt
// tag, so a file of any size costs what a small profile costs.
//
// With `bytes`, a profile that parses also hands over the file's whole
// content (for publishing it to colour-managed programs) when the file is
// no larger than maxKeptProfileSize; a larger one leaves `bytes` empty.
bool ParseColorProfile(const QString& path, GammaRamp& ramp, ProfileFailure* failure = nullptr,
                       QByteArray* bytes = nullptr);

// The largest profile whose bytes are kept beside its curve. Display
// profiles take kilobytes; one with large colour tables a few megabytes.
inline constexpr qint64 maxKeptProfileSize = 16 * 1024 * 1024;

// The same checks, with the same diagnostics, on bytes already in memory
// (the file's whole content). Never reads outside `data`.
bool parseColorProfileData(const QByteArray& data, GammaRamp& ramp,
                           ProfileFailure* failure = nullptr);
