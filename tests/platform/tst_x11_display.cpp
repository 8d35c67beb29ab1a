// The X11 RandR backend on a real X server (Xorg with the dummy driver): the
// platform contract, and what is particular to RandR: records, activity,
// the cost of an enumeration pass and a server that goes away.
#include <QFileInfo>
#include <QTest>

#include "display_contract.h"
#include "edid_block.h"
#include "platform/x11/x11_display_system.h"
#include "xorg_server.h"

// Xlib last: its macros (None, Bool, Status) must not meet Qt's headers.
#include <X11/extensions/Xrandr.h>
#include "platform/x11/x11_connection.h"

namespace {

const QString baseMode = QStringLiteral("tavrin_1024x768");
const QString secondMode = QStringLiteral("tavrin_800x600");
const QStringList modelines = {
    QStringLiteral("\"tavrin_1024x768\" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync"),
    QStringLiteral("\"tavrin_800x600\" 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync"),
};

// One pass of the watch loop: every adapter and monitor, the current mode
// of every active monitor.
int capturePass(DisplaySystem& system) {
    int active = 0;
    DISPLAY_DEVICEA adapter{};
    for (DWORD i = 0; system.enumDisplayDevices(nullptr, i, &adapter); ++i) {
        DISPLAY_DEVICEA monitor{};
        for (DWORD j = 0; system.enumDisplayDevices(adapter.DeviceName, j, &monitor); ++j) {
            if (!(monitor.StateFlags & DISPLAY_DEVICE_ACTIVE))
                break;
            DEVMODEA mode{};
            if (system.enumDisplaySettings(adapter.DeviceName, ENUM_CURRENT_SETTINGS, &mode))
                ++active;
        }
    }
    return active;
}

DEVMODEA currentMode(DisplaySystem& system, const char* output) {
    capturePass(system);
    DEVMODEA mode{};
    system.enumDisplaySettings(output, ENUM_CURRENT_SETTINGS, &mode);
    return mode;
}

QByteArray unusedDisplayName() {
    for (int n = 900;; ++n)
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return ":" + QByteArray::number(n);
}

}  // namespace

class TestX11Display : public DisplayContract {
    Q_OBJECT

protected:
    QString unavailableReason() const override { return reason_; }

    // Every case gets DUMMY0 and DUMMY1 shown side by side and a fresh backend.
    std::unique_ptr<DisplaySystem> createSystem() override {
        if (!server_.resetOutputs(baseMode) || !server_.attachMonitor("DUMMY1", secondMode))
            return nullptr;
        return X11DisplaySystem::open(server_.displayNameBytes());
    }

    // xrandr, by the test's own mode names first ("tavrin_WxH"), then by
    // the dummy driver's ("WxH").
    displaycontract::Outside outside() override {
        return {[this](DisplaySystem&, const std::string& device, const DEVMODEA& mode) {
            const QString size = QStringLiteral("%1x%2").arg(mode.dmPelsWidth).arg(mode.dmPelsHeight);
            for (const QString& name : {QStringLiteral("tavrin_") + size, size})
                if (server_.xrandr({"--output", QString::fromStdString(device), "--mode", name}).ok)
                    return true;
            return false;
        }};
    }

    std::unique_ptr<X11DisplaySystem> openSystem() {
        return X11DisplaySystem::open(server_.displayNameBytes());
    }

private slots:
    void initTestCase() {
        reason_ = XorgServer::unavailableReason();
        if (!reason_.isEmpty())
            QSKIP(qPrintable(reason_));
        QVERIFY2(server_.start(), qPrintable(server_.errorString()));
    }

    void noServerGivesNoBackend() {
        QVERIFY(X11DisplaySystem::open(unusedDisplayName()) == nullptr);
    }

