// The ICC profile vcgt reader: what it accepts, what it refuses and with
// which diagnostics, in which order, and that it never reads outside the
// bytes it was given.
#include <algorithm>
#include <cstring>
#include <memory>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "debug_capture.h"
#include "icc_profiles.h"
#include "ramps/icc_profile.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

Q_DECLARE_METATYPE(icc::Curves)
Q_DECLARE_METATYPE(icc::Version)

namespace {

const QString colordDir = QStringLiteral("/usr/share/color/icc/colord/");

// What a failed parse must leave in the caller's ramp.
GammaRamp sentinelRamp() {
    GammaRamp ramp;
    for (int c = 0; c < 3; ++c) ramp.channel(c).fill(0x1357);
    return ramp;
}

GammaRamp toRamp(const icc::Curves& curves) {
    GammaRamp ramp;
    for (int c = 0; c < 3; ++c) ramp.channel(c) = curves[c];
    return ramp;
}

struct Parsed {
    bool ok = false;
    GammaRamp ramp = sentinelRamp();
    QStringList messages;
};

// Parses the first `size` bytes from a heap block of exactly that size, so
// that AddressSanitizer catches a read even one byte past the end (a
// QByteArray of its own would carry a terminating zero behind its data).
Parsed parseExact(const char* data, qsizetype size) {
    std::unique_ptr<char[]> block(new char[static_cast<std::size_t>(size)]);
    if (size > 0)
        std::memcpy(block.get(), data, static_cast<std::size_t>(size));
    Parsed parsed;
    DebugCapture capture;
    parsed.ok = parseColorProfileData(QByteArray::fromRawData(block.get(), size), parsed.ramp);
    parsed.messages = capture.messages();
    return parsed;
}

Parsed parseExact(const QByteArray& bytes) {
    return parseExact(bytes.constData(), bytes.size());
}

Parsed parseFile(const QString& path) {
    Parsed parsed;
    DebugCapture capture;
    parsed.ok = ParseColorProfile(path, parsed.ramp);
    parsed.messages = capture.messages();
    return parsed;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The diagnostics of a parse that gets as far as the vcgt tag-table entry.
QStringList traceToTag(qint32 count, quint32 offset, quint32 length) {
    return {QStringLiteral("Count of tags:  %1").arg(count), QStringLiteral("Found VCGT tag.\n"),
            QStringLiteral("Tag offset: %1").arg(offset),
            QStringLiteral("Tag length: %1").arg(length)};
}

// ... and then through the tag's fields, as far as they are given.
QStringList traceToFields(qint32 count, quint32 offset, quint32 length, const QList<int>& fields) {
    QStringList trace = traceToTag(count, offset, length);
    trace << QStringLiteral("VCGT type: table\n");
    const char* labels[] = {"Number of channels:  %1", "Number of entries: %1",
                            "Bytes per entry:  %1"};
    for (int i = 0; i < fields.size(); ++i) trace << QString::fromLatin1(labels[i]).arg(fields[i]);
    return trace;
}

// The one-tag profile the refusals start from: its vcgt sits at 144.
const QByteArray& plainProfile() {
    static const QByteArray bytes = icc::tableProfile(icc::linearCurves());
    return bytes;
}

constexpr quint32 plainOffset = 144;
constexpr quint32 plainLength = 18 + 768 * 2;

QByteArray patched32(QByteArray bytes, int at, quint32 value) {
    icc::put32(bytes, at, value);
    return bytes;
}

QByteArray withHeader(const QByteArray& deviceClass, const QByteArray& colorSpace,
                      const QByteArray& signature) {
    return plainProfile()
        .mid(icc::headerSize)
        .prepend(icc::header(deviceClass, colorSpace, signature));
}

QByteArray oneVcgt(const QByteArray& tagData) {
    return icc::profile({{"vcgt", tagData}});
}

QByteArray zeros(int n) {
    return QByteArray(n, '\0');
}

// The smallest length of `bytes` that still holds every byte the reader
// needs: the tag table up to its last entry, the vcgt as its entry declares
// it, and the vcgt's fields and table data.
qsizetype neededLength(const QByteArray& bytes) {
    const int index = icc::findTag(bytes, "vcgt");
    const auto count =
        static_cast<qsizetype>(qFromBigEndian<quint32>(bytes.constData() + icc::tagCountOffset));
    const qsizetype offset = icc::tagOffset(bytes, index);
    const auto entrySize = static_cast<uchar>(bytes[offset + 17]);
    return std::max({qsizetype(icc::tagTableOffset) + count * icc::tagEntrySize,
                     offset + qsizetype(icc::tagSize(bytes, index)),
                     offset + 18 + 768 * entrySize});
}

}  // namespace

class TestIccProfile : public QObject {
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void fullTraceOfATable();
    void numbersReadAsQDebugStreamsThem();
    void tableEntries_data();
    void tableEntries();
    void acceptedLayouts_data();
    void acceptedLayouts();
    void files_data();
    void files();
    void fileIsReadAgainOnEveryCall();
    void fileTooLargeIsRefusedUnread();
    void fileThatIsNotRegularIsRefusedWithoutBlocking_data();
    void fileThatIsNotRegularIsRefusedWithoutBlocking();
    void fileAndMemoryGiveTheSameVerdictAtEveryLength();
    void vcgtFarDownALongTagTable();
    void hugeFileIsReadOnlyWhereTheChecksLook_data();
    void hugeFileIsReadOnlyWhereTheChecksLook();
    void truncatedAtEveryLength_data();
    void truncatedAtEveryLength();
    void littleCmsTables_data();
    void littleCmsTables();
    void littleCmsFormulaRefused_data();
    void littleCmsFormulaRefused();
    void colordProfiles_data();
    void colordProfiles();
};

void TestIccProfile::refusals_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("messages");

