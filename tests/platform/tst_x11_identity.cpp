// Who a monitor is on X11: the identity the backend gives a monitor from the
// EDID of its output, and the EDID parser on its own with hostile blocks.
#include <QTest>

#include "edid_block.h"
#include "platform/x11/edid.h"
#include "platform/x11/x11_display_system.h"
#include "xorg_test_case.h"

namespace {

const QString baseMode = QStringLiteral("tavrin_1024x768");
const QStringList modelines = {
    QStringLiteral("\"tavrin_1024x768\" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync"),
};

struct Identity {
    QByteArray deviceId;
    QByteArray deviceKey;
    QByteArray deviceString;
    bool operator==(const Identity&) const = default;
};

// The monitor on `output` after a fresh enumeration, as the loop sees it.
std::optional<Identity> monitorOn(DisplaySystem& system, const char* output) {
    DISPLAY_DEVICEA adapter{};
    if (!system.enumDisplayDevices(nullptr, 0, &adapter))
        return std::nullopt;
    DISPLAY_DEVICEA m{};
    if (!system.enumDisplayDevices(output, 0, &m))
        return std::nullopt;
    return Identity{m.DeviceID, m.DeviceKey, m.DeviceString};
}

std::span<const std::uint8_t> bytes(const QByteArray& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

EdidFields model(QByteArray serialText, std::uint32_t serialNumber = 0) {
    EdidFields f;
    f.manufacturer = "ABC";
    f.productCode = 0x1234;
    f.monitorName = "Test Monitor";
    f.serialText = std::move(serialText);
    f.serialNumber = serialNumber;
    return f;
}

}  // namespace

Q_DECLARE_METATYPE(EdidFields)

class TestX11Identity : public XorgTestCase {
    Q_OBJECT

public:
    TestX11Identity() : XorgTestCase(modelines) {}

private slots:
    // DUMMY0 and DUMMY1 shown, no EDID anywhere, a fresh backend.
    void init() {
        QVERIFY(server_.resetOutputs(baseMode));
        QVERIFY(server_.attachMonitor("DUMMY1", baseMode));
        system_ = X11DisplaySystem::open(server_.displayNameBytes());
        QVERIFY(system_);
    }
    void cleanup() { system_.reset(); }

    void edidGivesIdentity_data() {
        QTest::addColumn<EdidFields>("fields");
        QTest::addColumn<QByteArray>("deviceId");
        QTest::addColumn<QByteArray>("deviceString");
        QTest::newRow("serial descriptor")
            << model("SN-0042", 77) << QByteArray("MONITOR\\ABC1234\\SN-0042\\0000")
            << QByteArray("Test Monitor");
        QTest::newRow("serial number only")
            << model(QByteArray(), 16909060) << QByteArray("MONITOR\\ABC1234\\16909060\\0000")
            << QByteArray("Test Monitor");
        QTest::newRow("no serial at all")
            << model(QByteArray()) << QByteArray("MONITOR\\ABC1234\\0\\0000")
            << QByteArray("Test Monitor");
        EdidFields other = model("X1");
        other.manufacturer = "XYZ";
        other.productCode = 0xBEEF;
        other.monitorName = "  Wide 27  ";
        QTest::newRow("trimmed name, hex product code")
            << other << QByteArray("MONITOR\\XYZBEEF\\X1\\0000") << QByteArray("Wide 27");
        EdidFields unnamed = model("U1");
        unnamed.monitorName = QByteArray();
        QTest::newRow("no name descriptor")
            << unnamed << QByteArray("MONITOR\\ABC1234\\U1\\0000") << QByteArray("Generic Monitor");
        QTest::newRow("backslash kept out of the id")
            << model("A\\B") << QByteArray("MONITOR\\ABC1234\\AB\\0000")
            << QByteArray("Test Monitor");
    }

    void edidGivesIdentity() {
        QFETCH(EdidFields, fields);
        QFETCH(QByteArray, deviceId);
        QFETCH(QByteArray, deviceString);
        const QByteArray edid = edidBlock(fields);
        QVERIFY(server_.setEdid("DUMMY0", edid));
        const auto id = monitorOn(*system_, "DUMMY0");
        QVERIFY(id);
        QCOMPARE(id->deviceId, deviceId);
        QCOMPARE(id->deviceString, deviceString);
        QVERIFY(id->deviceKey.startsWith("EDID\\"));
        QCOMPARE(id->deviceKey.size(), 5 + 16);
    }