    void adapterAndMonitorRecords() {
        auto x11 = openSystem();
        QVERIFY(x11);
        DISPLAY_DEVICEA adapter{};
        QVERIFY(x11->enumDisplayDevices(nullptr, 0, &adapter));
        QCOMPARE(QByteArray(adapter.DeviceName), QByteArray("DUMMY0"));
        // The dummy driver registers no RandR provider.
        QCOMPARE(QByteArray(adapter.DeviceString), QByteArray("X11 RandR Display Output"));
        QVERIFY(adapter.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE);
        DISPLAY_DEVICEA monitor{};
        QVERIFY(x11->enumDisplayDevices("DUMMY0", 0, &monitor));
        QVERIFY(monitor.StateFlags & DISPLAY_DEVICE_ACTIVE);
        QVERIFY(!x11->enumDisplayDevices("DUMMY0", 1, &monitor));
    }

    void sixteenOutputsInServerOrder() {
        auto x11 = openSystem();
        QVERIFY(x11);
        DISPLAY_DEVICEA adapter{};
        DWORD count = 0;
        for (; x11->enumDisplayDevices(nullptr, count, &adapter); ++count)
            QCOMPARE(QByteArray(adapter.DeviceName), "DUMMY" + QByteArray::number(count));
        QCOMPARE(count, DWORD(16));
    }

    void monitorExistsWhileConnectedAndIsActiveWhileShown() {
        auto x11 = openSystem();
        QVERIFY(x11);
        DISPLAY_DEVICEA monitor{};
        // Never connected: no monitor.
        QVERIFY(!x11->enumDisplayDevices("DUMMY15", 0, &monitor));
        QCOMPARE(displaycontract::activeAdapters(*x11), (std::vector<std::string>{"DUMMY0", "DUMMY1"}));

        QVERIFY(server_.xrandr({"--output", "DUMMY1", "--off"}).ok);
        QVERIFY(x11->enumDisplayDevices(nullptr, 0, &monitor));
        QVERIFY(x11->enumDisplayDevices("DUMMY1", 0, &monitor));
        QCOMPARE(monitor.StateFlags & DISPLAY_DEVICE_ACTIVE, DWORD(0));
        DEVMODEA mode{};
        QVERIFY(!x11->enumDisplaySettings("DUMMY1", ENUM_CURRENT_SETTINGS, &mode));
        QVERIFY(x11->createDC("DUMMY1") == nullptr);
        QCOMPARE(displaycontract::activeAdapters(*x11), (std::vector<std::string>{"DUMMY0"}));
    }

