#include "platform/x11/edid.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint8_t, 8> edidHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr std::size_t manufacturerOffset = 8;
constexpr std::size_t productOffset = 10;
constexpr std::size_t serialOffset = 12;

// Four 18-byte descriptors follow the timing data. A display descriptor
// (as opposed to a detailed timing) starts with three zero bytes, then its
// tag; its text occupies bytes 5 to 17.
constexpr std::size_t firstDescriptorOffset = 54;
constexpr std::size_t descriptorSize = 18;
constexpr std::size_t descriptorCount = 4;
constexpr std::size_t descriptorTextOffset = 5;
constexpr std::uint8_t serialTag = 0xFF;
constexpr std::uint8_t monitorNameTag = 0xFC;

bool checksumValid(std::span<const std::uint8_t> block) {
    unsigned sum = 0;
    for (std::uint8_t b : block) sum += b;
    return (sum & 0xFF) == 0;
}

char manufacturerLetter(unsigned code) {
    // 1 is 'A' ... 26 is 'Z'; anything else is not a letter of a valid id.
    return code >= 1 && code <= 26 ? static_cast<char>('A' + code - 1) : '?';
}

std::string manufacturerId(std::span<const std::uint8_t> block) {
    const unsigned word =
        (unsigned(block[manufacturerOffset]) << 8) | block[manufacturerOffset + 1];
    return {manufacturerLetter((word >> 10) & 0x1F), manufacturerLetter((word >> 5) & 0x1F),
            manufacturerLetter(word & 0x1F)};
}

// The text of the first display descriptor with `tag` that holds any.
std::string descriptorTextFor(std::span<const std::uint8_t> block, std::uint8_t tag) {
    for (std::size_t i = 0; i < descriptorCount; ++i) {
        const auto d = block.subspan(firstDescriptorOffset + i * descriptorSize, descriptorSize);
        if (d[0] != 0 || d[1] != 0 || d[2] != 0 || d[3] != tag)
            continue;
        std::string text = descriptorText(d.subspan(descriptorTextOffset));
        if (!text.empty())
            return text;
    }
    return {};
}

}  // namespace

std::string descriptorText(std::span<const std::uint8_t> text) {
    std::string out;
    for (std::uint8_t b : text) {
        if (b == 0x0A)
            break;
        if (b >= 0x20 && b <= 0x7E)
            out += static_cast<char>(b);
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::optional<EdidInfo> parseEdid(std::span<const std::uint8_t> data) {
    if (data.size() < edidBlockSize)
        return std::nullopt;
    const auto block = data.first(edidBlockSize);
    if (!std::equal(edidHeader.begin(), edidHeader.end(), block.begin()))
        return std::nullopt;
    if (!checksumValid(block))
        return std::nullopt;

    EdidInfo info;
    info.manufacturerId = manufacturerId(block);
    info.productCode =
        static_cast<std::uint16_t>(block[productOffset] | (block[productOffset + 1] << 8));
    info.serialNumber = std::uint32_t(block[serialOffset]) |
                        (std::uint32_t(block[serialOffset + 1]) << 8) |
                        (std::uint32_t(block[serialOffset + 2]) << 16) |
                        (std::uint32_t(block[serialOffset + 3]) << 24);
    info.serialText = descriptorTextFor(block, serialTag);
    info.monitorName = descriptorTextFor(block, monitorNameTag);
    return info;
}

std::string edidDigest(std::span<const std::uint8_t> data) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (std::uint8_t b : data) {
        hash ^= b;
        hash *= 0x100000001B3ULL;
    }
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) out[i] = digits[hash & 0xF];
    return out;
}
