// Opening the files the program reads (profiles, "Tree.txt", "Settings.txt")
// so that no kind of file can hang or exhaust it: the open never blocks (a
// FIFO without a writer would block open() for ever), and only a regular
// file is accepted (a FIFO, a device such as /dev/zero, a directory or a
// socket is refused before a byte is read).
#pragma once

#include <QFile>
#include <QString>

// Opens `path` into `file` for reading with `mode` (ReadOnly, with Text
// where the caller reads text). False when the open fails or the file is
// not a regular one; `file` then stays closed. For a file that opened but
// is not a regular one, `refusal` (when given) says what it is ("not a
// regular file (a FIFO)"); after a failed open it is left empty, as that
// failure is the caller's ordinary one.
//
// On POSIX systems the file is opened with O_NONBLOCK (which has no effect
// on the regular file it accepts) and checked with fstat on the opened
// descriptor, so a file swapped between a check and the open cannot slip
// through. Elsewhere it is a plain open.
bool openRegularFileForReading(QFile& file, const QString& path, QIODevice::OpenMode mode,
                               QString* refusal = nullptr);

// Opens `path` into `file` for appending (the log) without ever blocking in
// open(), then puts the descriptor back in blocking mode. Any kind of file
// is taken (a user may point the log at /dev/null); false when the open
// fails (a FIFO nobody reads, for one).
bool openForAppendingWithoutBlocking(QFile& file, const QString& path, QIODevice::OpenMode mode);

// True when the open `file` is a regular file (false for a FIFO, a device
// and the like, and for a closed file).
bool isOpenRegularFile(const QFile& file);
