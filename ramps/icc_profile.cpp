#include "ramps/icc_profile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QtGlobal>

#include "core/debug_output.h"
#include "core/regular_file.h"

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

// The most tags a profile may claim. Real display profiles hold a few dozen;
// the field's libraries stop at about a hundred. A larger count is refused
// before the table is read, so the claim costs nothing.
constexpr quint64 maxTagCount = 256;

// Where the profile's bytes come from: the whole file in memory, or the
// open file, of which only the ranges the checks need are read (the header,
// the tag table, the vcgt tag), so that the cost of a profile does not grow
// with the size of its file.
class ProfileSource {
public:
    explicit ProfileSource(quint64 size) : size_(size) {}
    virtual ~ProfileSource() = default;

    quint64 size() const { return size_; }
    // Offsets are 64-bit so that offset + length never wraps.
    bool contains(quint64 offset, quint64 length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    // Copies the `length` bytes at `offset`, which the caller has checked
    // lie inside the source, to `out`; false when they cannot be read.
    virtual bool read(quint64 offset, quint64 length, uchar* out) = 0;

private:
    quint64 size_;
};

class MemorySource : public ProfileSource {
public:
    explicit MemorySource(const QByteArray& data)
        : ProfileSource(static_cast<quint64>(data.size())),
          bytes_(reinterpret_cast<const uchar*>(data.constData())) {}
    bool read(quint64 offset, quint64 length, uchar* out) override {
        Q_ASSERT(contains(offset, length));
        if (length)
            std::memcpy(out, bytes_ + offset, length);
        return true;
    }

private:
    const uchar* bytes_;
};

// The file's first bytes are read at once (every part of a usual profile
// lies in them, so a usual profile costs one read); anything beyond is read
// where it lies.
class FileSource : public ProfileSource {
public:
    static constexpr qint64 prefixSize = 64 * 1024;