    const QString shortHeader = QStringLiteral("Error: file too short for an ICC profile header\n");
    const QString notIcc = QStringLiteral("Error: not ICC profile\n");
    const QString wrongClass = QStringLiteral("Error: wrong profile type\n");
    const QString notRgb = QStringLiteral("Error: only RGB displays supported\n");
    const QString shortCount = QStringLiteral("Error: file too short for the ICC tag count\n");
    const QString shortTable =
        QStringLiteral("Error: tag table extends past the end of the file\n");
    const QString notFound = QStringLiteral("Error: VCGT tag not found\n");
    const QString tagPastEnd = QStringLiteral("Error: VCGT tag extends past the end of the file\n");
    const QString dataPastEnd =
        QStringLiteral("Error: VCGT table data extends past the end of the file\n");
    const QString formula =
        QStringLiteral("VCGT type: formula\nError: VCGT type 'formula' not supported.");
    const QString channels = QStringLiteral("Error: Invalid number of channels\n");
    const QString entries = QStringLiteral("Error: Invalid number of entries\n");
    const QString entrySize = QStringLiteral("Error: invalid number of bytes per entry\n");
    const QByteArray& plain = plainProfile();

    QTest::newRow("empty buffer") << QByteArray() << QStringList{shortHeader};
    QTest::newRow("39 bytes") << plain.left(39) << QStringList{shortHeader};
    QTest::newRow("no acsp although class mntr")
        << withHeader("mntr", "RGB ", "abcd") << QStringList{notIcc};
    QTest::newRow("signature before class")
        << withHeader("prtr", "GRAY", "psca") << QStringList{notIcc};
    for (const char* cls : {"scnr", "prtr", "abst", "link", "spac", "nmcl", "MNTR"})
        QTest::addRow("class %s", cls)
            << withHeader(cls, "RGB ", "acsp") << QStringList{wrongClass};
    for (const char* space : {"GRAY", "CMYK", "Lab ", "rgb "})
        QTest::addRow("colour space %s", space)
            << withHeader("mntr", space, "acsp") << QStringList{notRgb};
    QTest::newRow("header without tag count") << icc::header() << QStringList{shortCount};
    QTest::newRow("half a tag count") << icc::header() + zeros(3) << QStringList{shortCount};

