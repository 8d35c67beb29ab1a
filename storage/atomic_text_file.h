// Saving a text file so that it is either replaced whole or left as it was.
#pragma once

#include <functional>

#include <QString>
#include <QTextStream>

// Writes the file at `path` through `write` into a temporary file beside it
// (text mode, the system's 8-bit encoding) and puts it in place of the old
// one only when everything was written. Returns false when the file cannot
// be created, a write fails or the replacement fails; the previous file then
// stays intact, and `error` (when given) says why.
bool saveTextFileAtomically(const QString& path, const std::function<void(QTextStream&)>& write,
                            QString* error = nullptr);
