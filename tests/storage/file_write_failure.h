// Ways to make a save fail in a test, each undone when the test ends.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// While it lives, no file of this process may grow beyond `bytes`: a write
// past that point fails (EFBIG) instead of raising SIGXFSZ. Only the soft
// limit is lowered, so the old one can be put back.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = previous_;
        lowered.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool isActive() const { return active_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

// The file `name` in `dir`, made so that the next save of it fails:
//   "directory"  a directory stands where the file should go;
//   "size limit" the file exists with `previous`, and no file may grow
//                beyond `sizeLimit` bytes, so the new content fails part-way;
//   "read-only"  the file exists with `previous` in a directory that cannot
//                be written (not possible for the superuser: isPossible()
//                is then false).
class SaveFailure {
public:
    SaveFailure(const QString& how, const QTemporaryDir& dir, const QString& name,
                const QByteArray& previous, rlim_t sizeLimit)
        : how_(how), target_(dir.filePath(name)) {
        if (how == "directory") {
            QDir(dir.path()).mkdir(name);
            return;
        }
        if (how == "read-only") {
            if (geteuid() == 0) {
                possible_ = false;
                return;
            }
            QDir(dir.path()).mkdir("read-only");
            target_ = dir.filePath("read-only/" + name);
            lockedDir_ = dir.filePath("read-only");
        }
        writeFile(previous);
        if (!lockedDir_.isEmpty()) {
            QFile::setPermissions(lockedDir_, QFile::ReadOwner | QFile::ExeOwner);
        }
        if (how == "size limit")
            limit_ = std::make_unique<FileSizeLimit>(sizeLimit);
    }
    ~SaveFailure() { release(); }

    bool isPossible() const { return possible_ && (!limit_ || limit_->isActive()); }
    QString target() const { return target_; }

    // Lifts the size limit and makes the directory writable again.
    void release() {
        limit_.reset();
        if (!lockedDir_.isEmpty()) {
            QFile::setPermissions(lockedDir_,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }

    // The target is as it was before the save: the directory still a
    // directory, the file still holding `previous`.
    bool previousIntact(const QByteArray& previous) const {
        if (how_ == "directory")
            return QFileInfo(target_).isDir();
        QFile f(target_);
        return f.open(QIODevice::ReadOnly) && f.readAll() == previous;
    }

    // Files in the target's directory other than the target and the log
    // (a temporary file left behind would show up here).
    QStringList leftovers() const {
        const QFileInfo info(target_);
        QStringList files = info.dir().entryList(QDir::Files | QDir::Hidden);
        files.removeAll(info.fileName());
        files.removeAll("Log.txt");
        return files;
    }

private:
    void writeFile(const QByteArray& content) const {
        QFile f(target_);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(content);
    }

    QString how_;
    QString target_;
    QString lockedDir_;
    bool possible_ = true;
    std::unique_ptr<FileSizeLimit> limit_;
};

inline void addSaveFailureRows() {
    QTest::addColumn<QString>("how");
    QTest::newRow("directory in place of the file") << QString("directory");
    QTest::newRow("write fails part-way") << QString("size limit");
    QTest::newRow("read-only directory") << QString("read-only");
}
