#include "edid_block.h"

namespace {

constexpr int blockSize = 128;
constexpr int descriptorSize = 18;

void putDescriptorText(QByteArray& block, int at, char tag, const QByteArray& text) {
    block[at + 3] = tag;
    QByteArray payload = text.left(13);
    if (payload.size() < 13)
        payload += '\n';
    payload = payload.leftJustified(13, ' ');
    for (int i = 0; i < 13; ++i) block[at + 5 + i] = payload[i];
}

}  // namespace

void fixEdidChecksum(QByteArray& block) {
    unsigned sum = 0;
    for (int i = 0; i < blockSize - 1; ++i) sum += static_cast<unsigned char>(block[i]);
    block[blockSize - 1] = static_cast<char>((256 - sum % 256) % 256);
}

QByteArray edidBlock(const EdidFields& f) {
    QByteArray b(blockSize, '\0');
    const char header[] = {0,          char(0xFF), char(0xFF), char(0xFF),
                           char(0xFF), char(0xFF), char(0xFF), 0};
    for (int i = 0; i < 8; ++i) b[i] = header[i];
    const QByteArray id = f.manufacturer.leftJustified(3, 'A', true);
    const unsigned letters = (unsigned(id[0] - 'A' + 1) << 10) | (unsigned(id[1] - 'A' + 1) << 5) |
                             unsigned(id[2] - 'A' + 1);
    b[8] = char((letters >> 8) & 0x7F);
    b[9] = char(letters & 0xFF);
    b[10] = char(f.productCode & 0xFF);
    b[11] = char(f.productCode >> 8);
    for (int i = 0; i < 4; ++i) b[12 + i] = char((f.serialNumber >> (8 * i)) & 0xFF);
    b[16] = 1;   // week of manufacture
    b[17] = 33;  // year - 1990
    b[18] = 1;   // EDID 1.4
    b[19] = 4;
    b[20] = char(0xA5);  // digital input, 8 bits per colour, DisplayPort
    b[21] = 53;          // screen size in cm
    b[22] = 30;
    b[23] = 120;  // gamma 2.2
    b[24] = 0x06;

    // Detailed timing 1: 1920x1080, 148.5 MHz.
    const unsigned char timing[descriptorSize] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38,
                                                  0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00,
                                                  0x13, 0x8E, 0x21, 0x00, 0x00, 0x1E};
    for (int i = 0; i < descriptorSize; ++i) b[54 + i] = char(timing[i]);
    // Descriptors 2 to 4: name, serial text, and a dummy (tag 0x10).
    int at = 72;
    if (!f.monitorName.isNull()) {
        putDescriptorText(b, at, char(0xFC), f.monitorName);
        at += descriptorSize;
    }
    if (!f.serialText.isNull()) {
        putDescriptorText(b, at, char(0xFF), f.serialText);
        at += descriptorSize;
    }
    for (; at < 126; at += descriptorSize) b[at + 3] = 0x10;
    fixEdidChecksum(b);
    return b;
}
