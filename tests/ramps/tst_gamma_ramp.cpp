// Gamma ramps: the fixed ramps, the bit-depth clamp, comparison, the device
// table layout, and loading into and reading back from a display.
#include <QTest>

#include "platform/sim/sim_display_system.h"
#include "ramps/gamma_ramp.h"

namespace {

// Entry k of the device layout (0..767) holds f(k).
template <typename F>
GammaRamp patternRamp(F f) {
    GammaRamp ramp;
    for (int k = 0; k < 768; ++k) ramp.channel(k / 256)[k % 256] = static_cast<quint16>(f(k));
    return ramp;
}

GammaRamp filledRamp(quint16 value) {
    return patternRamp([value](int) { return value; });
}

// One adapter with an active monitor; its table starts linear.
std::unique_ptr<SimDisplaySystem> oneDisplay() {
    auto sim = std::make_unique<SimDisplaySystem>();
    const int a = sim->addAdapter("\\\\.\\DISPLAY1", "Sim Adapter");
    sim->attachMonitor(a, SimDisplaySystem::makeMonitor("MONITOR\\ABC1234\\0", "key", "Monitor"));
    sim->setModes(a, {SimDisplaySystem::makeMode(1920, 1080)});
    return sim;
}

const char* const displayName = "\\\\.\\DISPLAY1";

}  // namespace

class TestGammaRamp : public QObject {
    Q_OBJECT

private slots:
    void linearRamp_data();
    void linearRamp();
    void tints_data();
    void tints();
    void tintNamesMatchExactly_data();
    void tintNamesMatchExactly();
    void clamp_data();
    void clamp();
    void clampOtherDepthsWriteNothing_data();
    void clampOtherDepthsWriteNothing();
    void rampsEqualSeesEveryEntry_data();
    void rampsEqualSeesEveryEntry();
    void tableLayout();
    void loadAndReadBack();
    void refusedRampReadsBackTheOldTable();
    void quantisingDriverMatchesClampedRamp_data();
    void quantisingDriverMatchesClampedRamp();
    void failedReadBackKeepsTheTable();
};

void TestGammaRamp::linearRamp_data() {
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("value");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("1") << 1 << 257;
    QTest::newRow("128") << 128 << 32896;
    QTest::newRow("255") << 255 << 65535;
}

void TestGammaRamp::linearRamp() {
    QFETCH(int, entry);
    QFETCH(int, value);
    FixedRamps fixed;
    buildRamps(fixed);
    for (int c = 0; c < 3; ++c) QCOMPARE(int(fixed.linearRamp.channel(c)[entry]), value);
    QVERIFY(rampsEqual(fixed.linearRamp, makeLinearRamp()));
}

void TestGammaRamp::tints_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fullChannels");  // "rgb": which channels are full
    QTest::newRow("RED") << 0 << "RED"
                         << "r";
    QTest::newRow("GREEN") << 1 << "GREEN"
                           << "g";
    QTest::newRow("BLUE") << 2 << "BLUE"
                          << "b";
    QTest::newRow("YELLOW") << 3 << "YELLOW"
                            << "rg";
    QTest::newRow("CYAN") << 4 << "CYAN"
                          << "gb";
    QTest::newRow("MAGENTA") << 5 << "MAGENTA"
                             << "rb";
}

void TestGammaRamp::tints() {
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QString, fullChannels);
    FixedRamps fixed;
    buildRamps(fixed);
    QCOMPARE(fixed.tintNames[index], name);
    QCOMPARE(fixed.tintIndex(name), index);
    for (int c = 0; c < 3; ++c) {
        const bool full = fullChannels.contains(QLatin1Char("rgb"[c]));
        const int step = full ? 257 : 128;
        for (int i = 0; i < 256; ++i) QCOMPARE(int(fixed.tintRamps[index].channel(c)[i]), i * step);
    }
    // Dimmed entry 255 is about half of full.
    if (name == QLatin1String("CYAN")) {
        QCOMPARE(int(fixed.tintRamps[index].red[255]), 32640);
        QCOMPARE(int(fixed.tintRamps[index].green[255]), 65535);
        QCOMPARE(int(fixed.tintRamps[index].blue[255]), 65535);
    }
}

void TestGammaRamp::tintNamesMatchExactly_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("lower case") << "cyan";
    QTest::newRow("mixed case") << "Red";
    QTest::newRow("trailing blank") << "BLUE ";
    QTest::newRow("LINEAR is no tint") << "LINEAR";
    QTest::newRow("empty") << "";
}

void TestGammaRamp::tintNamesMatchExactly() {
    QFETCH(QString, name);
    FixedRamps fixed;
    buildRamps(fixed);
    QCOMPARE(fixed.tintIndex(name), -1);
}

void TestGammaRamp::clamp_data() {
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("10-bit 65535") << 10 << 65535 << 65472;
    QTest::newRow("8-bit 65535") << 8 << 65535 << 65280;
    QTest::newRow("10-bit 257") << 10 << 257 << 256;
    QTest::newRow("8-bit 257") << 8 << 257 << 256;
    QTest::newRow("10-bit 63") << 10 << 63 << 0;
    QTest::newRow("10-bit 64") << 10 << 64 << 64;
    QTest::newRow("8-bit 255") << 8 << 255 << 0;
    QTest::newRow("8-bit 0x8080") << 8 << 0x8080 << 0x8000;
}

