#include "storage/leftover_files.h"
#include "core/debug_output.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

int removeLeftoversOf(const QString& file) {
    const QFileInfo target(file);
    const QDir dir = target.dir();
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    int removed = 0;
    const QFileInfoList candidates = dir.entryInfoList(
        {target.fileName() + QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& candidate : candidates) {
        if (!leftover.match(candidate.fileName()).hasMatch())
            continue;
        if (QFile::remove(candidate.filePath())) {
            qCDebug(tavrinDebug).noquote() << "Removed the leftover of an interrupted save:"
                               << candidate.filePath();
            ++removed;
        }
    }
    return removed;
}

}  // namespace

int removeLeftoverSaveFiles(const QStringList& files) {
    int removed = 0;
    for (const QString& file : files) removed += removeLeftoversOf(file);
    return removed;
}
