#include "display_contract.h"

#include <cstring>
#include <thread>

#include <QTest>

namespace {

GammaTable768 testTable(int kind) {
    GammaTable768 t{};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) {
            int v = 0;
            switch (kind) {
                case 0: v = i * 257; break;                        // linear
                case 1: v = (i * 257) / (c + 2); break;            // per-channel dimming
                case 2: v = (255 - i) * 257; break;                // inverted
                default: v = ((i * 7919 + c * 104729) % 65536); break;  // arbitrary
            }
            t[c * 256 + i] = static_cast<std::uint16_t>(v);
        }
    return t;
}

}  // namespace

std::vector<std::string> DisplayContract::activeAdapters(DisplaySystem& system) {
    std::vector<std::string> names;
    DISPLAY_DEVICEA adapter{};
    adapter.cb = sizeof adapter;
    for (DWORD i = 0; system.enumDisplayDevices(nullptr, i, &adapter); ++i) {
        DISPLAY_DEVICEA monitor{};
        monitor.cb = sizeof monitor;
        if (system.enumDisplayDevices(adapter.DeviceName, 0, &monitor) &&
            (monitor.StateFlags & DISPLAY_DEVICE_ACTIVE))
            names.emplace_back(adapter.DeviceName);
    }
    return names;
}

void DisplayContract::init() {
    const QString reason = unavailableReason();
    if (!reason.isEmpty()) QSKIP(qPrintable(reason));
    system_ = createSystem();
    QVERIFY(system_);
    QVERIFY2(!activeAdapters(*system_).empty(), "the backend's set-up has no active monitor");
}

void DisplayContract::cleanup() {
    system_.reset();
}

void DisplayContract::adaptersEnumerateFromZeroAndEnd() {
    DISPLAY_DEVICEA d{};
    DWORD count = 0;
    while (count < 1000 && system_->enumDisplayDevices(nullptr, count, &d)) {
        QVERIFY(std::strlen(d.DeviceName) > 0);
        QVERIFY(std::memchr(d.DeviceName, 0, sizeof d.DeviceName) != nullptr);
        ++count;
    }
    QVERIFY(count > 0);
    QVERIFY(count < 1000);
    QVERIFY(!system_->enumDisplayDevices(nullptr, count, &d));
    QVERIFY(!system_->enumDisplayDevices(nullptr, count + 7, &d));
}

void DisplayContract::recordsCarryTheirSize() {
    const std::string name = activeAdapters(*system_).front();
    DISPLAY_DEVICEA monitor{};
    QVERIFY(system_->enumDisplayDevices(name.c_str(), 0, &monitor));
    QCOMPARE(monitor.cb, DWORD(sizeof(DISPLAY_DEVICEA)));
    QVERIFY(std::memchr(monitor.DeviceID, 0, sizeof monitor.DeviceID) != nullptr);
    QVERIFY(std::memchr(monitor.DeviceKey, 0, sizeof monitor.DeviceKey) != nullptr);
    QVERIFY(std::memchr(monitor.DeviceString, 0, sizeof monitor.DeviceString) != nullptr);
    DEVMODEA mode{};
    QVERIFY(system_->enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &mode));
    QCOMPARE(mode.dmSize, WORD(sizeof(DEVMODEA)));
}

void DisplayContract::activeAdapterHasCurrentMode() {
    for (const std::string& name : activeAdapters(*system_)) {
        DEVMODEA mode{};
        QVERIFY(system_->enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &mode));
        QVERIFY(mode.dmPelsWidth > 0);
        QVERIFY(mode.dmPelsHeight > 0);
        QVERIFY(mode.dmBitsPerPel >= 8);
    }
}

void DisplayContract::modeListEndsAndCurrentModeIsListed() {
    const std::string name = activeAdapters(*system_).front();
    DEVMODEA current{};
    QVERIFY(system_->enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &current));
    DEVMODEA m{};
    DWORD k = 0;
    bool listed = false;
    while (k < 100000 && system_->enumDisplaySettings(name.c_str(), k, &m)) {
        if (m.dmPelsWidth == current.dmPelsWidth && m.dmPelsHeight == current.dmPelsHeight &&
            m.dmBitsPerPel == current.dmBitsPerPel &&
            m.dmDisplayFrequency == current.dmDisplayFrequency)
            listed = true;
        ++k;
    }
    QVERIFY(k > 0);
    QVERIFY(k < 100000);
    QVERIFY2(listed, "the current mode is not among the listed modes");
}