    FileSource(QFile& file, quint64 size) : ProfileSource(size), file_(file) {
        prefix_ = file_.read(std::min<qint64>(static_cast<qint64>(size), prefixSize));
    }
    // The whole file: what was read already, when that is all of it.
    QByteArray whole() {
        if (static_cast<quint64>(prefix_.size()) == size())
            return prefix_;
        if (!file_.seek(0))
            return {};
        QByteArray all = file_.read(static_cast<qint64>(size()));
        return static_cast<quint64>(all.size()) == size() ? all : QByteArray();
    }
    bool read(quint64 offset, quint64 length, uchar* out) override {
        Q_ASSERT(contains(offset, length));
        if (offset + length <= static_cast<quint64>(prefix_.size())) {
            if (length)
                std::memcpy(out, prefix_.constData() + offset, length);
            return true;
        }
        if (!file_.seek(static_cast<qint64>(offset)))
            return false;
        const qint64 wanted = static_cast<qint64>(length);
        return file_.read(reinterpret_cast<char*>(out), wanted) == wanted;
    }

private:
    QFile& file_;
    QByteArray prefix_;
};

// Big-endian reads from a range read out of the source.
bool hasSignature(const uchar* at, const char (&signature)[5]) {
    return std::memcmp(at, signature, 4) == 0;
}
quint16 u16(const uchar* at) {
    return static_cast<quint16>(at[0] << 8 | at[1]);
}
quint32 u32(const uchar* at) {
    return quint32(at[0]) << 24 | quint32(at[1]) << 16 | quint32(at[2]) << 8 | quint32(at[3]);
}

// Diagnostics go to Qt's debug channel in the "tavrin" category, to
// whatever handler is installed there, as qCDebug() sends them, and cost
// nothing while the category is off. A message with a number carries the
// text qDebug() << label << number gives (default spacing: one blank
// between the parts), put together here directly: a QDebug stream per
// message would cost several times more than parsing the whole profile.
bool debugging() {
    return tavrinDebug().isDebugEnabled();
}

void debug(const QString& text) {
    if (!debugging())
        return;
    const QMessageLogContext context(QT_MESSAGELOG_FILE, QT_MESSAGELOG_LINE, QT_MESSAGELOG_FUNC,
                                     tavrinDebug().categoryName());
    qt_message_output(QtDebugMsg, context, text);
}

void debug(const char* text) {
    if (debugging())
        debug(QString::fromLatin1(text));
}

void debug(const char* label, qint64 number, const char* tail = "") {
    if (!debugging())
        return;
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

ProfileFailure refuse(ProfileFailure failure, const char* message) {
    debug(message);
    return failure;
}

ProfileFailure notAProfile(const char* message) {
    return refuse(ProfileFailure::NotAProfile, message);
}

ProfileFailure noVcgt(const char* message) {
    return refuse(ProfileFailure::NoVcgt, message);
}

struct TagEntry {
    quint32 offset = 0;
    quint32 size = 0;
};

// The first "vcgt" entry among the table's `count` entries (at most
// maxTagCount), which the caller has checked lie inside the source. Nothing
// when none is; `readFailed` is set when the table could not be read.
bool findVcgtEntry(ProfileSource& source, quint64 count, TagEntry& entry, bool& readFailed) {
    std::array<uchar, maxTagCount * tagEntrySize> table;
    readFailed = !source.read(tagTableOffset, count * tagEntrySize, table.data());
    if (readFailed)
        return false;
    for (quint64 i = 0; i < count; ++i) {
        const uchar* at = table.data() + i * tagEntrySize;
        if (hasSignature(at, "vcgt")) {
            entry.offset = u32(at + 4);
            entry.size = u32(at + 8);
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

// The checks of the reader, in their order, on whatever holds the bytes.
ProfileFailure parseProfile(ProfileSource& source, GammaRamp& ramp) {
    const char* const readError = "Error: could not read the file\n";
    const auto unreadable = [&] { return refuse(ProfileFailure::Unreadable, readError); };
    if (!source.contains(0, fileSignatureOffset + 4))
        return notAProfile("Error: file too short for an ICC profile header\n");
    // The header up to the tag count, or as much of it as the file holds.
    std::array<uchar, tagTableOffset> header{};
    const quint64 headerBytes = std::min<quint64>(source.size(), header.size());
    if (!source.read(0, headerBytes, header.data()))
        return unreadable();
    if (!hasSignature(header.data() + fileSignatureOffset, "acsp"))
        return notAProfile("Error: not ICC profile\n");
    if (!hasSignature(header.data() + deviceClassOffset, "mntr"))
        return notAProfile("Error: wrong profile type\n");
    if (!hasSignature(header.data() + colorSpaceOffset, "RGB "))
        return notAProfile("Error: only RGB displays supported\n");

    if (!source.contains(tagCountOffset, 4))
        return notAProfile("Error: file too short for the ICC tag count\n");
    const auto tagCount = static_cast<qint32>(u32(header.data() + tagCountOffset));
    debug("Count of tags: ", tagCount);
    if (tagCount == 0)
        return notAProfile("Error: no tags found\n");
    const quint64 entries = tagCount < 0 ? 0 : static_cast<quint64>(tagCount);
    if (tagCount < 0 || entries > maxTagCount) {
        debug("Error: more tags than a profile can hold, limit", qint64(maxTagCount));
        return ProfileFailure::NotAProfile;
    }
    if (!source.contains(tagTableOffset, entries * tagEntrySize))
        return notAProfile("Error: tag table extends past the end of the file\n");

    TagEntry vcgt;
    bool readFailed = false;
    if (!findVcgtEntry(source, entries, vcgt, readFailed))
        return readFailed ? unreadable() : noVcgt("Error: VCGT tag not found\n");
    debug("Found VCGT tag.\n");
    debug("Tag offset:", vcgt.offset);
    debug("Tag length:", vcgt.size);
    if (vcgt.size == 0)
        return noVcgt("Error: VCGT tag length is 0\n");
    if (!source.contains(vcgt.offset, vcgt.size) || !source.contains(vcgt.offset, tableDataOffset))
        return noVcgt("Error: VCGT tag extends past the end of the file\n");

    std::array<uchar, tableDataOffset> tag{};
    if (!source.read(vcgt.offset, tag.size(), tag.data()))
        return unreadable();
    if (!hasSignature(tag.data(), "vcgt"))
        return noVcgt("Error: VCGT tag header is not 'vcgt'");

    const quint32 gammaType = u32(tag.data() + gammaTypeOffset);
    if (gammaType == formulaGammaType)
        return noVcgt("VCGT type: formula\nError: VCGT type 'formula' not supported.");
    if (gammaType != tableGammaType)
        return noVcgt("Error: VCGT type is invalid");
    debug("VCGT type: table\n");

    const quint16 channels = u16(tag.data() + channelCountOffset);
    debug("Number of channels: ", channels);
    if (channels != 3)
        return noVcgt("Error: Invalid number of channels\n");

    const quint16 entriesPerChannel = u16(tag.data() + entryCountOffset);
    debug("Number of entries:", entriesPerChannel);
    if (entriesPerChannel != 256)
        return noVcgt("Error: Invalid number of entries\n");

    const quint16 entrySize = u16(tag.data() + entrySizeOffset);
    debug("Bytes per entry: ", entrySize);
    if (entrySize != 1 && entrySize != 2)
        return noVcgt("Error: invalid number of bytes per entry\n");

    const quint64 tableSize = quint64(channels) * entriesPerChannel * entrySize;
    const quint64 tableStart = quint64(vcgt.offset) + tableDataOffset;
    if (!source.contains(tableStart, tableSize))
        return noVcgt("Error: VCGT table data extends past the end of the file\n");
    std::array<uchar, 3 * 256 * 2> table{};
    if (!source.read(tableStart, tableSize, table.data()))
        return unreadable();

    // Every check has passed: only now does the caller's ramp change.
    decodeTable(table.data(), entrySize, ramp);
    return ProfileFailure::None;
}

// Passes the outcome on to the caller's `failure`.
bool outcome(ProfileFailure result, ProfileFailure* failure) {
    if (failure)
        *failure = result;
    return result == ProfileFailure::None;
}

}  // namespace

const char* profileFailureText(ProfileFailure failure) {
    switch (failure) {
        case ProfileFailure::None:
            return "";
        case ProfileFailure::Missing:
            return "the file does not exist";
        case ProfileFailure::Unreadable:
            return "the file cannot be read";
        case ProfileFailure::NotAProfile:
            return "the file is not an RGB display profile";
        case ProfileFailure::NoVcgt:
            return "the profile has no vcgt table to load";
    }
    return "";
}

bool parseColorProfileData(const QByteArray& data, GammaRamp& ramp, ProfileFailure* failure) {
    MemorySource source(data);
    return outcome(parseProfile(source, ramp), failure);
}

bool ParseColorProfile(const QString& path, GammaRamp& ramp, ProfileFailure* failure,
                       QByteArray* bytes) {
    if (bytes)
        bytes->clear();
    // By its native file name: a profile under a non-ASCII path opens too.
    // A FIFO, a device or a directory is refused before anything is read.
    QFile file;
    QString refusal;
    if (!openRegularFileForReading(file, path, QIODevice::ReadOnly | QIODevice::Unbuffered,
                                   &refusal)) {
        debug("Could not open file.\n");
        if (!refusal.isEmpty())
            debug(QStringLiteral("Refused: %1\n").arg(refusal));
        const bool missing = refusal.isEmpty() && !QFileInfo::exists(path);
        return outcome(missing ? ProfileFailure::Missing : ProfileFailure::Unreadable, failure);
    }
    debug("File opened successfully.\n");

    const qint64 size = file.size();
    if (size == 0)
        return outcome(notAProfile("File is empty.\n"), failure);
    debug("File size: ", size, "\n");
    if (size > maxProfileSize)
        return outcome(notAProfile("Error: file too large for an ICC profile\n"), failure);

    FileSource source(file, static_cast<quint64>(size));
    if (!outcome(parseProfile(source, ramp), failure))
        return false;
    if (bytes && size <= maxKeptProfileSize)
        *bytes = source.whole();
    return true;
}
