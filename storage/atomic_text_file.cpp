#include "storage/atomic_text_file.h"

#include <QSaveFile>

bool saveTextFileAtomically(const QString& path, const std::function<void(QTextStream&)>& write,
                            QString* error) {
    QSaveFile file(path);
    const auto fail = [&] {
        if (error)
            *error = file.errorString();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return fail();
    QTextStream out(&file);
    out.setEncoding(QStringConverter::System);
    write(out);
    out.flush();
    if (out.status() != QTextStream::Ok) {
        const bool failed = fail();
        file.cancelWriting();
        return failed;
    }
    return file.commit() || fail();
}