void DisplayContract::unknownDeviceFails() {
    DISPLAY_DEVICEA d{};
    DEVMODEA m{};
    QVERIFY(!system_->enumDisplayDevices("no such device", 0, &d));
    QVERIFY(!system_->enumDisplaySettings("no such device", 0, &m));
    QVERIFY(!system_->enumDisplaySettings("no such device", ENUM_CURRENT_SETTINGS, &m));
}

void DisplayContract::deviceContextForUnknownDeviceIsNull() {
    QVERIFY(system_->createDC("no such device") == nullptr);
}

void DisplayContract::gammaRoundTripIsExact_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("linear") << 0;
    QTest::newRow("dimmed channels") << 1;
    QTest::newRow("inverted") << 2;
    QTest::newRow("arbitrary") << 3;
}

void DisplayContract::gammaRoundTripIsExact() {
    QFETCH(int, kind);
    for (const std::string& name : activeAdapters(*system_)) {
        HDC dc = system_->createDC(name.c_str());
        QVERIFY(dc != nullptr);
        const GammaTable768 table = testTable(kind);
        QVERIFY(system_->setDeviceGammaRamp(dc, table));
        GammaTable768 back{};
        QVERIFY(system_->getDeviceGammaRamp(dc, back));
        QVERIFY2(back == table, name.c_str());
        system_->deleteDC(dc);
    }
}

void DisplayContract::nullContextFailsAndKeepsTable() {
    GammaTable768 table = testTable(3);
    const GammaTable768 before = table;
    QVERIFY(!system_->getDeviceGammaRamp(nullptr, table));
    QVERIFY(table == before);
    QVERIFY(!system_->setDeviceGammaRamp(nullptr, table));
    system_->deleteDC(nullptr);  // ignored
}

void DisplayContract::releasedContextFails() {
    const std::string name = activeAdapters(*system_).front();
    HDC dc = system_->createDC(name.c_str());
    QVERIFY(dc != nullptr);
    system_->deleteDC(dc);
    GammaTable768 table = testTable(1);
    QVERIFY(!system_->setDeviceGammaRamp(dc, table));
    const GammaTable768 before = table;
    QVERIFY(!system_->getDeviceGammaRamp(dc, table));
    QVERIFY(table == before);
}

void DisplayContract::twoContextsSeeOneTable() {
    const std::string name = activeAdapters(*system_).front();
    HDC a = system_->createDC(name.c_str());
    HDC b = system_->createDC(name.c_str());
    QVERIFY(a && b);
    QVERIFY(system_->setDeviceGammaRamp(a, testTable(2)));
    GammaTable768 back{};
    QVERIFY(system_->getDeviceGammaRamp(b, back));
    QVERIFY(back == testTable(2));
    system_->deleteDC(a);
    // Releasing one leaves the other usable.
    QVERIFY(system_->getDeviceGammaRamp(b, back));
    system_->deleteDC(b);
}

void DisplayContract::concurrentUseFromTwoThreads() {
    const std::string name = activeAdapters(*system_).front();
    std::atomic<int> failures{0};
    auto worker = [&](int kind) {
        for (int n = 0; n < 200; ++n) {
            HDC dc = system_->createDC(name.c_str());
            if (!dc) {
                ++failures;
                continue;
            }
            GammaTable768 back{};
            if (!system_->setDeviceGammaRamp(dc, testTable(kind))) ++failures;
            if (!system_->getDeviceGammaRamp(dc, back)) ++failures;
            // The table read is one of the two whole tables, never a mix.
            if (back != testTable(1) && back != testTable(2)) ++failures;
            DEVMODEA m{};
            if (!system_->enumDisplaySettings(name.c_str(), ENUM_CURRENT_SETTINGS, &m)) ++failures;
            system_->deleteDC(dc);
        }
    };
    std::thread t1(worker, 1);
    std::thread t2(worker, 2);
    t1.join();
    t2.join();
    QCOMPARE(failures.load(), 0);
}
