// Saving a text file so that it is either replaced whole or left as it was.
#pragma once

#include <functional>

#include <QByteArray>
#include <QString>
#include <QTextStream>

// Writes the file at `path` through `write` into a temporary file beside it
// (text mode, the system's 8-bit encoding) and puts it in place of the old
// one only when everything was written. Returns false when the file cannot
// be created, a write fails or the replacement fails; the previous file then
// stays intact, and `error` (when given) says why.
bool saveTextFileAtomically(const QString& path, const std::function<void(QTextStream&)>& write,
                            QString* error = nullptr);
// The same for text that is already bytes, written as they are (line ends
// in the system's form).
bool saveBytesAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);
