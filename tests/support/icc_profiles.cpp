#include "icc_profiles.h"

#include <cmath>
#include <memory>
#include <string>

#include <QFile>

#include <lcms2.h>

namespace icc {

namespace {

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

struct CurveFreer {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using CurveHandle = std::unique_ptr<cmsToneCurve, CurveFreer>;
using CurveTriple = std::array<CurveHandle, 3>;

double versionNumber(Version version) {
    return version == Version::V2 ? 2.1 : 4.3;
}

// An sRGB display profile carrying `vcgt` as its last tag.
QByteArray saveWithVcgt(Version version, const CurveTriple& curves,
                        const QString& description = {}) {
    ProfileHandle profile(cmsCreate_sRGBProfile());
    if (!profile)
        return {};
    cmsSetProfileVersion(profile.get(), versionNumber(version));
    if (!description.isEmpty()) {
        cmsMLU* text = cmsMLUalloc(nullptr, 1);
        const std::wstring wide = description.toStdWString();
        const bool written = cmsMLUsetWide(text, "en", "US", wide.c_str()) &&
                             cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, text);
        cmsMLUfree(text);
        if (!written)
            return {};
    }
    cmsToneCurve* raw[3] = {curves[0].get(), curves[1].get(), curves[2].get()};
    if (!cmsWriteTag(profile.get(), cmsSigVcgtTag, raw))
        return {};
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile.get(), nullptr, &size))
        return {};
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size))
        return {};
    bytes.truncate(static_cast<qsizetype>(size));
    return bytes;
}

void append32(QByteArray& bytes, std::uint32_t value) {
    bytes.append(4, '\0');
    put32(bytes, static_cast<int>(bytes.size() - 4), value);
}

void append16(QByteArray& bytes, std::uint16_t value) {
    bytes.append(2, '\0');
    put16(bytes, static_cast<int>(bytes.size() - 2), value);
}

std::uint32_t read32(const QByteArray& bytes, int at) {
    const auto* b = reinterpret_cast<const uchar*>(bytes.constData()) + at;
    return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3];
}

}  // namespace

Curves linearCurves() {
    Curves curves{};
    for (auto& channel : curves)
        for (int i = 0; i < 256; ++i) channel[i] = static_cast<std::uint16_t>(i * 257);
    return curves;
}

Curves gammaCurves(double red, double green, double blue) {
    Curves curves{};
    const double gammas[3] = {red, green, blue};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            curves[c][i] =
                static_cast<std::uint16_t>(std::lround(65535.0 * std::pow(i / 255.0, gammas[c])));
    return curves;
}

QByteArray lcmsTableProfile(Version version, const Curves& curves, const QString& description) {
    CurveTriple tone;
    for (int c = 0; c < 3; ++c)
        tone[c].reset(cmsBuildTabulatedToneCurve16(nullptr, 256, curves[c].data()));
    return saveWithVcgt(version, tone, description);
}

std::optional<QString> lcmsDescription(const QByteArray& bytes) {
    ProfileHandle profile(cmsOpenProfileFromMem(bytes.constData(), cmsUInt32Number(bytes.size())));
    if (!profile)
        return std::nullopt;
    wchar_t text[256] = {};
    cmsGetProfileInfo(profile.get(), cmsInfoDescription, "en", "US", text, 256);
    return QString::fromWCharArray(text);
}

QByteArray lcmsFormulaProfile(Version version) {
    // Type 5: Y = (aX + b)^g + e for X >= d, else cX + f. LittleCMS stores a
    // curve of this type as the formula form of vcgt (gamma, min, max).
    const cmsFloat64Number params[3][7] = {
        {2.2, 1.0, 0, 0, 0, 0, 0}, {2.0, 1.0, 0, 0, 0, 0, 0}, {1.8, 1.0, 0, 0, 0, 0, 0}};
    CurveTriple tone;
    for (int c = 0; c < 3; ++c) tone[c].reset(cmsBuildParametricToneCurve(nullptr, 5, params[c]));
    return saveWithVcgt(version, tone);
}

