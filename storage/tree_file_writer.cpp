#include "core/log.h"
#include "storage/atomic_text_file.h"
#include "storage/tree_file.h"
#include "tree/tree.h"

namespace {

const char* const currentFormatTag = "<v1.04>";

void writeModes(QByteArray& out, const Resolution& resolution) {
    for (const Mode* mode = resolution.modeHead->nextNode.get(); mode;
         mode = mode->nextNode.get()) {
        out += "<Mode>\n";
        mode->WriteTreeLines(out);
        out += "\n</Mode>\n";
    }
}

void writeMonitorBody(QByteArray& out, const Monitor& monitor) {
    if (monitor.globalAssociation) {
        out += "<global>\n";
        if (monitor.globalMode)
            out += monitor.globalMode->profile.toLocal8Bit();
        out += "\n";
        return;
    }
    for (const Resolution* resolution = monitor.resolutionHead->nextNode.get(); resolution;
         resolution = resolution->nextNode.get()) {
        out += "<Resolution>\n";
        resolution->WriteTreeLines(out);
        out += "\n";
        writeModes(out, *resolution);
        out += "</Resolution>\n";
    }
}

}  // namespace

bool writeTree(const QString& path, const Tree& tree, QString* error) {
    // The file's texts are written as the bytes the tree holds (the
    // monitors' fields) or in the system's 8-bit encoding (associations),
    // as the reader reads them.
    QByteArray out = currentFormatTag;
    for (const Monitor* monitor = tree.monitorHead()->nextNode.get(); monitor;
         monitor = monitor->nextNode.get()) {
        out += "\n<Monitor>\n";
        monitor->WriteTreeLines(out);
        out += "\n";
        writeMonitorBody(out, *monitor);
        out += "</Monitor>";
    }
    return saveBytesAtomically(path, out, error);
}

bool saveTree(const QString& path, const Tree& tree, Log& log) {
    return logSave(log, true, "Tree", [&](QString& why) { return writeTree(path, tree, &why); });
}