    QTest::newRow("no tags") << icc::profile({})
                             << QStringList{"Count of tags:  0", "Error: no tags found\n"};
    QTest::newRow("tag count larger than the file")
        << patched32(plain, icc::tagCountOffset, 200)
        << QStringList{"Count of tags:  200", shortTable};
    const QString tooManyTags =
        QStringLiteral("Error: more tags than a profile can hold, limit 256");
    QTest::newRow("one tag more than a profile may claim")
        << patched32(plain, icc::tagCountOffset, 257)
        << QStringList{"Count of tags:  257", tooManyTags};
    QTest::newRow("largest tag count") << patched32(plain, icc::tagCountOffset, 0x7FFFFFFF)
                                       << QStringList{"Count of tags:  2147483647", tooManyTags};
    QTest::newRow("tag entry cut short") << icc::header() + QByteArray("\0\0\0\1vcgt\0\0\0", 11)
                                         << QStringList{"Count of tags:  1", shortTable};
    QTest::newRow("negative tag count walks no table")
        << patched32(plain, icc::tagCountOffset, 0xFFFFFFFF)
        << QStringList{"Count of tags:  -1", tooManyTags};
    QTest::newRow("no vcgt among the tags")
        << icc::profile({{"desc", zeros(12)}, {"rTRC", zeros(12)}, {"vcgT", zeros(12)}})
        << QStringList{"Count of tags:  3", notFound};

    QTest::newRow("vcgt length 0")
        << patched32(plain, 140, 0)
        << traceToTag(1, plainOffset, 0) + QStringList{"Error: VCGT tag length is 0\n"};
    QTest::newRow("vcgt offset beyond the file")
        << patched32(plain, 136, 5000)
        << traceToTag(1, 5000, plainLength) + QStringList{tagPastEnd};
    QTest::newRow("vcgt length beyond the file")
        << patched32(plain, 140, plainLength + 1)
        << traceToTag(1, plainOffset, plainLength + 1) + QStringList{tagPastEnd};
    QTest::newRow("offset + length wraps at 32 bits")
        << patched32(patched32(plain, 136, 0xFFFFFFF0), 140, 0x20)
        << traceToTag(1, 0xFFFFFFF0, 0x20) + QStringList{tagPastEnd};
    QTest::newRow("tag shorter than its fields")
        << oneVcgt(icc::vcgtTag({}).left(12))
        << traceToTag(1, plainOffset, 12) + QStringList{tagPastEnd};

    QTest::newRow("tag data of another type")
        << oneVcgt(icc::vcgtTag(zeros(1536)).replace(0, 4, "curv"))
        << traceToTag(1, plainOffset, plainLength) +
               QStringList{"Error: VCGT tag header is not 'vcgt'"};
    QTest::newRow("formula") << oneVcgt(icc::vcgtTag(zeros(30), 0, 0, 0, 1))
                             << traceToTag(1, plainOffset, 48) + QStringList{formula};
    for (quint32 type : {2u, 0xFFFFFFFFu})
        QTest::addRow("gamma type %u", type)
            << oneVcgt(icc::vcgtTag(zeros(1536), 2, 256, 3, type))
            << traceToTag(1, plainOffset, plainLength) + QStringList{"Error: VCGT type is invalid"};
    for (int n : {1, 2, 4})
        QTest::addRow("%d channels", n)
            << oneVcgt(icc::vcgtTag(zeros(n * 512), 2, 256, quint16(n)))
            << traceToFields(1, plainOffset, 18 + n * 512, {n}) + QStringList{channels};
    for (int n : {1024, 4096, 255})
        QTest::addRow("%d entries", n)
            << oneVcgt(icc::vcgtTag(zeros(3 * n * 2), 2, quint16(n)))
            << traceToFields(1, plainOffset, 18 + 3 * n * 2, {3, n}) + QStringList{entries};
    for (int n : {0, 3, 4})
        QTest::addRow("%d bytes per entry", n)
            << oneVcgt(icc::vcgtTag(zeros(768 * 4), quint16(n)))
            << traceToFields(1, plainOffset, 18 + 768 * 4, {3, 256, n}) + QStringList{entrySize};
    QTest::newRow("16-bit table one byte short")
        << oneVcgt(icc::vcgtTag(zeros(1535)))
        << traceToFields(1, plainOffset, 18 + 1535, {3, 256, 2}) + QStringList{dataPastEnd};
    QTest::newRow("8-bit table one byte short")
        << oneVcgt(icc::vcgtTag(zeros(767), 1))
        << traceToFields(1, plainOffset, 18 + 767, {3, 256, 1}) + QStringList{dataPastEnd};

    // Only the first vcgt entry is looked at, even when a later one is good.
    QTest::newRow("first of two vcgt is a formula")
        << icc::profile({{"vcgt", icc::vcgtTag(zeros(30), 0, 0, 0, 1)},
                         {"vcgt", icc::vcgtTag(icc::tableData(icc::linearCurves()))}})
        << traceToTag(2, 156, 48) + QStringList{formula};
}

