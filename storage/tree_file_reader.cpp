#include <climits>
#include <optional>

#include <QDebug>
#include <QFile>

#include "core/regular_file.h"
#include "core/debug_output.h"

#include "storage/field_reader.h"
#include "storage/tree_file.h"
#include "tree/display_records.h"
#include "tree/tree.h"

namespace {

// What tells the formats apart, by their first line.
struct TreeFormat {
    // "<v1.03>": one more line after the output device line and after each
    // mode's frequency, both skipped.
    bool extraLines = false;
    // "<header>" files have no "<global>" block.
    bool globalBlock = true;
};

std::optional<TreeFormat> formatOf(const QByteArray& firstLine) {
    if (firstLine == "<v1.04>")
        return TreeFormat{};
    if (firstLine == "<v1.03>" || firstLine == "<v1.03.1>")
        return TreeFormat{true, true};
    if (firstLine == "<header>")
        return TreeFormat{false, false};
    return std::nullopt;
}

// A line read whole, however long: the monitor's lines (their fields keep
// the first 127 bytes) and the global block's association text. Nothing of
// an over-long line is ever taken for the line after it.
QByteArray readWholeLine(ByteReader& in) {
    return readField(in, INT_MAX, '\n');
}

int readInt(QByteArrayView text) {
    return static_cast<int>(static_cast<DWORD>(parseDecimal(text)));
}

DWORD readNumberLine(ByteReader& in) {
    return static_cast<DWORD>(parseDecimal(readLine(in)));
}

class TreeFileReader {
public:
    TreeFileReader(ByteReader& in, Tree& tree, Log& log, TreeFormat format)
        : in_(in), tree_(tree), log_(log), format_(format) {}

    bool read() {
        for (;;) {
            if (!findNextMonitor())
                return true;
            readMonitorHeader();
            if (in_.atEnd())
                return true;
            const std::optional<bool> complete = readMonitorBody();
            if (!complete)
                return false;
            if (!*complete || in_.atEnd())
                return true;
        }
    }

private:
    // Skips lines up to the next "<Monitor>"; false at the end of the data.
    bool findNextMonitor() {
        do {
            if (in_.atEnd())
                return false;
        } while (readLine(in_) != "<Monitor>");
        return true;
    }

    void readMonitorHeader() {
        DISPLAY_DEVICEA device = emptyDisplayDevice();
        setFieldText(device.DeviceID, readWholeLine(in_));
        setFieldText(device.DeviceKey, readWholeLine(in_));
        setFieldText(device.DeviceString, readWholeLine(in_));
        const QByteArray outputDevice = readWholeLine(in_);
        if (format_.extraLines)
            readLine(in_);
        tree_.AppendMonitor(device, outputDevice);
    }

    // Reads blocks up to "</Monitor>". Nothing when the grammar fails; false
    // when the data ended after a block, true after "</Monitor>".
    std::optional<bool> readMonitorBody() {
        for (;;) {
            const QByteArray line = readLine(in_);
            if (line == "<Resolution>") {
                if (!readResolution())
                    return std::nullopt;
            } else if (line == "<global>" && format_.globalBlock) {
                const QString text = QString::fromLocal8Bit(readAssociationLine());
                tree_.SetAssociationMode(true, log_, text, UnreadableProfile::KeepText);
            } else if (line == "</Monitor>") {
                return true;
            } else {
                return std::nullopt;
            }
            if (in_.atEnd())
                return false;
        }
    }

    bool readResolution() {
        const int width = readInt(readField(in_, lineLimit, ' '));
        const int height = readInt(readLine(in_));
        // A monitor in global association has no resolutions: a block
        // that follows its global one (a hand-edited file) is read by the
        // same rules and passed over, so the rest of the file still loads.
        const bool keep = tree_.AppendResolution(width, height);
        while (!in_.atEnd()) {
            const QByteArray line = readLine(in_);
            if (line == "</Resolution>")
                return true;
            if (line != "<Mode>" || !readMode(width, height, keep))
                return false;
        }
        return true;
    }

    bool readMode(int width, int height, bool keep) {
        DEVMODEA settings = emptyDisplayMode();
        settings.dmPelsWidth = static_cast<DWORD>(width);
        settings.dmPelsHeight = static_cast<DWORD>(height);
        settings.dmBitsPerPel = readNumberLine(in_);
        settings.dmDisplayFlags = readNumberLine(in_);
        settings.dmDisplayFrequency = readNumberLine(in_);
        if (format_.extraLines)
            readLine(in_);

        const std::optional<QByteArray> association = readQuotedAssociation();
        if (!association)
            return false;
        if (keep) {
            if (!tree_.AppendMode(settings))
                return false;
            tree_.Associate(QString::fromLocal8Bit(*association), log_,
                            UnreadableProfile::KeepText);
        }
        return readLine(in_) == "</Mode>";
    }

    // The mode's association line: the text between double quotes, or an
    // empty line. Nothing when the line is neither.
    std::optional<QByteArray> readQuotedAssociation() {
        char byte = 0;
        if (!in_.getByte(byte))
            return std::nullopt;
        if (byte == '\n')
            return QByteArray();
        if (byte != '"')
            return std::nullopt;
        const QByteArray text = readField(in_, INT_MAX, '"');
        if (!in_.getByte(byte) || byte != '\n')
            return std::nullopt;
        return text;
    }

    // The global block's association text, bare, up to the line end.
    QByteArray readAssociationLine() { return readWholeLine(in_); }

    ByteReader& in_;
    Tree& tree_;
    Log& log_;
    const TreeFormat format_;
};

}  // namespace

bool loadTree(const QString& path, Tree& tree, Log& log) {
    // Never blocks on a FIFO, never reads a device without end.
    QFile file;
    QString refusal;
    if (!openRegularFileForReading(file, path, QIODevice::ReadOnly, &refusal)) {
        if (!refusal.isEmpty())
            qCDebug(tavrinDebug).noquote() << "Tree file refused:" << refusal;
        return false;
    }
    ByteReader in(file.readAll());
    // A read that broke off is a failed load, not a shorter tree.
    if (file.error() != QFileDevice::NoError)
        return false;
    file.close();
    const std::optional<TreeFormat> format = formatOf(readLine(in));
    if (!format)
        return false;
    return TreeFileReader(in, tree, log, *format).read();
}
