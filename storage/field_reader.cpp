#include "storage/field_reader.h"

bool ByteReader::getByte(char& byte) {
    if (atEnd())
        return false;
    if (data_[pos_] == '\r' && pos_ + 1 < data_.size() && data_[pos_ + 1] == '\n')
        ++pos_;
    byte = data_[pos_++];
    return true;
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
