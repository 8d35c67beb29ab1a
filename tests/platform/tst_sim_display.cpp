// The simulated display system: the platform contract, and the knobs tests
// use to play user, game and driver.
#include <QTest>

#include "platform/sim/sim_display_system.h"
#include "display_contract.h"

namespace {

// Two adapters: one with an active monitor and three modes, one with an
// active monitor and one mode.
std::unique_ptr<SimDisplaySystem> twoDisplays() {
    auto sim = std::make_unique<SimDisplaySystem>();
    int a = sim->addAdapter("\\\\.\\DISPLAY1", "Sim Adapter A");
    sim->attachMonitor(a, SimDisplaySystem::makeMonitor("MONITOR\\ABC1234\\{class}\\0001", "key-a",
                                                        "Monitor A"));
    sim->setModes(a, {SimDisplaySystem::makeMode(1920, 1080), SimDisplaySystem::makeMode(1280, 720),
                      SimDisplaySystem::makeMode(1280, 720, 32, 50)});
    int b = sim->addAdapter("\\\\.\\DISPLAY2", "Sim Adapter B");
    sim->attachMonitor(b, SimDisplaySystem::makeMonitor("MONITOR\\DEF5678\\{class}\\0002", "key-b",
                                                        "Monitor B"));
    sim->setModes(b, {SimDisplaySystem::makeMode(1024, 768)});
    return sim;
}

GammaTable768 filled(std::uint16_t v) {
    GammaTable768 t;
    t.fill(v);
    return t;
}

}  // namespace

class TestSimDisplay : public DisplayContract {
    Q_OBJECT

protected:
    std::unique_ptr<DisplaySystem> createSystem() override { return twoDisplays(); }
    displaycontract::Outside outside() override {
        return {[](DisplaySystem& system, const std::string& device, const DEVMODEA& mode) {
            return static_cast<SimDisplaySystem&>(system).switchMode(device, mode);
        }};
    }

private slots:
    void inactiveMonitorIsReportedInactive() {
        auto sim = twoDisplays();
        sim->setMonitorActive(0, 0, false);
        DISPLAY_DEVICEA m{};
        QVERIFY(sim->enumDisplayDevices("\\\\.\\DISPLAY1", 0, &m));
        QCOMPARE(m.StateFlags & DISPLAY_DEVICE_ACTIVE, DWORD(0));
        QCOMPARE(displaycontract::activeAdapters(*sim).size(), std::size_t(1));
    }

    void detachAndSwitchModeAreSeen() {
        auto sim = twoDisplays();
        sim->switchMode(0, SimDisplaySystem::makeMode(1280, 720, 32, 50));
        DEVMODEA cur{};
        QVERIFY(sim->enumDisplaySettings("\\\\.\\DISPLAY1", ENUM_CURRENT_SETTINGS, &cur));
        QCOMPARE(cur.dmPelsWidth, DWORD(1280));
        QCOMPARE(cur.dmDisplayFrequency, DWORD(50));
        sim->detachMonitor(1, 0);
        DISPLAY_DEVICEA m{};
        QVERIFY(!sim->enumDisplayDevices("\\\\.\\DISPLAY2", 0, &m));
        sim->clearCurrentMode(0);
        QVERIFY(!sim->enumDisplaySettings("\\\\.\\DISPLAY1", ENUM_CURRENT_SETTINGS, &cur));
    }

    void overwriteIsReadBack() {
        auto sim = twoDisplays();
        HDC dc = sim->createDC("\\\\.\\DISPLAY1");
        sim->overwriteGamma(0, filled(1234));
        GammaTable768 back{};
        QVERIFY(sim->getDeviceGammaRamp(dc, back));
        QVERIFY(back == filled(1234));
        sim->deleteDC(dc);
    }

    void quantiseKeepsHighBits_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("10 bits of 65535") << 10 << 65535 << 65472;
        QTest::newRow("10 bits of 63") << 10 << 63 << 0;
        QTest::newRow("8 bits of 257") << 8 << 257 << 256;
        QTest::newRow("exact") << 0 << 12345 << 12345;
    }

    void quantiseKeepsHighBits() {
        QFETCH(int, bits);
        QFETCH(int, in);
        QFETCH(int, out);
        auto sim = twoDisplays();
        sim->setQuantizeBits(0, bits);
        HDC dc = sim->createDC("\\\\.\\DISPLAY1");
        QVERIFY(sim->setDeviceGammaRamp(dc, filled(std::uint16_t(in))));
        QVERIFY(sim->gamma(0) == filled(std::uint16_t(out)));
        sim->deleteDC(dc);
    }

    void refusedRampLeavesTable() {
        auto sim = twoDisplays();
        sim->overwriteGamma(0, filled(7));
        sim->setRefuseRamps(0, true);
        HDC dc = sim->createDC("\\\\.\\DISPLAY1");
        QVERIFY(!sim->setDeviceGammaRamp(dc, filled(9)));
        QVERIFY(sim->gamma(0) == filled(7));
        QCOMPARE(sim->gammaLoads(0), 0);
        sim->deleteDC(dc);
    }

    void failingCreateDCAndCounters() {
        auto sim = twoDisplays();
        sim->setFailCreateDC(true);
        QVERIFY(sim->createDC("\\\\.\\DISPLAY1") == nullptr);
        sim->setFailCreateDC(false);
        HDC dc = sim->createDC("\\\\.\\DISPLAY1");
        QVERIFY(dc != nullptr);
        QCOMPARE(sim->openDeviceContexts(), 1);
        sim->deleteDC(dc);
        QCOMPARE(sim->openDeviceContexts(), 0);
        const auto calls = sim->calls();
        QCOMPARE(calls.createDC, 2);
        QCOMPARE(calls.deleteDC, 1);
        sim->resetCalls();
        QCOMPARE(sim->calls().createDC, 0);
    }
};

QTEST_GUILESS_MAIN(TestSimDisplay)
#include "tst_sim_display.moc"