void TestIccProfile::refusals() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, messages);
    const Parsed parsed = parseExact(bytes);
    QCOMPARE(parsed.messages, messages);
    QVERIFY(!parsed.ok);
    QVERIFY(rampsEqual(parsed.ramp, sentinelRamp()));
}

void TestIccProfile::fullTraceOfATable() {
    const Parsed parsed = parseExact(plainProfile());
    QCOMPARE(parsed.messages, traceToFields(1, plainOffset, plainLength, {3, 256, 2}));
    QVERIFY(parsed.ok);
    QVERIFY(rampsEqual(parsed.ramp, makeLinearRamp()));
}

void TestIccProfile::numbersReadAsQDebugStreamsThem() {
    // What qDebug() << label << number << ... sends, with its default spacing.
    const auto streamed = [](auto write) {
        DebugCapture capture;
        write(qDebug());
        return capture.messages().value(0);
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("wrapping.icc"));
    QVERIFY(writeFile(path, patched32(patched32(plainProfile(), 136, 0xFFFFFFF0), 140, 0x20)));
    QCOMPARE(parseFile(path).messages,
             (QStringList{"File opened successfully.\n",
                          streamed([](QDebug d) { d << "File size: " << qint64(1698) << "\n"; }),
                          streamed([](QDebug d) { d << "Count of tags: " << qint32(1); }),
                          "Found VCGT tag.\n",
                          streamed([](QDebug d) { d << "Tag offset:" << quint32(0xFFFFFFF0); }),
                          streamed([](QDebug d) { d << "Tag length:" << quint32(0x20); }),
                          "Error: VCGT tag extends past the end of the file\n"}));

    QCOMPARE(
        parseExact(patched32(plainProfile(), icc::tagCountOffset, 0xFFFFFFFF)).messages.value(0),
        streamed([](QDebug d) { d << "Count of tags: " << qint32(-1); }));
    QCOMPARE(parseExact(plainProfile()).messages.mid(5),
             (QStringList{streamed([](QDebug d) { d << "Number of channels: " << quint16(3); }),
                          streamed([](QDebug d) { d << "Number of entries:" << quint16(256); }),
                          streamed([](QDebug d) { d << "Bytes per entry: " << quint16(2); })}));
}

void TestIccProfile::tableEntries_data() {
    QTest::addColumn<int>("entrySize");
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<int>("expected");

    QTest::newRow("8-bit 0x00") << 1 << 10 << QByteArray(1, '\0') << 0;
    QTest::newRow("8-bit 0x80") << 1 << 0x80 << QByteArray("\x80") << 0x8080;
    QTest::newRow("8-bit 0xFF, last blue") << 1 << 767 << QByteArray("\xFF") << 0xFFFF;
    QTest::newRow("8-bit green entry 0 is the 257th") << 1 << 256 << QByteArray("\xAB") << 0xABAB;
    QTest::newRow("16-bit 0x12 0x34") << 2 << 3 << QByteArray("\x12\x34") << 0x1234;
    QTest::newRow("16-bit high byte first") << 2 << 100 << QByteArray("\x00\xFF", 2) << 0x00FF;
    QTest::newRow("16-bit green entry 0 is the 257th")
        << 2 << 256 << QByteArray("\x12\x34") << 0x1234;
    QTest::newRow("16-bit red entry 255") << 2 << 255 << QByteArray("\xFE\xDC") << 0xFEDC;
    QTest::newRow("16-bit blue entry 0") << 2 << 512 << QByteArray("\x80\x01") << 0x8001;
    QTest::newRow("16-bit last blue") << 2 << 767 << QByteArray("\xFF\xFF") << 0xFFFF;
}

void TestIccProfile::tableEntries() {
    QFETCH(int, entrySize);
    QFETCH(int, position);
    QFETCH(QByteArray, entry);
    QFETCH(int, expected);

    // Every other entry holds 0x01 (0x0101 once read), so a shifted or
    // misplaced read shows.
    QByteArray table(768 * entrySize, '\x01');
    table.replace(position * entrySize, entrySize, entry);
    const Parsed parsed = parseExact(oneVcgt(icc::vcgtTag(table, quint16(entrySize))));
    QVERIFY(parsed.ok);
    for (int k = 0; k < 768; ++k) {
        const int want = k == position ? expected : 0x0101;
        if (parsed.ramp.channel(k / 256)[k % 256] != want)
            QFAIL(qPrintable(QStringLiteral("entry %1 of channel %2 is %3, expected %4")
                                 .arg(k % 256)
                                 .arg(k / 256)
                                 .arg(parsed.ramp.channel(k / 256)[k % 256])
                                 .arg(want)));
    }
}

