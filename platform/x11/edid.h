// Reading the identity of a monitor out of its EDID (the block a monitor
// reports about itself). The bytes come from the monitor, the driver or any
// X client that set the output's "EDID" property, so they are untrusted: the
// parser never reads outside them and keeps only printable ASCII of the texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct EdidInfo {
    // Three letters, packed into the big-endian word at offset 8.
    std::string manufacturerId;
    // The little-endian word at offset 10.
    std::uint16_t productCode = 0;
    // The little-endian 32-bit number at offset 12 (0 when the maker left it out).
    std::uint32_t serialNumber = 0;
    // The text of the serial-number descriptor (tag 0xFF); empty when there is none.
    std::string serialText;
    // The text of the monitor-name descriptor (tag 0xFC); empty when there is none.
    std::string monitorName;
};

constexpr std::size_t edidBlockSize = 128;

// Parses the base block. Nothing when the data is shorter than one block,
// the fixed header is wrong or the base block's checksum fails.
std::optional<EdidInfo> parseEdid(std::span<const std::uint8_t> data);

// The text of a descriptor's 13 data bytes: up to the first line feed,
// without control characters or bytes outside printable ASCII, trimmed.
std::string descriptorText(std::span<const std::uint8_t> text);

// A digest of all bytes as 16 upper-case hex digits (64-bit FNV-1a): two
// EDIDs that differ anywhere, a serial number or a checksum, differ in it.
std::string edidDigest(std::span<const std::uint8_t> data);
