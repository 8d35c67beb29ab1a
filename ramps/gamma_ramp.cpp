#include "ramps/gamma_ramp.h"

#include <algorithm>

namespace {

enum class Level { Full, Dimmed };

std::array<std::uint16_t, 256> channelCurve(Level level) {
    std::array<std::uint16_t, 256> c{};
    const int step = level == Level::Full ? 257 : 128;
    for (int i = 0; i < 256; ++i) c[i] = static_cast<std::uint16_t>(i * step);
    return c;
}

GammaRamp tint(Level r, Level g, Level b) {
    GammaRamp t;
    t.red = channelCurve(r);
    t.green = channelCurve(g);
    t.blue = channelCurve(b);
    return t;
}

}  // namespace

int FixedRamps::tintIndex(const QString& name) const {
    for (int k = 0; k < tintCount; ++k)
        if (tintNames[k] == name)
            return k;
    return -1;
}

GammaRamp makeLinearRamp() {
    return tint(Level::Full, Level::Full, Level::Full);
}

void buildRamps(FixedRamps& ramps) {
    using L = Level;
    ramps.linearRamp = makeLinearRamp();
    ramps.tintRamps = {tint(L::Full, L::Dimmed, L::Dimmed), tint(L::Dimmed, L::Full, L::Dimmed),
                       tint(L::Dimmed, L::Dimmed, L::Full), tint(L::Full, L::Full, L::Dimmed),
                       tint(L::Dimmed, L::Full, L::Full),   tint(L::Full, L::Dimmed, L::Full)};
    ramps.tintNames = {QStringLiteral("RED"),  QStringLiteral("GREEN"),
                       QStringLiteral("BLUE"), QStringLiteral("YELLOW"),
                       QStringLiteral("CYAN"), QStringLiteral("MAGENTA")};
}

void rampToTable(const GammaRamp& ramp, DeviceGammaTable& table) {
    std::copy(ramp.red.begin(), ramp.red.end(), table.begin());
    std::copy(ramp.green.begin(), ramp.green.end(), table.begin() + 256);
    std::copy(ramp.blue.begin(), ramp.blue.end(), table.begin() + 512);
}

void rampFromTable(const DeviceGammaTable& table, GammaRamp& ramp) {
    std::copy_n(table.begin(), 256, ramp.red.begin());
    std::copy_n(table.begin() + 256, 256, ramp.green.begin());
    std::copy_n(table.begin() + 512, 256, ramp.blue.begin());
}

bool rampsEqual(const GammaRamp& a, const GammaRamp& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

bool tableHoldsRamp(const DeviceGammaTable& table, const GammaRamp& ramp) {
    return std::equal(ramp.red.begin(), ramp.red.end(), table.begin()) &&
           std::equal(ramp.green.begin(), ramp.green.end(), table.begin() + 256) &&
           std::equal(ramp.blue.begin(), ramp.blue.end(), table.begin() + 512);
}

void clampRampToBitDepth(int depth, const GammaRamp& source, GammaRamp& target) {
    std::uint16_t mask;
    if (depth == 10)
        mask = 0xFFC0;
    else if (depth == 8)
        mask = 0xFF00;
    else
        return;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            target.channel(c)[i] = static_cast<std::uint16_t>(source.channel(c)[i] & mask);
}

bool loadRampIntoDisplay(DisplaySystem& display, HDC deviceContext, const GammaRamp& ramp) {
    DeviceGammaTable table;
    rampToTable(ramp, table);
    return display.setDeviceGammaRamp(deviceContext, table);
}

bool readBackFromDisplay(DisplaySystem& display, HDC deviceContext, DeviceGammaTable& table,
                         GammaRamp& ramp) {
    const bool read = display.getDeviceGammaRamp(deviceContext, table);
    rampFromTable(table, ramp);
    return read;
}

bool displayHoldsRamp(DisplaySystem& display, HDC deviceContext, DeviceGammaTable& table,
                      GammaRamp& ramp, const GammaRamp& expected) {
    return readBackFromDisplay(display, deviceContext, table, ramp) && rampsEqual(ramp, expected);
}
