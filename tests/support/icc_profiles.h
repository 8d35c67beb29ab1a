// ICC profiles for tests: real display profiles written by LittleCMS, what
// LittleCMS itself reads from a profile's `vcgt` (the oracle for curves), and
// plain byte builders for hand-made profiles that provoke one fault each.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>

namespace icc {

// Three curves of 256 entries: red, green, blue.
using Curves = std::array<std::array<std::uint16_t, 256>, 3>;

// Entry i = i x 257 in every channel.
Curves linearCurves();
// Entry i = round(65535 (i/255)^gamma) in every channel; one gamma per channel.
Curves gammaCurves(double red, double green, double blue);

// --- Written by LittleCMS -------------------------------------------------

enum class Version { V2, V4 };

// An sRGB display profile ("mntr", "RGB ") with a table vcgt written from
// the three curves as tabulated tone curves (3 x 256 x 2 bytes), and the
// description `description` when one is given.
QByteArray lcmsTableProfile(Version version, const Curves& curves,
                            const QString& description = {});
// The description LittleCMS reads from a profile's bytes; nothing when it
// cannot open them as a profile.
std::optional<QString> lcmsDescription(const QByteArray& bytes);
// The same profile with a formula vcgt: three parametric type-5 curves.
QByteArray lcmsFormulaProfile(Version version);

// What LittleCMS reads from the file's vcgt, each curve evaluated with
// cmsEvalToneCurve16 at i x 257; nothing when it finds no vcgt.
std::optional<Curves> lcmsReadVcgt(const QString& path);

// --- Hand-made bytes ------------------------------------------------------

constexpr int headerSize = 128;
constexpr int tagCountOffset = 128;
constexpr int tagTableOffset = 132;
constexpr int tagEntrySize = 12;

// A 128-byte header holding only the fields a vcgt reader looks at.
QByteArray header(const QByteArray& deviceClass = "mntr", const QByteArray& colorSpace = "RGB ",
                  const QByteArray& fileSignature = "acsp");

struct Tag {
    QByteArray signature;
    QByteArray data;
};

// Header, tag count, tag table and the tags' data one after another (each
// starting on a 4-byte boundary), with true offsets and sizes in the table.
QByteArray profile(const QList<Tag>& tags, const QByteArray& profileHeader = header());

// The bytes of a vcgt tag: "vcgt", reserved, gamma type, channel count,
// entry count, entry size, then `tableData` as it stands.
QByteArray vcgtTag(const QByteArray& tableData, std::uint16_t entrySize = 2,
                   std::uint16_t entries = 256, std::uint16_t channels = 3,
                   std::uint32_t gammaType = 0);
// Table data of the curves, channel after channel; with entry size 1 each
// entry is its high byte.
QByteArray tableData(const Curves& curves, int entrySize = 2);
// A complete profile whose only tag is a table vcgt of the curves.
QByteArray tableProfile(const Curves& curves, int entrySize = 2);

// Index of the first tag-table entry named `signature`, or -1.
int findTag(const QByteArray& profileBytes, const QByteArray& signature);
// Where the table of `profileBytes` places tag number `index`, and how long
// the entry says it is.
std::uint32_t tagOffset(const QByteArray& profileBytes, int index);
std::uint32_t tagSize(const QByteArray& profileBytes, int index);

// Big-endian writes into existing bytes, for patching a field.
void put32(QByteArray& bytes, int at, std::uint32_t value);
void put16(QByteArray& bytes, int at, std::uint16_t value);

}  // namespace icc
