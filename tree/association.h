// Profile associations: what is loaded into a display while it runs in a
// given mode. An association is one text:
//
//   ""                                   nothing associated
//   "LINEAR"                             the linear curve
//   "NULL"                               leave the display alone
//   "RED" "GREEN" "BLUE" "YELLOW" "CYAN" "MAGENTA"   a tint
//   anything else                        the path of an ICC/ICM profile file
//
// Tree::Associate and Tree::SetAssociationMode (tree.h) store associations
// in the Tree; the functions here classify them and hand them to a display.
#pragma once

#include <array>

#include <QByteArray>
#include <QString>
#include <QStringView>

#include "ramps/gamma_ramp.h"

class ActiveDisplayList;
struct Mode;
struct AssociationLookup;

// The eight reserved words, exact and upper-case. A constant array of
// views on string literals: nothing to construct or destroy, so it can be
// used at any time, also by an exit handler that runs after the program's
// function-local statics were destroyed.
inline constexpr std::array<QStringView, 8> reservedAssociationWordList = {
    u"LINEAR", u"NULL", u"RED", u"GREEN", u"BLUE", u"YELLOW", u"CYAN", u"MAGENTA"};
constexpr const std::array<QStringView, 8>& reservedAssociationWords() {
    return reservedAssociationWordList;
}

// True unless `text` is empty or one of the eight reserved words (exact,
// case-sensitive: "linear" names a file).
bool namesProfileFile(const QString& text);

// True when a profile path can be stored in the tree file and read back:
// it holds no double quote and no line break (CR or LF).
bool isStorableProfilePath(const QString& path);

// The longest profile path the system can open: PATH_MAX - 1 bytes in the
// local 8-bit encoding on POSIX systems (4095 on Linux), 32767 characters on
// Windows (the limit with long paths; without them it is 260).
qsizetype maxProfilePathLength();
// True when `path` is no longer than the system allows. Counted without
// converting a text that is already too long by its characters alone.
bool fitsSystemPathLimit(const QString& path);

// Hands an association to the display under `displays`' cursor:
// SetCurrentProfile with the text, then the display's hasCurve becomes
// `hasCurve` (a path whose file did not parse counts as no curve), and when
// it is true the display receives `curve`, clamped to `lutBitDepth` when
// that is not 0, and the profile's `bytes`. Only the display's copy is
// clamped.
void handAssociationToDisplay(ActiveDisplayList& displays, const QString& profile, bool hasCurve,
                              const GammaRamp& curve, const QByteArray& bytes, int lutBitDepth);
// The same for a Mode of the Tree (the main thread, loop stopped) ...
void handAssociationToDisplay(ActiveDisplayList& displays, const Mode& mode, int lutBitDepth);
// ... and for what Tree::lookupAssociation copied out (the watch loop).
void handAssociationToDisplay(ActiveDisplayList& displays, const AssociationLookup& found,
                              int lutBitDepth);
