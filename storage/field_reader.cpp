#include "storage/field_reader.h"

bool ByteReader::getByte(char& byte) {
    if (atEnd())
        return false;
    byte = data_[pos_++];
    // Dropped at once, so that atEnd() is true when only CRs are left.
    skipCarriageReturns();
    return true;
}

void ByteReader::skipCarriageReturns() {
    while (pos_ < data_.size() && data_[pos_] == '\r') ++pos_;
}

QByteArray readField(ByteReader& reader, int limit, char delimiter) {
    QByteArray field;
    char byte = 0;
    while (field.size() < limit - 1 && reader.getByte(byte)) {
        if (byte == delimiter)
            break;
        field.append(byte);
        if (reader.atEnd())
            break;
    }
    return field;
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
