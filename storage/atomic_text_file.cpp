#include "storage/atomic_text_file.h"

#include <QSaveFile>

bool saveTextFileAtomically(const QString& path, const std::function<void(QTextStream&)>& write) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::System);
    write(out);
    out.flush();
    if (out.status() != QTextStream::Ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
