#include "core/log.h"

#include <algorithm>
#include <ctime>

#include <QDir>
#include <QFileInfo>

#include "core/regular_file.h"

namespace {

const char* const runSeparator =
    "\n\n---------------------------------------------------------------\n\n\n";

// "Log.txt" becomes "Log.old.txt", replacing an older one; false when the
// file could not be moved (it then stays where it is).
bool replaceOldLog(const QString& path) {
    const QString old = Log::oldLogPath(path);
    QFile::remove(old);
    return QFile::rename(path, old);
}

}  // namespace

void Log::open(const QString& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
    const QFileInfo existing(path);
    const bool existed = existing.exists();
    // A log that grew past its limit in an earlier run is rotated before
    // this run writes to it.
    if (existed && existing.isFile() && sizeLimit_ > 0 && existing.size() > sizeLimit_)
        (void)replaceOldLog(path);
    openFile();
    if (existed && file_.isOpen()) {
        stream_ << runSeparator;
    }
}

void Log::setSizeLimit(qint64 sizeLimit) {
    std::lock_guard lock(mutex_);
    sizeLimit_ = sizeLimit;
    retryAt_ = 0;
}

QString Log::oldLogPath(const QString& path) {
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString name = suffix.isEmpty()
                             ? info.fileName() + QStringLiteral(".old")
                             : info.completeBaseName() + QStringLiteral(".old.") + suffix;
    return info.dir().filePath(name);
}

void Log::openFile() {
    stream_.setDevice(nullptr);
    if (file_.isOpen())
        file_.close();
    (void)openForAppendingWithoutBlocking(
        file_, path_, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
    stream_.setDevice(&file_);
    stream_.setEncoding(QStringConverter::System);
    stream_.resetStatus();
    regularFile_ = isOpenRegularFile(file_);
}

void Log::rotateIfDue() {
    if (!regularFile_ || sizeLimit_ <= 0)
        return;
    const qint64 size = file_.size();
    if (size <= sizeLimit_ || size < retryAt_)
        return;
    stream_.setDevice(nullptr);
    file_.close();
    const bool rotated = replaceOldLog(path_);
    openFile();
    if (rotated) {
        retryAt_ = 0;
        if (file_.isOpen()) {
            stream_ << runSeparator;
            stream_.flush();
        }
    } else {
        // Appending goes on; the rename is tried again after some growth.
        retryAt_ = size + std::max<qint64>(sizeLimit_ / 16, 1);
    }
}

LogGroup Log::group() {
    return LogGroup(*this);
}

QString Log::timestampText() {
    // "%X" of the C locale, written out as its numeric fields: the
    // application object switches the process to the user's locale, whose
    // "%X" may read otherwise, and numeric fields read alike in every
    // locale. (A strftime that takes a locale is not in every C runtime:
    // Windows' msvcrt.dll has none.)
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char buffer[80];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d.%H:%M:%S", &local);
    return QLatin1Char('[') + QString::fromLatin1(buffer, static_cast<int>(n)) + QLatin1Char(']');
}

QString Log::handleText(const void* handle) {
    return QStringLiteral("0x") + QString::number(reinterpret_cast<quintptr>(handle), 16);
}

LogGroup::LogGroup(Log& log) : log_(&log), lock_(log.mutex_) {}

LogGroup::LogGroup(LogGroup&& other) noexcept : log_(other.log_), lock_(std::move(other.lock_)) {}

LogGroup::~LogGroup() {
    if (lock_.owns_lock()) {
        log_->stream_.flush();
        log_->rotateIfDue();
    }
}

template <typename T>
void LogGroup::write(const T& value) {
    // Without an open file the text is dropped at once instead of piling up
    // in the stream's buffer for the rest of the run.
    if (log_->file_.isOpen())
        log_->stream_ << value;
}

LogGroup& LogGroup::timestamp() {
    write(Log::timestampText());
    return *this;
}

LogGroup& LogGroup::operator<<(const QString& text) {
    write(text);
    return *this;
}

LogGroup& LogGroup::operator<<(const char* text) {
    write(text);
    return *this;
}

LogGroup& LogGroup::operator<<(char c) {
    write(c);
    return *this;
}

LogGroup& LogGroup::operator<<(int value) {
    write(value);
    return *this;
}

LogGroup& LogGroup::operator<<(unsigned value) {
    write(value);
    return *this;
}

LogGroup& LogGroup::operator<<(const void* handle) {
    write(Log::handleText(handle));
    return *this;
}

LogGroup& LogGroup::endl() {
    write('\n');
    log_->stream_.flush();
    return *this;
}

LogGroup& LogGroup::flush() {
    log_->stream_.flush();
    return *this;
}