void TestIccProfile::acceptedLayouts_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<icc::Curves>("curves");

    const icc::Curves linear = icc::linearCurves();
    const icc::Curves bent = icc::gammaCurves(2.2, 1.0, 0.45);
    const QByteArray linearTag = icc::vcgtTag(icc::tableData(linear));
    const QByteArray bentTag = icc::vcgtTag(icc::tableData(bent));

    QTest::newRow("vcgt after other tags")
        << icc::profile({{"desc", zeros(30)}, {"rTRC", zeros(14)}, {"vcgt", bentTag}}) << bent;
    QTest::newRow("only the first of two vcgt")
        << icc::profile({{"vcgt", bentTag}, {"vcgt", linearTag}}) << bent;
    QTest::newRow("tag length below the table's")
        << patched32(icc::profile({{"vcgt", bentTag}}), 140, 18) << bent;
    QTest::newRow("more bytes after the table")
        << icc::profile({{"vcgt", bentTag + zeros(100)}}) << bent;
    QTest::newRow("8-bit table") << icc::tableProfile(bent, 1) << [&] {
        icc::Curves high = bent;
        for (auto& channel : high)
            for (auto& v : channel) v = static_cast<quint16>((v >> 8) * 257);
        return high;
    }();
}

void TestIccProfile::acceptedLayouts() {
    QFETCH(QByteArray, bytes);
    QFETCH(icc::Curves, curves);
    const Parsed parsed = parseExact(bytes);
    QVERIFY2(parsed.ok, qPrintable(parsed.messages.join(QStringLiteral(" | "))));
    QVERIFY(rampsEqual(parsed.ramp, toRamp(curves)));
}

void TestIccProfile::files_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QStringList>("messages");

    const QStringList opened{"File opened successfully.\n"};
    const QStringList tableTrace = traceToFields(1, plainOffset, plainLength, {3, 256, 2});
    const QString size = QStringLiteral("File size:  %1 \n").arg(plainProfile().size());

    QTest::newRow("missing file") << "missing.icc" << QByteArray() << false
                                  << QStringList{"Could not open file.\n"};
    QTest::newRow("a directory") << "folder.icc" << QByteArray() << false
                                 << QStringList{"Could not open file.\n",
                                                "Refused: not a regular file (a directory)\n"};
    QTest::newRow("empty file") << "empty.icc" << QByteArray() << true
                                << opened + QStringList{"File is empty.\n"};
    QTest::newRow("text file") << "notes.icc" << QByteArray("not a profile") << true
                               << opened + QStringList{"File size:  13 \n",
                                                       "Error: file too short for an ICC profile "
                                                       "header\n"};
    QTest::newRow("ASCII path") << "display.icc" << plainProfile() << true
                                << opened + QStringList{size} + tableTrace;
    QTest::newRow("non-ASCII path") << QStringLiteral("Jürgen/Профиль ☼.icc") << plainProfile()
                                    << true << opened + QStringList{size} + tableTrace;
}

void TestIccProfile::files() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, create);
    QFETCH(QStringList, messages);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    if (name == QLatin1String("folder.icc"))
        QVERIFY(QDir().mkdir(path));
    if (create)
        QVERIFY(writeFile(path, content));

    const Parsed parsed = parseFile(path);
    QCOMPARE(parsed.messages, messages);
    const bool ok = content == plainProfile();
    QCOMPARE(parsed.ok, ok);
    QVERIFY(rampsEqual(parsed.ramp, ok ? makeLinearRamp() : sentinelRamp()));
}

void TestIccProfile::fileIsReadAgainOnEveryCall() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("changing.icc"));
    const icc::Curves bent = icc::gammaCurves(1.8, 2.0, 2.2);
    QVERIFY(writeFile(path, icc::tableProfile(icc::linearCurves())));
    QVERIFY(parseFile(path).ok);
    QVERIFY(writeFile(path, icc::tableProfile(bent)));
    const Parsed parsed = parseFile(path);
    QVERIFY(parsed.ok);
    QVERIFY(rampsEqual(parsed.ramp, toRamp(bent)));
}

