#include "ramps/icc_profile.h"

#include <charconv>
#include <cstring>

#include <QFile>
#include <QString>
#include <QtGlobal>

namespace {

// Profile header and tag table, by byte offset from the start of the file.
constexpr quint64 deviceClassOffset = 12;
constexpr quint64 colorSpaceOffset = 16;
constexpr quint64 fileSignatureOffset = 36;
constexpr quint64 tagCountOffset = 128;
constexpr quint64 tagTableOffset = 132;
constexpr quint64 tagEntrySize = 12;

// The vcgt tag, by byte offset from the tag's own start.
constexpr quint64 gammaTypeOffset = 8;
constexpr quint64 channelCountOffset = 12;
constexpr quint64 entryCountOffset = 14;
constexpr quint64 entrySizeOffset = 16;
constexpr quint64 tableDataOffset = 18;

constexpr quint32 tableGammaType = 0;
constexpr quint32 formulaGammaType = 1;

// Every offset in a profile is 32 bits wide, so nothing larger is a profile.
constexpr qint64 maxProfileSize = 0xFFFFFFFFLL;

// The profile's bytes with big-endian reads. Callers check with contains()
// before they read; offsets are 64-bit so that offset + length never wraps.
class ProfileBytes {
public:
    explicit ProfileBytes(const QByteArray& data)
        : bytes_(reinterpret_cast<const uchar*>(data.constData())),
          size_(static_cast<quint64>(data.size())) {}

