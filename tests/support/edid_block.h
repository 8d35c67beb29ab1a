// EDID base blocks for tests: what a monitor would report, with the fields
// the program reads from it and a correct checksum.
#pragma once

#include <cstdint>

#include <QByteArray>

struct EdidFields {
    QByteArray manufacturer = "ABC";  // three letters A-Z
    std::uint16_t productCode = 0x1234;
    std::uint32_t serialNumber = 0;
    // Descriptor texts; each is stored as given, cut to 13 bytes, ended by a
    // line feed and padded with spaces when shorter. Null: no descriptor.
    QByteArray monitorName = "Test Monitor";
    QByteArray serialText;
};

// A 128-byte EDID 1.4 base block: header, the fields above, one detailed
// timing (1920x1080 at 60 Hz), the descriptors, no extension, checksum.
QByteArray edidBlock(const EdidFields& fields);

// Recomputes byte 127 so that the block sums to zero modulo 256.
void fixEdidChecksum(QByteArray& block);
