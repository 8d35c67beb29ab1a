#include "storage/atomic_text_file.h"

#include <QSaveFile>

namespace {

// Opens the temporary file in text mode, lets `write` fill it and puts it
// in place when everything was written.
bool commitAtomically(const QString& path, const std::function<bool(QSaveFile&)>& write,
                      QString* error) {
    QSaveFile file(path);
    const auto fail = [&] {
        if (error)
            *error = file.errorString();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return fail();
    if (!write(file)) {
        const bool failed = fail();
        file.cancelWriting();
        return failed;
    }
    return file.commit() || fail();
}

}  // namespace

bool saveTextFileAtomically(const QString& path, const std::function<void(QTextStream&)>& write,
                            QString* error) {
    return commitAtomically(
        path,
        [&](QSaveFile& file) {
            QTextStream out(&file);
            out.setEncoding(QStringConverter::System);
            write(out);
            out.flush();
            return out.status() == QTextStream::Ok && file.flush();
        },
        error);
}

bool saveBytesAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    return commitAtomically(
        path,
        // Flushed here: a write that fails on its way to the disk (a full
        // disk, a size limit) shows as a failed write.
        [&](QSaveFile& file) { return file.write(bytes) == bytes.size() && file.flush(); }, error);
}