std::optional<Curves> lcmsReadVcgt(const QString& path) {
    ProfileHandle profile(cmsOpenProfileFromFile(QFile::encodeName(path).constData(), "r"));
    if (!profile)
        return std::nullopt;
    // The tag's curves belong to the profile and go with it.
    auto* tone = static_cast<cmsToneCurve**>(cmsReadTag(profile.get(), cmsSigVcgtTag));
    if (!tone)
        return std::nullopt;
    Curves curves{};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            curves[c][i] = cmsEvalToneCurve16(tone[c], static_cast<cmsUInt16Number>(i * 257));
    return curves;
}

QByteArray header(const QByteArray& deviceClass, const QByteArray& colorSpace,
                  const QByteArray& fileSignature) {
    QByteArray bytes(headerSize, '\0');
    bytes.replace(12, 4, deviceClass.left(4));
    bytes.replace(16, 4, colorSpace.left(4));
    bytes.replace(36, 4, fileSignature.left(4));
    return bytes;
}

QByteArray profile(const QList<Tag>& tags, const QByteArray& profileHeader) {
    QByteArray bytes = profileHeader;
    append32(bytes, static_cast<std::uint32_t>(tags.size()));
    const int tableAt = static_cast<int>(bytes.size());
    bytes.append(tags.size() * tagEntrySize, '\0');
    for (int i = 0; i < tags.size(); ++i) {
        while (bytes.size() % 4 != 0) bytes.append('\0');
        const int entry = tableAt + i * tagEntrySize;
        bytes.replace(entry, 4, tags[i].signature.left(4));
        put32(bytes, entry + 4, static_cast<std::uint32_t>(bytes.size()));
        put32(bytes, entry + 8, static_cast<std::uint32_t>(tags[i].data.size()));
        bytes.append(tags[i].data);
    }
    return bytes;
}

QByteArray vcgtTag(const QByteArray& tableData, std::uint16_t entrySize, std::uint16_t entries,
                   std::uint16_t channels, std::uint32_t gammaType) {
    QByteArray bytes("vcgt");
    append32(bytes, 0);
    append32(bytes, gammaType);
    append16(bytes, channels);
    append16(bytes, entries);
    append16(bytes, entrySize);
    bytes.append(tableData);
    return bytes;
}

QByteArray tableData(const Curves& curves, int entrySize) {
    QByteArray bytes;
    for (const auto& channel : curves) {
        for (std::uint16_t value : channel) {
            if (entrySize == 1)
                bytes.append(static_cast<char>(value >> 8));
            else
                append16(bytes, value);
        }
    }
    return bytes;
}

QByteArray tableProfile(const Curves& curves, int entrySize) {
    return profile(
        {{"vcgt", vcgtTag(tableData(curves, entrySize), static_cast<std::uint16_t>(entrySize))}});
}

int findTag(const QByteArray& profileBytes, const QByteArray& signature) {
    if (profileBytes.size() < tagTableOffset)
        return -1;
    const auto count = static_cast<std::int32_t>(read32(profileBytes, tagCountOffset));
    for (int i = 0; i < count; ++i) {
        const int entry = tagTableOffset + i * tagEntrySize;
        if (entry + tagEntrySize > profileBytes.size())
            break;
        if (profileBytes.mid(entry, 4) == signature)
            return i;
    }
    return -1;
}

std::uint32_t tagOffset(const QByteArray& profileBytes, int index) {
    return read32(profileBytes, tagTableOffset + index * tagEntrySize + 4);
}

std::uint32_t tagSize(const QByteArray& profileBytes, int index) {
    return read32(profileBytes, tagTableOffset + index * tagEntrySize + 8);
}

void put32(QByteArray& bytes, int at, std::uint32_t value) {
    put16(bytes, at, static_cast<std::uint16_t>(value >> 16));
    put16(bytes, at + 2, static_cast<std::uint16_t>(value));
}

void put16(QByteArray& bytes, int at, std::uint16_t value) {
    bytes[at] = static_cast<char>(value >> 8);
    bytes[at + 1] = static_cast<char>(value);
}

}  // namespace icc
