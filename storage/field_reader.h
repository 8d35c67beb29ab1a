// The reading primitives of the tree file: a byte source over the file's
// content, `readField` and `parseDecimal`.
#pragma once

#include <cstdint>

#include <QByteArray>
#include <QByteArrayView>

// A text file's bytes in memory, handed out as a text-mode read gives them:
// every CR is dropped, so files written with CR LF and with LF line ends
// read the same (no text the program writes holds a CR).
class ByteReader {
public:
    explicit ByteReader(QByteArray data);

    bool atEnd() const { return pos_ >= data_.size(); }
    // The next byte; false (and `byte` untouched) at the end of the data.
    bool getByte(char& byte);
    // Up to `maxBytes` bytes before the next `delimiter`; the delimiter is
    // consumed when it comes within them, otherwise it stays.
    QByteArray take(qsizetype maxBytes, char delimiter);

private:
    QByteArray data_;
    qsizetype pos_ = 0;
};

// Reads one field: bytes up to `delimiter` (consumed, not stored) or up to
// the end of the data, at most `limit` - 1 bytes. When the limit is reached
// the rest stays for the next read. A limit of 1 or less reads nothing.
QByteArray readField(ByteReader& reader, int limit, char delimiter);

// A "line" of the tree file: at most 999 bytes up to the line feed.
inline constexpr int lineLimit = 1000;
QByteArray readLine(ByteReader& reader);

// The number of a decimal digit string, most significant digit first; no
// sign, no blanks, no validation (a non-digit byte adds its code minus the
// code of '0'); the empty text is 0. The arithmetic wraps modulo 2^64, so the
// low 32 bits are what a 32-bit reader would get.
std::uint64_t parseDecimal(QByteArrayView text);
