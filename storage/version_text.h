// Version texts such as "1.05": their syntax and their order.
#pragma once

#include <QString>

#include "core/app_settings.h"

// Digits and dots only, at least three characters, a digit first and last,
// at least one dot and never two dots in a row: "1.05" and "1.0.3" are
// valid; "1", "10", "1.", ".5" and "1..5" are not.
bool isValidVersion(const QString& text);

// True when `text` is a newer version than `than`, compared component by
// component (the digits between dots) by decimal value: "1.10" and "1.05.1"
// are newer than "1.05", "1.5" is equal to it, "1.1" older. A version whose
// components are used up counts as 0 there. Writes the comparison to the debug output.
bool isNewerVersion(const QString& text, const QString& than = QString::fromLatin1(programVersion));
