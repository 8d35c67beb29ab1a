#include "storage/field_reader.h"

#include <algorithm>
#include <cstring>

ByteReader::ByteReader(QByteArray data) : data_(std::move(data)) {
    data_.removeIf([](char c) { return c == '\r'; });
}

bool ByteReader::getByte(char& byte) {
    if (atEnd())
        return false;
    byte = data_[pos_++];
    return true;
}

QByteArray ByteReader::take(qsizetype maxBytes, char delimiter) {
    const qsizetype span = std::min(maxBytes, data_.size() - pos_);
    if (span <= 0)
        return {};
    const char* start = data_.constData() + pos_;
    const auto* found = static_cast<const char*>(std::memchr(start, delimiter, size_t(span)));
    const qsizetype length = found ? found - start : span;
    pos_ += found ? length + 1 : length;
    return QByteArray(start, length);
}

QByteArray readField(ByteReader& reader, int limit, char delimiter) {
    return reader.take(qsizetype(limit) - 1, delimiter);
}

QByteArray readLine(ByteReader& reader) {
    return readField(reader, lineLimit, '\n');
}

std::uint64_t parseDecimal(QByteArrayView text) {
    std::uint64_t value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<std::uint64_t>(static_cast<unsigned char>(c)) -
                static_cast<std::uint64_t>('0');
    }
    return value;
}