    // The identity belongs to the monitor, not to the output it is on.
    void sameEdidOnAnotherOutputIsSameMonitor() {
        const QByteArray edid = edidBlock(model("SN-1"));
        QVERIFY(server_.setEdid("DUMMY0", edid));
        const auto onFirst = monitorOn(*system_, "DUMMY0");
        QVERIFY(server_.setEdid("DUMMY0", {}));
        QVERIFY(server_.setEdid("DUMMY1", edid));
        const auto onSecond = monitorOn(*system_, "DUMMY1");
        QVERIFY(onFirst && onSecond);
        QCOMPARE(*onSecond, *onFirst);
        // The first output now reports a monitor of its own again.
        QCOMPARE(monitorOn(*system_, "DUMMY0")->deviceId,
                 QByteArray("MONITOR\\Default_Monitor\\DUMMY0\\0000"));
    }

    void twoMonitorsOfOneModelDiffer_data() {
        QTest::addColumn<EdidFields>("first");
        QTest::addColumn<EdidFields>("second");
        QTest::addColumn<bool>("sameDeviceId");
        QTest::newRow("serial descriptors") << model("SN-1") << model("SN-2") << false;
        QTest::newRow("serial numbers")
            << model(QByteArray(), 1) << model(QByteArray(), 2) << false;
        // The id shows the descriptor only; the key still tells them apart.
        QTest::newRow("same descriptor, other number")
            << model("SN-1", 1) << model("SN-1", 2) << true;
    }

    void twoMonitorsOfOneModelDiffer() {
        QFETCH(EdidFields, first);
        QFETCH(EdidFields, second);
        QFETCH(bool, sameDeviceId);
        QVERIFY(server_.setEdid("DUMMY0", edidBlock(first)));
        QVERIFY(server_.setEdid("DUMMY1", edidBlock(second)));
        const auto a = monitorOn(*system_, "DUMMY0");
        const auto b = monitorOn(*system_, "DUMMY1");
        QVERIFY(a && b);
        QCOMPARE(a->deviceId == b->deviceId, sameDeviceId);
        QVERIFY(a->deviceKey != b->deviceKey);
        QCOMPARE(a->deviceString, b->deviceString);
    }

    void outputWithoutEdidHasStableIdentity() {
        const Identity expected{"MONITOR\\Default_Monitor\\DUMMY1\\0000", "DUMMY1",
                                "Generic Monitor"};
        QCOMPARE(monitorOn(*system_, "DUMMY1"), std::optional(expected));
        auto again = X11DisplaySystem::open(server_.displayNameBytes());
        QVERIFY(again);
        QCOMPARE(monitorOn(*again, "DUMMY1"), std::optional(expected));
    }

    void unusableEdidCountsAsNone_data() {
        QTest::addColumn<QByteArray>("edid");
        const QByteArray good = edidBlock(model("SN-1"));
        QTest::newRow("short") << good.left(127);
        QByteArray header = good;
        header[1] = 0x00;
        fixEdidChecksum(header);
        QTest::newRow("bad header") << header;
        QByteArray checksum = good;
        checksum[127] = char(checksum[127] + 1);
        QTest::newRow("bad checksum") << checksum;
        QTest::newRow("garbage") << QByteArray(300, 'x');
    }

    void unusableEdidCountsAsNone() {
        QFETCH(QByteArray, edid);
        QVERIFY(server_.setEdid("DUMMY0", edid));
        const auto id = monitorOn(*system_, "DUMMY0");
        QVERIFY(id);
        QCOMPARE(id->deviceId, QByteArray("MONITOR\\Default_Monitor\\DUMMY0\\0000"));
        QCOMPARE(id->deviceKey, QByteArray("DUMMY0"));
    }

    // Extension blocks are part of the EDID: they change the key, not the id.
    // The key is the base block's: the same block read with or without
    // the extension blocks behind it is the same monitor.
    void extensionBlocksLeaveTheKey() {
        QByteArray base = edidBlock(model("SN-1"));
        base[126] = 1;  // announces one extension block
        fixEdidChecksum(base);
        QVERIFY(server_.setEdid("DUMMY0", base));
        QVERIFY(server_.setEdid("DUMMY1", base + QByteArray(128, '\x02')));
        const auto a = monitorOn(*system_, "DUMMY0");
        const auto b = monitorOn(*system_, "DUMMY1");
        QVERIFY(a && b);
        QCOMPARE(a->deviceId, b->deviceId);
        QCOMPARE(a->deviceKey, b->deviceKey);
    }