    bool contains(quint64 offset, quint64 length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    bool hasSignature(quint64 offset, const char (&signature)[5]) const {
        Q_ASSERT(contains(offset, 4));
        return std::memcmp(bytes_ + offset, signature, 4) == 0;
    }
    quint16 u16(quint64 offset) const {
        Q_ASSERT(contains(offset, 2));
        return static_cast<quint16>(bytes_[offset] << 8 | bytes_[offset + 1]);
    }
    quint32 u32(quint64 offset) const {
        Q_ASSERT(contains(offset, 4));
        return quint32(bytes_[offset]) << 24 | quint32(bytes_[offset + 1]) << 16 |
               quint32(bytes_[offset + 2]) << 8 | quint32(bytes_[offset + 3]);
    }
    const uchar* at(quint64 offset) const { return bytes_ + offset; }

private:
    const uchar* bytes_;
    quint64 size_;
};

// Diagnostics go to Qt's debug channel, to whatever handler is installed
// there, as qDebug() sends them. A message with a number carries the text
// qDebug() << label << number gives (default spacing: one blank between the
// parts), put together here directly: a QDebug stream per message would cost
// several times more than parsing the whole profile.
void debug(const QString& text) {
    const QMessageLogContext context(QT_MESSAGELOG_FILE, QT_MESSAGELOG_LINE, QT_MESSAGELOG_FUNC,
                                     "default");
    qt_message_output(QtDebugMsg, context, text);
}

void debug(const char* text) {
    debug(QString::fromLatin1(text));
}

void debug(const char* label, qint64 number, const char* tail = "") {
    char digits[24];  // any 64-bit number in decimal
    const char* digitsEnd = std::to_chars(digits, digits + sizeof digits, number).ptr;
    const QLatin1StringView labelText(label), numberText(digits, digitsEnd), tailText(tail);
    QString text;
    text.reserve(labelText.size() + 1 + numberText.size() + 1 + tailText.size());
    text.append(labelText).append(u' ').append(numberText);
    if (!tailText.isEmpty())
        text.append(u' ').append(tailText);
    debug(text);
}

bool refuse(const char* message) {
    debug(message);
    return false;
}

struct TagEntry {
    quint32 offset = 0;
    quint32 size = 0;
};

// The first "vcgt" entry among the table's `count` entries, which the caller
// has checked lie inside the bytes.
bool findVcgtEntry(const ProfileBytes& bytes, quint64 count, TagEntry& entry) {
    for (quint64 i = 0; i < count; ++i) {
        const quint64 at = tagTableOffset + i * tagEntrySize;
        if (bytes.hasSignature(at, "vcgt")) {
            entry.offset = bytes.u32(at + 4);
            entry.size = bytes.u32(at + 8);
            return true;
        }
    }
    return false;
}

// Channel after channel, entry after entry, with no gap between channels.
void decodeTable(const uchar* data, int entrySize, GammaRamp& ramp) {
    for (int c = 0; c < 3; ++c) {
        auto& channel = ramp.channel(c);
        if (entrySize == 1) {
            for (int i = 0; i < 256; ++i) channel[i] = static_cast<quint16>(data[i] * 257);
        } else {
            for (int i = 0; i < 256; ++i)
                channel[i] = static_cast<quint16>(data[2 * i] << 8 | data[2 * i + 1]);
        }
        data += 256 * entrySize;
    }
}

}  // namespace

bool parseColorProfileData(const QByteArray& data, GammaRamp& ramp) {
    const ProfileBytes bytes(data);

    if (!bytes.contains(0, fileSignatureOffset + 4))
        return refuse("Error: file too short for an ICC profile header\n");
    if (!bytes.hasSignature(fileSignatureOffset, "acsp"))
        return refuse("Error: not ICC profile\n");
    if (!bytes.hasSignature(deviceClassOffset, "mntr"))
        return refuse("Error: wrong profile type\n");
    if (!bytes.hasSignature(colorSpaceOffset, "RGB "))
        return refuse("Error: only RGB displays supported\n");

    if (!bytes.contains(tagCountOffset, 4))
        return refuse("Error: file too short for the ICC tag count\n");
    const auto tagCount = static_cast<qint32>(bytes.u32(tagCountOffset));
    debug("Count of tags: ", tagCount);
    if (tagCount == 0)
        return refuse("Error: no tags found\n");
    const quint64 entries = tagCount < 0 ? 0 : static_cast<quint64>(tagCount);
    if (!bytes.contains(tagTableOffset, entries * tagEntrySize))
        return refuse("Error: tag table extends past the end of the file\n");

    TagEntry vcgt;
    if (!findVcgtEntry(bytes, entries, vcgt))
        return refuse("Error: VCGT tag not found\n");
    debug("Found VCGT tag.\n");
    debug("Tag offset:", vcgt.offset);
    debug("Tag length:", vcgt.size);
    if (vcgt.size == 0)
        return refuse("Error: VCGT tag length is 0\n");
    if (!bytes.contains(vcgt.offset, vcgt.size) || !bytes.contains(vcgt.offset, tableDataOffset))
        return refuse("Error: VCGT tag extends past the end of the file\n");

    const quint64 tag = vcgt.offset;
    if (!bytes.hasSignature(tag, "vcgt"))
        return refuse("Error: VCGT tag header is not 'vcgt'");

    const quint32 gammaType = bytes.u32(tag + gammaTypeOffset);
    if (gammaType == formulaGammaType)
        return refuse("VCGT type: formula\nError: VCGT type 'formula' not supported.");
    if (gammaType != tableGammaType)
        return refuse("Error: VCGT type is invalid");
    debug("VCGT type: table\n");

    const quint16 channels = bytes.u16(tag + channelCountOffset);
    debug("Number of channels: ", channels);
    if (channels != 3)
        return refuse("Error: Invalid number of channels\n");

    const quint16 entriesPerChannel = bytes.u16(tag + entryCountOffset);
    debug("Number of entries:", entriesPerChannel);
    if (entriesPerChannel != 256)
        return refuse("Error: Invalid number of entries\n");

    const quint16 entrySize = bytes.u16(tag + entrySizeOffset);
    debug("Bytes per entry: ", entrySize);
    if (entrySize != 1 && entrySize != 2)
        return refuse("Error: invalid number of bytes per entry\n");

    const quint64 tableSize = quint64(channels) * entriesPerChannel * entrySize;
    if (!bytes.contains(tag + tableDataOffset, tableSize))
        return refuse("Error: VCGT table data extends past the end of the file\n");

    // Every check has passed: only now does the caller's ramp change.
    decodeTable(bytes.at(tag + tableDataOffset), entrySize, ramp);
    return true;
}

bool ParseColorProfile(const QString& path, GammaRamp& ramp) {
    // By its native file name: a profile under a non-ASCII path opens too.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse("Could not open file.\n");
    debug("File opened successfully.\n");

    const qint64 size = file.size();
    if (size == 0)
        return refuse("File is empty.\n");
    debug("File size: ", size, "\n");
    if (size > maxProfileSize)
        return refuse("Error: file too large for an ICC profile\n");

    const QByteArray data = file.read(size);
    file.close();
    if (data.size() != size)
        return refuse("Error: could not read the whole file\n");
    return parseColorProfileData(data, ramp);
}