void TestIccProfile::fileTooLargeIsRefusedUnread() {
    // A sparse file: its size is what counts, no byte of it is read.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("huge.icc")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const qint64 size = 0x100000000LL;
    if (!file.resize(size))
        QSKIP("The temporary file system cannot hold a sparse 4 GiB file");
    file.close();

    const Parsed parsed = parseFile(file.fileName());
    QCOMPARE(parsed.messages,
             (QStringList{"File opened successfully.\n", "File size:  4294967296 \n",
                          "Error: file too large for an ICC profile\n"}));
    QVERIFY(!parsed.ok);
}

void TestIccProfile::fileThatIsNotRegularIsRefusedWithoutBlocking_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FIFO without a writer") << "fifo"
                                           << "a FIFO";
    QTest::newRow("link to /dev/zero") << "zero"
                                       << "a character device";
}

void TestIccProfile::fileThatIsNotRegularIsRefusedWithoutBlocking() {
#ifdef Q_OS_UNIX
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("profile.icc"));
    if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    const Parsed parsed = parseFile(path);
    QCOMPARE(parsed.messages, (QStringList{"Could not open file.\n",
                                           "Refused: not a regular file (" + reason + ")\n"}));
    QVERIFY(!parsed.ok);
    QVERIFY(rampsEqual(parsed.ramp, sentinelRamp()));
#else
    QSKIP("POSIX only");
#endif
}

// The file is read only where the checks look, yet every length of a
// profile gets from a file exactly the diagnostics and the verdict it gets
// from memory.
void TestIccProfile::fileAndMemoryGiveTheSameVerdictAtEveryLength() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.icc"));
    const QByteArray whole =
        icc::lcmsTableProfile(icc::Version::V4, icc::gammaCurves(2.2, 2.0, 1.8));
    const qsizetype vcgt = icc::tagOffset(whole, icc::findTag(whole, "vcgt"));
    // Every length through the header and the tag table and around the
    // vcgt's start and end; a sample of the rest.
    auto around = [](qsizetype n, qsizetype at) { return n >= at - 24 && n <= at + 24; };
    for (qsizetype n = 1; n <= whole.size(); ++n) {
        if (!(n <= icc::tagTableOffset + 40 * icc::tagEntrySize || around(n, vcgt) ||
              around(n, vcgt + 18) || around(n, whole.size()) || n % 17 == 0))
            continue;
        const QByteArray bytes = whole.left(n);
        QVERIFY(writeFile(path, bytes));
        const Parsed fromFile = parseFile(path);
        const Parsed fromMemory = parseExact(bytes);
        QCOMPARE(fromFile.messages.mid(0, 2),
                 (QStringList{"File opened successfully.\n",
                              QStringLiteral("File size:  %1 \n").arg(n)}));
        QCOMPARE(fromFile.messages.mid(2), fromMemory.messages);
        QCOMPARE(fromFile.ok, fromMemory.ok);
        QVERIFY(rampsEqual(fromFile.ramp, fromMemory.ramp));
    }
}

// A vcgt entry last in a table of as many tags as a profile may hold, its
// data beyond the file's first 64 KiB, is found, from a file as from memory.
void TestIccProfile::vcgtFarDownALongTagTable() {
    QList<icc::Tag> tags;
    for (int i = 0; i < 255; ++i) tags.append({"zzzz", QByteArray(300, 'z')});
    tags.append({"vcgt", icc::vcgtTag(icc::tableData(icc::gammaCurves(1.8, 1.9, 2.0)))});
    const QByteArray bytes = icc::profile(tags);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.icc"));
    QVERIFY(writeFile(path, bytes));
    const Parsed fromFile = parseFile(path);
    QVERIFY2(fromFile.ok, qPrintable(fromFile.messages.join(QStringLiteral(" | "))));
    QVERIFY(rampsEqual(fromFile.ramp, toRamp(icc::gammaCurves(1.8, 1.9, 2.0))));
    QCOMPARE(fromFile.messages.mid(2), parseExact(bytes).messages);
}

namespace {

// Bytes this process has read through read() and the like so far.
qint64 bytesReadSoFar() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QList<QByteArray> lines = io.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return -1;
}

}  // namespace