    void wholeEdidMakesTheKey() {
        const QByteArray base = edidBlock(model("SN-1"));
        QByteArray extended = base + QByteArray(128, '\x02');
        extended[126] = 1;
        fixEdidChecksum(extended);
        QVERIFY(server_.setEdid("DUMMY0", base));
        QVERIFY(server_.setEdid("DUMMY1", extended));
        const auto a = monitorOn(*system_, "DUMMY0");
        const auto b = monitorOn(*system_, "DUMMY1");
        QVERIFY(a && b);
        QCOMPARE(a->deviceId, b->deviceId);
        QVERIFY(a->deviceKey != b->deviceKey);
    }

    // --- The parser on its own ---------------------------------------------

    void parsesFields() {
        EdidFields f = model("SN-0042", 0x01020304);
        f.manufacturer = "DEL";
        f.productCode = 0xA0B1;
        const auto info = parseEdid(bytes(edidBlock(f)));
        QVERIFY(info);
        QCOMPARE(info->manufacturerId, std::string("DEL"));
        QCOMPARE(info->productCode, std::uint16_t(0xA0B1));
        QCOMPARE(info->serialNumber, std::uint32_t(0x01020304));
        QCOMPARE(info->serialText, std::string("SN-0042"));
        QCOMPARE(info->monitorName, std::string("Test Monitor"));
    }

    void rejectsWhatIsNoEdid_data() {
        QTest::addColumn<QByteArray>("data");
        const QByteArray good = edidBlock(model("SN-1"));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header only") << good.left(8);
        QTest::newRow("one byte short") << good.left(127);
        QByteArray header = good;
        header[0] = 0x01;
        fixEdidChecksum(header);
        QTest::newRow("bad header") << header;
        QByteArray sum = good;
        sum[20] = char(sum[20] ^ 0x01);
        QTest::newRow("bad checksum") << sum;
    }

    void rejectsWhatIsNoEdid() {
        QFETCH(QByteArray, data);
        QVERIFY(!parseEdid(bytes(data)));
    }

    void cleansDescriptorTexts_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("control characters")
            << QByteArray("\x01Na\x1bme\x7f\t") << QByteArray("Name");
        QTest::newRow("bytes above ASCII") << QByteArray("Caf\xe9 \xff") << QByteArray("Caf");
        QTest::newRow("ends at line feed") << QByteArray("AB\nCD") << QByteArray("AB");
        QTest::newRow("full 13 bytes, no line feed")
            << QByteArray("ABCDEFGHIJKLM") << QByteArray("ABCDEFGHIJKLM");
        QTest::newRow("only spaces") << QByteArray("     ") << QByteArray();
        QTest::newRow("NUL bytes") << QByteArray("A\0B", 3) << QByteArray("AB");
    }

    void cleansDescriptorTexts() {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, text);
        EdidFields f = model(QByteArray());
        f.monitorName = raw;
        const auto info = parseEdid(bytes(edidBlock(f)));
        QVERIFY(info);
        QCOMPARE(QByteArray::fromStdString(info->monitorName), text);
    }

    // A detailed timing whose fourth byte happens to be 0xFC is no name.
    void timingIsNoDescriptor() {
        EdidFields f = model(QByteArray());
        f.monitorName = QByteArray();
        QByteArray block = edidBlock(f);
        block[54 + 3] = char(0xFC);
        block[54 + 5] = 'X';
        fixEdidChecksum(block);
        const auto info = parseEdid(bytes(block));
        QVERIFY(info);
        QCOMPARE(info->monitorName, std::string());
    }

    void invalidManufacturerLettersAreMarked() {
        QByteArray block = edidBlock(model("SN"));
        block[8] = 0;  // letters 0, 0 and what is left of the low byte
        block[9] = char(0x1F);
        fixEdidChecksum(block);
        const auto info = parseEdid(bytes(block));
        QVERIFY(info);
        QCOMPARE(info->manufacturerId, std::string(3, '?'));
    }

private:
    std::unique_ptr<X11DisplaySystem> system_;
};

QTEST_GUILESS_MAIN(TestX11Identity)
#include "tst_x11_identity.moc"
