// What interrupted saves leave behind. A save writes the new content into a
// temporary file and links it in place under a temporary name
// "<file>.XXXXXX" (six letters or digits) before renaming it over the file;
// a process killed between the two steps leaves that complete copy beside
// the file (the file itself is intact).
#pragma once

#include <QString>
#include <QStringList>

// Removes, beside each of `files`, the regular files named after it with a
// dot and six letters or digits ("Settings.txt.aB3xYz"). Nothing else is
// touched: not the file itself, not a name of another length or with other
// characters, not a symbolic link or a directory. Each removal goes to
// the debug output. Returns the number of files removed.
int removeLeftoverSaveFiles(const QStringList& files);