void TestGammaRamp::clamp() {
    QFETCH(int, depth);
    QFETCH(int, in);
    QFETCH(int, out);
    // The value sits in a different entry of each channel, so a clamp that
    // mixes up channels or entries shows.
    const GammaRamp source = patternRamp([in](int k) { return k % 257 == 0 ? in : k * 85; });
    const GammaRamp before = source;
    GammaRamp target = filledRamp(0x1234);
    clampRampToBitDepth(depth, source, target);
    const quint16 mask = depth == 10 ? 0xFFC0 : 0xFF00;
    for (int k = 0; k < 768; ++k) {
        const int want = k % 257 == 0 ? out : (source.channel(k / 256)[k % 256] & mask);
        QCOMPARE(int(target.channel(k / 256)[k % 256]), want);
    }
    QVERIFY(rampsEqual(source, before));
}

void TestGammaRamp::clampOtherDepthsWriteNothing_data() {
    QTest::addColumn<int>("depth");
    for (int depth : {0, 6, 9, 12, 16, -8}) QTest::addRow("%d", depth) << depth;
}

void TestGammaRamp::clampOtherDepthsWriteNothing() {
    QFETCH(int, depth);
    const GammaRamp source = makeLinearRamp();
    GammaRamp target = filledRamp(0x1234);
    clampRampToBitDepth(depth, source, target);
    QVERIFY(rampsEqual(target, filledRamp(0x1234)));
}

void TestGammaRamp::rampsEqualSeesEveryEntry_data() {
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("entry");
    QTest::newRow("first red") << 0 << 0;
    QTest::newRow("green 128") << 1 << 128;
    QTest::newRow("last blue") << 2 << 255;
}

void TestGammaRamp::rampsEqualSeesEveryEntry() {
    QFETCH(int, channel);
    QFETCH(int, entry);
    const GammaRamp a = makeLinearRamp();
    GammaRamp b = a;
    QVERIFY(rampsEqual(a, b));
    b.channel(channel)[entry] ^= 1;
    QVERIFY(!rampsEqual(a, b));
    QVERIFY(!rampsEqual(b, a));
}

void TestGammaRamp::tableLayout() {
    // Red entries first, then green, then blue.
    DeviceGammaTable table;
    for (int k = 0; k < 768; ++k) table[k] = static_cast<quint16>(k);
    GammaRamp ramp = filledRamp(0xFFFF);
    rampFromTable(table, ramp);
    QCOMPARE(int(ramp.red[0]), 0);
    QCOMPARE(int(ramp.red[255]), 255);
    QCOMPARE(int(ramp.green[0]), 256);
    QCOMPARE(int(ramp.blue[0]), 512);
    QCOMPARE(int(ramp.blue[255]), 767);

    DeviceGammaTable back{};
    rampToTable(ramp, back);
    QVERIFY(back == table);
}

void TestGammaRamp::loadAndReadBack() {
    auto sim = oneDisplay();
    HDC dc = sim->createDC(displayName);
    const GammaRamp ramp = patternRamp([](int k) { return k * 83; });
    QVERIFY(loadRampIntoDisplay(*sim, dc, ramp));

    DeviceGammaTable expected;
    rampToTable(ramp, expected);
    QVERIFY(sim->gamma(0) == expected);

    DeviceGammaTable table{};
    GammaRamp back = filledRamp(0);
    readBackFromDisplay(*sim, dc, table, back);
    QVERIFY(table == expected);
    QVERIFY(rampsEqual(back, ramp));
    sim->deleteDC(dc);
}

void TestGammaRamp::refusedRampReadsBackTheOldTable() {
    auto sim = oneDisplay();
    HDC dc = sim->createDC(displayName);
    sim->setRefuseRamps(0, true);
    const GammaRamp ramp = filledRamp(0x4000);
    QVERIFY(!loadRampIntoDisplay(*sim, dc, ramp));

    DeviceGammaTable table{};
    GammaRamp back;
    readBackFromDisplay(*sim, dc, table, back);
    QVERIFY(!rampsEqual(back, ramp));
    QVERIFY(rampsEqual(back, makeLinearRamp()));
    sim->deleteDC(dc);
}

void TestGammaRamp::quantisingDriverMatchesClampedRamp_data() {
    QTest::addColumn<int>("bits");
    QTest::newRow("10 bits") << 10;
    QTest::newRow("8 bits") << 8;
}

void TestGammaRamp::quantisingDriverMatchesClampedRamp() {
    // A driver that keeps fewer bits reads back a different ramp unless the
    // ramp was clamped to its depth first.
    QFETCH(int, bits);
    auto sim = oneDisplay();
    sim->setQuantizeBits(0, bits);
    HDC dc = sim->createDC(displayName);
    const GammaRamp profile = patternRamp([](int k) { return k * 85 + 7; });
    DeviceGammaTable table{};
    GammaRamp back;

    loadRampIntoDisplay(*sim, dc, profile);
    readBackFromDisplay(*sim, dc, table, back);
    QVERIFY(!rampsEqual(back, profile));

    GammaRamp clamped;
    clampRampToBitDepth(bits, profile, clamped);
    loadRampIntoDisplay(*sim, dc, clamped);
    readBackFromDisplay(*sim, dc, table, back);
    QVERIFY(rampsEqual(back, clamped));
    sim->deleteDC(dc);
}

void TestGammaRamp::failedReadBackKeepsTheTable() {
    auto sim = oneDisplay();
    DeviceGammaTable table;
    table.fill(0x2222);
    GammaRamp back = makeLinearRamp();
    readBackFromDisplay(*sim, nullptr, table, back);

    DeviceGammaTable unchanged;
    unchanged.fill(0x2222);
    QVERIFY(table == unchanged);
    QVERIFY(rampsEqual(back, filledRamp(0x2222)));
}

QTEST_GUILESS_MAIN(TestGammaRamp)
#include "tst_gamma_ramp.moc"