    // A pass of the loop asks the server nothing about the configuration
    // while no RandR event announced a change: its capture answers from the
    // configuration as last read. Each change another client makes (a mode
    // switch, a monitor attached or detached, another monitor on the same
    // output) is announced, and seen by the very next capture; gamma
    // traffic and other output properties change nothing.
    void captureAsksNothingUntilAChangeIsAnnounced_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("reread");
        QTest::newRow("mode switch") << "mode" << true;
        QTest::newRow("monitor detached") << "off" << true;
        QTest::newRow("monitor swapped on the same output") << "edid" << true;
        QTest::newRow("gamma set and read") << "gamma" << false;
        QTest::newRow("another property of the output") << "property" << false;
    }
    void captureAsksNothingUntilAChangeIsAnnounced() {
        QFETCH(QString, change);
        QFETCH(bool, reread);
        auto x11 = openSystem();
        QVERIFY(x11);
        QCOMPARE(capturePass(*x11), 2);
        const auto before = x11->requestCounts();
        for (int pass = 0; pass < 5; ++pass) QCOMPARE(capturePass(*x11), 2);
        const auto after = x11->requestCounts();
        QCOMPARE(after.xRequests, before.xRequests);
        QCOMPARE(after.snapshotReads, before.snapshotReads);

        DISPLAY_DEVICEA monitor{};
        QVERIFY(x11->enumDisplayDevices("DUMMY1", 0, &monitor));
        const QByteArray idBefore = monitor.DeviceID;
        if (change == "mode") {
            QVERIFY(server_.xrandr({"--output", "DUMMY1", "--mode", baseMode}).ok);
        } else if (change == "off") {
            QVERIFY(server_.xrandr({"--output", "DUMMY1", "--off"}).ok);
        } else if (change == "edid") {
            EdidFields swapped;
            swapped.serialText = "SWAPPED-1";
            QVERIFY(server_.setEdid("DUMMY1", edidBlock(swapped)));
        } else if (change == "gamma") {
            HDC dc = x11->createDC("DUMMY0");
            GammaTable768 table{};
            QVERIFY(x11->getDeviceGammaRamp(dc, table));
            QVERIFY(x11->setDeviceGammaRamp(dc, table));
            x11->deleteDC(dc);
        } else {
            QVERIFY(server_.setOutputProperty("DUMMY1", "_TAVRIN_TEST", "x"));
        }
        const auto beforeCapture = x11->requestCounts();
        const int active = capturePass(*x11);
        QCOMPARE(x11->requestCounts().snapshotReads - beforeCapture.snapshotReads, reread ? 1 : 0);
        QCOMPARE(active, change == "off" ? 1 : 2);
        if (change == "mode")
            QCOMPARE(currentMode(*x11, "DUMMY1").dmPelsWidth, DWORD(1024));
        if (change == "edid") {
            QVERIFY(x11->enumDisplayDevices("DUMMY1", 0, &monitor));
            QCOMPARE(QByteArray(monitor.DeviceID), QByteArray("MONITOR\\ABC1234\\SWAPPED-1\\0000"));
            QVERIFY(idBefore != monitor.DeviceID);
        }
        // Seen once: the next capture asks nothing again.
        const auto settled = x11->requestCounts();
        QCOMPARE(capturePass(*x11), active);
        QCOMPARE(x11->requestCounts().xRequests, settled.xRequests);
    }

    // The drift test's read of every display's table is one round trip:
    // all requests go out before the first reply is awaited.
    void gammaOfSeveralCrtcsInOneRoundTrip() {
        auto x11 = openSystem();
        QVERIFY(x11);
        HDC dcs[2] = {x11->createDC("DUMMY0"), x11->createDC("DUMMY1")};
        QVERIFY(dcs[0] && dcs[1]);
        GammaTable768 written[2];
        for (int i = 0; i < 2; ++i) {
            for (int k = 0; k < 768; ++k) written[i][k] = std::uint16_t(k * 80 + i * 7);
            QVERIFY(x11->setDeviceGammaRamp(dcs[i], written[i]));
        }
        GammaTable768 tables[2] = {};
        GammaRead reads[2] = {{dcs[0], &tables[0], false}, {dcs[1], &tables[1], false}};
        const auto before = x11->requestCounts();
        x11->getDeviceGammaRamps(reads);
        QCOMPARE(x11->requestCounts().xRequests - before.xRequests, 2ul);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(reads[i].ok);
            QVERIFY(tables[i] == written[i]);
        }
        for (HDC dc : dcs) x11->deleteDC(dc);
    }

    // Another client shows DUMMY1 while an enumeration is under way (after
    // its first adapter): that enumeration answers to its end from the
    // configuration it began with, even after a gamma call of the same
    // thread has read the new one; the next enumeration sees the change.
    // So no output is skipped or listed twice, and no capture mixes two
    // configurations.
    void enumerationSeesTheConfigurationItBeganWith() {
        QVERIFY(server_.xrandr({"--output", "DUMMY1", "--off"}).ok);
        auto x11 = openSystem();
        QVERIFY(x11);
        std::vector<std::string> active;
        DWORD count = 0;
        DISPLAY_DEVICEA adapter{};
        for (; x11->enumDisplayDevices(nullptr, count, &adapter); ++count) {
            if (count == 1) {
                QVERIFY(server_.attachMonitor("DUMMY1", secondMode));
                // The backend takes the events in; its own snapshot moves on.
                HDC dc = x11->createDC("DUMMY1");
                QVERIFY(dc);
                x11->deleteDC(dc);
            }
            DISPLAY_DEVICEA monitor{};
            DEVMODEA mode{};
            if (x11->enumDisplayDevices(adapter.DeviceName, 0, &monitor) &&
                (monitor.StateFlags & DISPLAY_DEVICE_ACTIVE)) {
                QVERIFY(x11->enumDisplaySettings(adapter.DeviceName, ENUM_CURRENT_SETTINGS, &mode));
                active.emplace_back(adapter.DeviceName);
            } else {
                QVERIFY(
                    !x11->enumDisplaySettings(adapter.DeviceName, ENUM_CURRENT_SETTINGS, &mode));
            }
        }
        QCOMPARE(count, DWORD(16));
        QCOMPARE(active, std::vector<std::string>{"DUMMY0"});
        QCOMPARE(displaycontract::activeAdapters(*x11), (std::vector<std::string>{"DUMMY0", "DUMMY1"}));
    }

    // The same for a listing of one output's modes: a mode another client
    // gives the output meanwhile is not in it, and is in the next one.
    void modeListingSeesTheModesItBeganWith() {
        auto x11 = openSystem();
        QVERIFY(x11);
        const QString name = QStringLiteral("t_enum_640x480_50");
        server_.xrandr({"--newmode", name, "21.00", "640", "656", "752", "800", "480", "490", "492",
                        "525"});  // fails harmlessly when it exists
        auto listModes = [&](bool addOnTheWay) {
            std::vector<DEVMODEA> modes;
            DEVMODEA mode{};
            for (DWORD k = 0; x11->enumDisplaySettings("DUMMY0", k, &mode); ++k) {
                if (k == 0 && addOnTheWay) {
                    if (!server_.xrandr({"--addmode", "DUMMY0", name}).ok)
                        return std::vector<DEVMODEA>{};
                    HDC dc = x11->createDC("DUMMY0");
                    x11->deleteDC(dc);
                }
                modes.push_back(mode);
            }
            return modes;
        };
        const std::size_t before = listModes(false).size();
        QVERIFY(before > 0);
        QCOMPARE(listModes(true).size(), before);
        QCOMPARE(listModes(false).size(), before + 1);
        QVERIFY(server_.xrandr({"--delmode", "DUMMY0", name}).ok);
    }

    // A request the server refuses (here: a CRTC that does not exist) fails
    // alone; the connection goes on, and the process-wide handler stays.
    void protocolErrorFailsOneRequest() {
        const XErrorHandler before = XSetErrorHandler(nullptr);
        XSetErrorHandler(before);
        auto connection = X11Connection::open(server_.displayNameBytes());
        QVERIFY(connection);
        const XErrorHandler after = XSetErrorHandler(nullptr);
        XSetErrorHandler(after);
        QVERIFY(after == before);

        const RRCrtc missing = 0x7FFFFFF;
        connection->clearErrors();
        QVERIFY(XRRGetCrtcGamma(connection->display(), missing) == nullptr);
        QVERIFY(!connection->clean());

        XRRCrtcGamma* gamma = XRRAllocGamma(256);
        connection->clearErrors();
        XRRSetCrtcGamma(connection->display(), missing, gamma);
        XRRFreeGamma(gamma);
        QVERIFY(!connection->sync());

        connection->clearErrors();
        QVERIFY(connection->sync());
        QVERIFY(!connection->lost());
    }

    // A backend whose server went away fails every call; the process lives on.
    void lostServerFailsCallsWithoutEndingTheProcess() {
        XorgServer own(modelines);
        QVERIFY2(own.start(), qPrintable(own.errorString()));
        auto x11 = X11DisplaySystem::open(own.displayNameBytes());
        QVERIFY(x11);
        HDC dc = x11->createDC("DUMMY0");
        QVERIFY(dc);
        own.stop();
        GammaTable768 table{};
        table.fill(7);
        QVERIFY(!x11->setDeviceGammaRamp(dc, table));
        QVERIFY(!x11->getDeviceGammaRamp(dc, table));
        QCOMPARE(table[0], std::uint16_t(7));
        DISPLAY_DEVICEA adapter{};
        QVERIFY(!x11->enumDisplayDevices(nullptr, 0, &adapter));
        QVERIFY(x11->createDC("DUMMY0") == nullptr);
        x11->deleteDC(dc);
        x11.reset();
        // This program's own server is untouched.
        QVERIFY(openSystem());
    }

private:
    XorgServer server_{modelines};
    QString reason_;
};

QTEST_GUILESS_MAIN(TestX11Display)
#include "tst_x11_display.moc"
