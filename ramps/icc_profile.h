// Reads the video card gamma table (the `vcgt` tag) of an ICC display profile.
#pragma once

#include <QByteArray>
#include <QString>

#include "ramps/gamma_ramp.h"

// Parses the profile file at `path` (opened by its native file name). On
// success `ramp` receives the file's curve and the result is true; on any
// failure `ramp` is left untouched. Step-by-step diagnostics go to qDebug.
bool ParseColorProfile(const QString& path, GammaRamp& ramp);

// The same checks on bytes already in memory (the file's whole content).
// Never reads outside `data`.
bool parseColorProfileData(const QByteArray& data, GammaRamp& ramp);