void TestIccProfile::hugeFileIsReadOnlyWhereTheChecksLook_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("refusal");  // empty: the profile loads
    QTest::newRow("3 GB of zeros") << QByteArray() << 3LL * 1000 * 1000 * 1000
                                   << QStringLiteral("Error: not ICC profile\n");
    QTest::newRow("a valid profile padded to 3 GB")
        << plainProfile() << 3LL * 1000 * 1000 * 1000 << QString();
    // Every one of the entries the count claims lies inside the file.
    QTest::newRow("4 GiB claiming 357,913,930 tags and no vcgt")
        << patched32(icc::header() + zeros(4), icc::tagCountOffset, 357913930)
        << qint64(0xFFFFFFFF)
        << QStringLiteral("Error: more tags than a profile can hold, limit 256");
}

// A sparse file of gigabytes named as a profile: the reader reads where its
// checks look (the header, the tag table, the vcgt), not the whole file,
// whatever the file's size or the tag count it claims.
void TestIccProfile::hugeFileIsReadOnlyWhereTheChecksLook() {
    QFETCH(QByteArray, start);
    QFETCH(qint64, size);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("huge.icc")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(start) == start.size());
    if (!file.resize(size))
        QSKIP("The temporary file system cannot hold a sparse file of gigabytes");
    file.close();

    const qint64 readBefore = bytesReadSoFar();
    const Parsed parsed = parseFile(file.fileName());
    const qint64 read = bytesReadSoFar() - readBefore;

    QCOMPARE(parsed.ok, refusal.isEmpty());
    QCOMPARE(parsed.messages.value(1), QStringLiteral("File size:  %1 \n").arg(size));
    if (refusal.isEmpty())
        QVERIFY(rampsEqual(parsed.ramp, makeLinearRamp()));
    else
        QCOMPARE(parsed.messages.constLast(), refusal);
    // The file's first 64 KiB at most (the test's own reads of /proc aside),
    // whatever its size; the time it takes is measured in bench/.
    if (readBefore >= 0)
        QVERIFY2(read < 80 * 1024, qPrintable(QString::number(read)));
}

void TestIccProfile::truncatedAtEveryLength_data() {
    QTest::addColumn<QString>("colordFile");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("LittleCMS v2") << QString()
                                  << icc::lcmsTableProfile(icc::Version::V2,
                                                           icc::gammaCurves(2.2, 2.0, 1.8));
    QTest::newRow("LittleCMS v4") << QString()
                                  << icc::lcmsTableProfile(icc::Version::V4,
                                                           icc::gammaCurves(1.0, 0.5, 3.0));
    QTest::newRow("hand-made 8-bit")
        << QString()
        << icc::profile({{"desc", zeros(20)},
                         {"vcgt", icc::vcgtTag(icc::tableData(icc::linearCurves(), 1), 1)}});
    QTest::newRow("Bluish.icc (vcgt before other tag data)")
        << QStringLiteral("Bluish.icc") << QByteArray();
}

void TestIccProfile::truncatedAtEveryLength() {
    QFETCH(QString, colordFile);
    QFETCH(QByteArray, bytes);
    if (!colordFile.isEmpty()) {
        QFile file(colordDir + colordFile);
        if (!file.open(QIODevice::ReadOnly))
            QSKIP(qPrintable(file.fileName() + " is absent: install the colord-data package"));
        bytes = file.readAll();
    }
    QVERIFY(!bytes.isEmpty());

    const Parsed whole = parseExact(bytes);
    QVERIFY(whole.ok);
    const qsizetype needed = neededLength(bytes);
    QVERIFY(needed <= bytes.size());

    // Every cut that takes away a byte the reader needs is refused; cuts
    // that only take away other tags' data leave the curve whole.
    for (qsizetype length = 0; length <= bytes.size(); ++length) {
        const Parsed cut = parseExact(bytes.constData(), length);
        const bool complete = length >= needed;
        if (cut.ok != complete)
            QFAIL(qPrintable(QStringLiteral("cut at %1 of %2 bytes gave %3 (%4)")
                                 .arg(length)
                                 .arg(bytes.size())
                                 .arg(cut.ok)
                                 .arg(cut.messages.value(cut.messages.size() - 1))));
        if (!rampsEqual(cut.ramp, complete ? whole.ramp : sentinelRamp()))
            QFAIL(qPrintable(QStringLiteral("cut at %1 changed the ramp wrongly").arg(length)));
    }
}

