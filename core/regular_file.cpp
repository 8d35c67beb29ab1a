#include "core/regular_file.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

void say(QString* why, const QString& text) {
    if (why)
        *why = text;
}

#ifndef _WIN32

const char* kindOf(mode_t m) {
    if (S_ISFIFO(m))
        return "a FIFO";
    if (S_ISCHR(m))
        return "a character device";
    if (S_ISBLK(m))
        return "a block device";
    if (S_ISDIR(m))
        return "a directory";
    if (S_ISSOCK(m))
        return "a socket";
    return "not a regular file";
}

// open() with O_NONBLOCK, which never waits for the other end of a FIFO;
// -1 on failure. (On a regular file O_NONBLOCK has no effect.)
int openWithoutBlocking(const QString& path, int flags, mode_t permissions = 0) {
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, permissions);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Puts the descriptor back in blocking mode, so that a FIFO with a reader
// behaves as usual afterwards.
void makeBlocking(int fd) {
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0 && (status & O_NONBLOCK))
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
}

// Hands `fd` to `file`, which closes it from then on.
bool adopt(QFile& file, const QString& path, int fd, QIODevice::OpenMode mode) {
    file.setFileName(path);
    if (file.open(fd, mode, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
}

#endif

}  // namespace

bool openRegularFileForReading(QFile& file, const QString& path, QIODevice::OpenMode mode,
                               QString* refusal) {
    say(refusal, QString());
#ifdef _WIN32
    file.setFileName(path);
    return file.open(mode);
#else
    const int fd = openWithoutBlocking(path, O_RDONLY);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        say(refusal,
            QStringLiteral("not a regular file (%1)").arg(QLatin1String(kindOf(st.st_mode))));
        ::close(fd);
        return false;
    }
    return adopt(file, path, fd, mode);
#endif
}

bool openForAppendingWithoutBlocking(QFile& file, const QString& path, QIODevice::OpenMode mode) {
#ifdef _WIN32
    file.setFileName(path);
    return file.open(mode);
#else
    const int fd = openWithoutBlocking(path, O_WRONLY | O_APPEND | O_CREAT, 0666);
    if (fd < 0)
        return false;
    makeBlocking(fd);
    return adopt(file, path, fd, mode);
#endif
}

bool isOpenRegularFile(const QFile& file) {
    if (!file.isOpen())
        return false;
#ifdef _WIN32
    return !file.isSequential();
#else
    struct stat st {};
    return ::fstat(file.handle(), &st) == 0 && S_ISREG(st.st_mode);
#endif
}