void TestIccProfile::littleCmsTables_data() {
    QTest::addColumn<icc::Version>("version");
    QTest::addColumn<icc::Curves>("curves");

    icc::Curves extremes{};
    for (int i = 0; i < 256; ++i) {
        extremes[0][i] = static_cast<quint16>(i % 2 ? 0xFFFF : 0);  // alternating
        extremes[1][i] = static_cast<quint16>(65535 - i * 257);     // inverted
        extremes[2][i] = static_cast<quint16>(i * 131);             // low half
    }
    for (icc::Version v : {icc::Version::V2, icc::Version::V4}) {
        const char* name = v == icc::Version::V2 ? "v2" : "v4";
        QTest::addRow("%s linear", name) << v << icc::linearCurves();
        QTest::addRow("%s gamma 2.2", name) << v << icc::gammaCurves(2.2, 2.2, 2.2);
        QTest::addRow("%s three different channels", name) << v << icc::gammaCurves(2.4, 1.0, 0.45);
        QTest::addRow("%s extremes", name) << v << extremes;
    }
}

void TestIccProfile::littleCmsTables() {
    QFETCH(icc::Version, version);
    QFETCH(icc::Curves, curves);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lcms.icc"));
    QVERIFY(writeFile(path, icc::lcmsTableProfile(version, curves)));
    const std::optional<icc::Curves> oracle = icc::lcmsReadVcgt(path);
    QVERIFY2(oracle && *oracle == curves, "LittleCMS should read back the curves it wrote");

    const Parsed parsed = parseFile(path);
    QVERIFY2(parsed.ok, qPrintable(parsed.messages.join(QStringLiteral(" | "))));
    QVERIFY(rampsEqual(parsed.ramp, toRamp(*oracle)));
}

void TestIccProfile::littleCmsFormulaRefused_data() {
    QTest::addColumn<icc::Version>("version");
    QTest::newRow("v2") << icc::Version::V2;
    QTest::newRow("v4") << icc::Version::V4;
}

void TestIccProfile::littleCmsFormulaRefused() {
    QFETCH(icc::Version, version);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("formula.icc"));
    QVERIFY(writeFile(path, icc::lcmsFormulaProfile(version)));
    QVERIFY2(icc::lcmsReadVcgt(path), "LittleCMS should see the formula vcgt it wrote");

    const Parsed parsed = parseFile(path);
    QVERIFY(!parsed.ok);
    QCOMPARE(parsed.messages.constLast(),
             QStringLiteral("VCGT type: formula\nError: VCGT type 'formula' not supported."));
    QVERIFY(rampsEqual(parsed.ramp, sentinelRamp()));
}

void TestIccProfile::colordProfiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("refusal");

    for (const char* name : {"Bluish.icc", "Gamma5000K.icc", "Gamma5500K.icc", "Gamma6500K.icc"})
        QTest::newRow(name) << QString::fromLatin1(name) << QString();
    QTest::newRow("sRGB.icc has no vcgt")
        << QStringLiteral("sRGB.icc") << QStringLiteral("Error: VCGT tag not found\n");
    QTest::newRow("Crayons.icc is a named-colour profile")
        << QStringLiteral("Crayons.icc") << QStringLiteral("Error: wrong profile type\n");
}

void TestIccProfile::colordProfiles() {
    QFETCH(QString, file);
    QFETCH(QString, refusal);
    const QString path = colordDir + file;
    if (!QFile::exists(path))
        QSKIP(qPrintable(path + " is absent: install the colord-data package"));

    const Parsed parsed = parseFile(path);
    const std::optional<icc::Curves> oracle = icc::lcmsReadVcgt(path);
    if (!refusal.isEmpty()) {
        QVERIFY(!parsed.ok);
        QCOMPARE(parsed.messages.constLast(), refusal);
        return;
    }
    // These carry a 3 x 256 x 2-byte table.
    QVERIFY(parsed.messages.contains(QStringLiteral("Number of entries: 256")));
    QVERIFY(parsed.messages.contains(QStringLiteral("Bytes per entry:  2")));
    QVERIFY2(parsed.ok, qPrintable(parsed.messages.join(QStringLiteral(" | "))));
    QVERIFY(oracle);
    QVERIFY(rampsEqual(parsed.ramp, toRamp(*oracle)));
    QVERIFY(!rampsEqual(parsed.ramp, makeLinearRamp()));
}

QTEST_GUILESS_MAIN(TestIccProfile)
#include "tst_icc_profile.moc"
