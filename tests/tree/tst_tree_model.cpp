// The display tree's data model: nodes, their texts, the identity and copy
// rules, and every cursor operation.
#include <QListWidget>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include "tree/display_records.h"
#include "tree/tree.h"
#include "tree_test_support.h"

namespace {

QString treeLines(const auto& node) {
    QByteArray bytes;
    node.WriteTreeLines(bytes);
    return QString::fromLocal8Bit(bytes);
}

QString logLines(const auto& node) {
    TestLog log;
    {
        LogGroup g = log.log.group();
        node.WriteLog(g);
    }
    return log.text();
}

QStringList items(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) texts << list.item(i)->text();
    return texts;
}

// Two monitors: A with 640x480 (60, 75 Hz) and 800x600 (60 Hz), B with
// 1024x768 (60 Hz).
void fillTwoMonitors(Tree& tree) {
    tree.AppendMonitor(monitorRecord("AAA0001", "Monitor A"), "Adapter A");
    tree.AppendResolution(640, 480);
    tree.AppendMode(mode(640, 480, 32, 60));
    tree.AppendMode(mode(640, 480, 32, 75));
    tree.AppendResolution(800, 600);
    tree.AppendMode(mode(800, 600, 32, 60));
    tree.AppendMonitor(monitorRecord("BBB0002", "Monitor B"), "Adapter B");
    tree.AppendResolution(1024, 768);
    tree.AppendMode(mode(1024, 768, 32, 60));
}

// Releases a Tree with one Resolution of `modes` Modes on a thread whose
// stack is far too small for a recursive release.
class SmallStackRelease : public QThread {
public:
    explicit SmallStackRelease(int modes) : modes_(modes) { setStackSize(128 * 1024); }
    bool released = false;

protected:
    void run() override {
        {
            Tree tree;
            tree.AppendMonitor(monitorRecord("LNG0001"), "Adapter");
            tree.AppendResolution(640, 480);
            for (int i = 0; i < modes_; ++i) tree.AppendMode(mode(640, 480, 32, DWORD(i)));
            for (int i = 0; i < modes_; ++i) tree.AppendResolution(i, i);
        }
        released = true;
    }

private:
    int modes_;
};

}  // namespace

class TestTreeModel : public QObject {
    Q_OBJECT

private slots:
    void newTreeIsEmpty() {
        Tree tree;
        QVERIFY(tree.IsEmpty());
        QVERIFY(!tree.NextMonitor());
        QCOMPARE(tree.currentMonitor(), tree.monitorHead());
        QCOMPARE(tree.currentResolution(), tree.monitorHead()->resolutionHead.get());
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeHead.get());
        QVERIFY(tree.MonitorHasNoResolutions());
        QVERIFY(tree.ResolutionHasNoModes());
        QListWidget list;
        tree.FillMonitorList(&list);
        QCOMPARE(list.count(), 0);
    }

    void monitorItemText_data() {
        QTest::addColumn<QString>("deviceId");
        QTest::addColumn<QString>("expected");
        QTest::newRow("four parts") << "MONITOR\\ABC1234\\{4d36e96e-e325-11ce}\\0001"
                                    << "ABC1234 - Generic Monitor\nExample Adapter\n";
        QTest::newRow("two parts") << "MONITOR\\ABC1234"
                                   << "ABC1234 - Generic Monitor\nExample Adapter\n";
        QTest::newRow("no backslash") << "Default_Monitor"
                                      << "Default_Monitor - Generic Monitor\nExample Adapter\n";
        QTest::newRow("empty") << ""
                               << " - Generic Monitor\nExample Adapter\n";
    }
    void monitorItemText() {
        QFETCH(QString, deviceId);
        QFETCH(QString, expected);
        Monitor monitor(
            SimDisplaySystem::makeMonitor(deviceId.toStdString(), "key", "Generic Monitor"));
        monitor.setOutputDevice("Example Adapter");
        QCOMPARE(monitor.ListItemText(), expected);
    }

    void resolutionAndModeTexts() {
        const Resolution resolution(640, 480);
        const Mode m(mode(640, 480, 32, 60, DM_INTERLACED), QStringLiteral("RED"));
        QCOMPARE(resolution.ListItemText(), QStringLiteral("640x480"));
        QCOMPARE(m.ListItemText(), QStringLiteral("640x480x32 @ 60Hz"));
        QCOMPARE(logLines(resolution), QStringLiteral("640x480\n"));
        QCOMPARE(logLines(m), QStringLiteral("Bits Per Pixel: 32\nDisplay Flags: 2\n"
                                             "Display Frequency: 60\n"));
        QCOMPARE(treeLines(resolution), QStringLiteral("640 480"));
        QCOMPARE(treeLines(m), QStringLiteral("32\n2\n60\n\"RED\""));
        QCOMPARE(treeLines(Mode(mode(640, 480, 32, 4294967295u))),
                 QStringLiteral("32\n0\n4294967295\n"));
    }

    void monitorLogAndTreeLines() {
        Monitor monitor(SimDisplaySystem::makeMonitor("MONITOR\\ABC1234\\{c}\\0001", "the\\key",
                                                      "Generic Monitor"));
        monitor.setOutputDevice("Example Adapter");
        QCOMPARE(logLines(monitor), QStringLiteral("DeviceID = MONITOR\\ABC1234\\{c}\\0001\n"
                                                   "DeviceKey = the\\key\n"
                                                   "DeviceString = Generic Monitor\n"
                                                   "OutputDevice = Example Adapter\n"));
        QCOMPARE(treeLines(monitor), QStringLiteral("MONITOR\\ABC1234\\{c}\\0001\nthe\\key\n"
                                                    "Generic Monitor\nExample Adapter"));
    }

    void outputDeviceIsCutToItsField() {
        Monitor monitor;
        monitor.setOutputDevice(QByteArray(300, 'x'));
        QCOMPARE(fieldText(monitor.OutputDevice), QString(127, QLatin1Char('x')));
    }

    void sameMonitor_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("same");
        QTest::newRow("identical") << 0 << true;
        QTest::newRow("DeviceName differs") << 1 << true;
        QTest::newRow("StateFlags differ") << 2 << true;
        QTest::newRow("DeviceID differs") << 3 << false;
        QTest::newRow("DeviceKey differs") << 4 << false;
        QTest::newRow("DeviceString differs") << 5 << false;
        QTest::newRow("DeviceString in other case") << 6 << false;
        QTest::newRow("bytes after the terminator differ") << 7 << true;
    }
    void sameMonitor() {
        QFETCH(int, field);
        QFETCH(bool, same);
        const DISPLAY_DEVICEA a = monitorRecord("ABC1234");
        DISPLAY_DEVICEA b = a;
        switch (field) {
            case 1:
                setFieldText(b.DeviceName, "\\\\.\\DISPLAY9");
                break;
            case 2:
                b.StateFlags = DISPLAY_DEVICE_ACTIVE;
                break;
            case 3:
                b.DeviceID[8] = 'X';
                break;
            case 4:
                b.DeviceKey[0] = 'K';
                break;
            case 5:
                setFieldText(b.DeviceString, "Other Monitor");
                break;
            case 6:
                setFieldText(b.DeviceString, "generic monitor");
                break;
            case 7:
                b.DeviceString[120] = 'z';
                break;
        }
        QCOMPARE(SameMonitor(a, b), same);
        QCOMPARE(SameMonitor(b, a), same);
    }

    void sameMode_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("same");
        QTest::newRow("identical") << 0 << true;
        QTest::newRow("position, fields, name differ") << 1 << true;
        QTest::newRow("bits per pixel") << 2 << false;
        QTest::newRow("width") << 3 << false;
        QTest::newRow("height") << 4 << false;
        QTest::newRow("flags") << 5 << false;
        QTest::newRow("frequency") << 6 << false;
    }
    void sameMode() {
        QFETCH(int, field);
        QFETCH(bool, same);
        const DEVMODEA a = mode(1920, 1080, 32, 60);
        DEVMODEA b = a;
        switch (field) {
            case 1:
                b.dmPosition = {1920, 0};
                b.dmFields = 0;
                b.dmDeviceName[0] = 'x';
                b.dmDisplayOrientation = 1;
                break;
            case 2:
                b.dmBitsPerPel = 24;
                break;
            case 3:
                b.dmPelsWidth = 1919;
                break;
            case 4:
                b.dmPelsHeight = 1081;
                break;
            case 5:
                b.dmDisplayFlags = DM_INTERLACED;
                break;
            case 6:
                b.dmDisplayFrequency = 59;
                break;
        }
        QCOMPARE(SameMode(a, b), same);
    }

    void copyRulesKeepTheDestinationsOwnFields() {
        DISPLAY_DEVICEA source = monitorRecord("ABC1234");
        setFieldText(source.DeviceName, "\\\\.\\DISPLAY3");
        source.StateFlags = 5;
        source.cb = 1;
        DISPLAY_DEVICEA device = emptyDisplayDevice();
        CopyDisplayDevice(device, source);
        QCOMPARE(device.cb, DWORD(sizeof(DISPLAY_DEVICEA)));
        QCOMPARE(fieldText(device.DeviceName), QStringLiteral("\\\\.\\DISPLAY3"));
        QCOMPARE(device.StateFlags, DWORD(5));
        QVERIFY(SameMonitor(device, source));

        DEVMODEA settings = mode(800, 600, 32, 72);
        settings.dmSize = 12;
        settings.dmDeviceName[0] = 'd';
        settings.dmFormName[0] = 'f';
        settings.dmPosition = {10, 20};
        settings.dmICMMethod = 7;
        const Mode m(settings);
        QCOMPARE(m.devMode.dmSize, WORD(sizeof(DEVMODEA)));
        QCOMPARE(m.devMode.dmDeviceName[0], BYTE(0));
        QCOMPARE(m.devMode.dmFormName[0], BYTE(0));
        QCOMPARE(m.devMode.dmPosition.y, LONG(20));
        QCOMPARE(m.devMode.dmICMMethod, DWORD(7));
        QVERIFY(SameMode(m.devMode, settings));
        QVERIFY(m.profile.isEmpty());
        QVERIFY(!m.hasCurve);
    }

    void findMonitorTakesTheFirstOfEqualMonitors() {
        Tree tree;
        fillTwoMonitors(tree);
        DISPLAY_DEVICEA moved = monitorRecord("BBB0002", "Monitor B");
        setFieldText(moved.DeviceName, "\\\\.\\DISPLAY7");
        tree.AppendMonitor(moved, "Adapter C");
        const Monitor* found = tree.FindMonitor(monitorRecord("BBB0002", "Monitor B"));
        QCOMPARE(found, monitorAt(tree, 1));
        QCOMPARE(tree.currentMonitor(), found);
        QCOMPARE(tree.currentResolution(), found->resolutionHead.get());
        QCOMPARE(tree.currentMode(), found->resolutionHead->modeHead.get());
    }

    void failedFindsLeaveTheCursorOnTheLastNode() {
        Tree tree;
        fillTwoMonitors(tree);
        QVERIFY(!tree.FindMonitor(monitorRecord("ZZZ9999")));
        QCOMPARE(tree.currentMonitor(), monitorAt(tree, 1));
        QCOMPARE(tree.currentResolution(), monitorAt(tree, 1)->resolutionHead.get());

        QVERIFY(tree.FindMonitor(monitorRecord("AAA0001", "Monitor A")));
        QVERIFY(!tree.FindResolution(1024, 768));
        QCOMPARE(tree.currentResolution(), monitorAt(tree, 0)->resolutionTail);
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeHead.get());

        QVERIFY(tree.FindResolution(640, 480));
        // The same bits, flags and frequency at another size are another mode.
        QVERIFY(!tree.FindMode(mode(800, 600, 32, 60)));
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeTail);
        const Mode* found = tree.FindMode(mode(640, 480, 32, 60));
        QVERIFY(found);
        QCOMPARE(found->devMode.dmDisplayFrequency, DWORD(60));
        QCOMPARE(tree.currentMode(), found);
        QCOMPARE(tree.CurrentResolutionSize(), QSize(640, 480));
        QCOMPARE(tree.CurrentModeSettings().dmDisplayFrequency, DWORD(60));
    }

    void selectionSeek_data() {
        QTest::addColumn<int>("monitorRow");
        QTest::addColumn<int>("resolutionRow");
        QTest::addColumn<int>("modeRow");
        QTest::addColumn<QString>("monitor");
        QTest::addColumn<QString>("resolution");
        QTest::addColumn<QString>("mode");
        QTest::newRow("nothing selected") << -1 << -1 << -1 << ""
                                          << ""
                                          << "";
        QTest::newRow("monitor only") << 0 << -1 << -1 << "AAA0001"
                                      << ""
                                      << "";
        QTest::newRow("second mode") << 0 << 0 << 1 << "AAA0001"
                                     << "640x480"
                                     << "640x480x32 @ 75Hz";
        QTest::newRow("second monitor") << 1 << 0 << 0 << "BBB0002"
                                        << "1024x768"
                                        << "1024x768x32 @ 60Hz";
        QTest::newRow("rows past the end stop at the last") << 5 << 5 << 5 << "BBB0002"
                                                            << "1024x768"
                                                            << "1024x768x32 @ 60Hz";
    }
    void selectionSeek() {
        QFETCH(int, monitorRow);
        QFETCH(int, resolutionRow);
        QFETCH(int, modeRow);
        QFETCH(QString, monitor);
        QFETCH(QString, resolution);
        QFETCH(QString, mode);
        Tree tree;
        fillTwoMonitors(tree);
        tree.seekSelection(monitorRow, resolutionRow, modeRow);
        const bool sentinelMonitor = tree.currentMonitor() == tree.monitorHead();
        QCOMPARE(sentinelMonitor
                     ? QString()
                     : fieldText(tree.currentMonitor()->displayDevice.DeviceID).section('\\', 1, 1),
                 monitor);
        const bool sentinelResolution =
            tree.currentResolution() == tree.currentMonitor()->resolutionHead.get();
        QCOMPARE(sentinelResolution ? QString() : tree.currentResolution()->ListItemText(),
                 resolution);
        const bool sentinelMode = tree.currentMode() == tree.currentResolution()->modeHead.get();
        QCOMPARE(sentinelMode ? QString() : tree.currentMode()->ListItemText(), mode);
    }

    void fillListsWalkToTheLastNode() {
        Tree tree;
        fillTwoMonitors(tree);
        QListWidget monitors, resolutions, modes;
        monitors.addItem(QStringLiteral("kept"));
        tree.FillMonitorList(&monitors);
        QCOMPARE(items(monitors), QStringList({"kept", "AAA0001 - Monitor A\nAdapter A\n",
                                               "BBB0002 - Monitor B\nAdapter B\n"}));
        QCOMPARE(tree.currentMonitor(), monitorAt(tree, 1));

        tree.seekSelection(0);
        tree.FillResolutionList(&resolutions);
        QCOMPARE(items(resolutions), QStringList({"640x480", "800x600"}));
        QCOMPARE(tree.currentResolution(), monitorAt(tree, 0)->resolutionTail);

        tree.seekSelection(0, 0);
        tree.FillModeList(&modes);
        QCOMPARE(items(modes), QStringList({"640x480x32 @ 60Hz", "640x480x32 @ 75Hz"}));
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeTail);
    }

    void deletingTheLastModeMakesItsPredecessorTheTail() {
        Tree tree;
        fillTwoMonitors(tree);
        tree.seekSelection(0, 0, 1);
        const Mode* first = tree.currentResolution()->modeHead->nextNode.get();
        QVERIFY(tree.DeleteCurrentMode());
        QCOMPARE(tree.currentResolution()->modeTail, first);
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeHead.get());
        tree.FindMode(mode(640, 480, 32, 60));
        QVERIFY(tree.AppendMode(mode(640, 480, 32, 85)));
        QCOMPARE(describeMonitor(*monitorAt(tree, 0)),
                 QStringLiteral("640x480: 640x480x32 @ 60Hz, 640x480x32 @ 85Hz; "
                                "800x600: 800x600x32 @ 60Hz"));
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeTail);
    }

    void deletingCurrentNodes() {
        Tree tree;
        fillTwoMonitors(tree);
        tree.seekSelection(0, 0);
        QVERIFY(tree.DeleteCurrentResolution());
        QCOMPARE(tree.currentResolution(), monitorAt(tree, 0)->resolutionHead.get());
        QCOMPARE(describeMonitor(*monitorAt(tree, 0)),
                 QStringLiteral("800x600: 800x600x32 @ 60Hz"));
        tree.seekSelection(0, 0);
        QVERIFY(tree.DeleteCurrentResolution());
        QVERIFY(tree.MonitorHasNoResolutions());
        QVERIFY(tree.AppendResolution(320, 200));
        QCOMPARE(monitorAt(tree, 0)->resolutionTail, tree.currentResolution());

        tree.seekSelection(1);
        QVERIFY(tree.DeleteCurrentMonitor());
        QCOMPARE(tree.currentMonitor(), tree.monitorHead());
        QCOMPARE(tree.monitorTail(), monitorAt(tree, 0));
        tree.AppendMonitor(monitorRecord("CCC0003"), "Adapter C");
        QCOMPARE(monitorAt(tree, 1), tree.monitorTail());

        // A cursor on a sentinel deletes nothing.
        tree.ResetCursors();
        QVERIFY(!tree.DeleteCurrentMonitor());
        QVERIFY(!tree.DeleteCurrentResolution());
        QVERIFY(!tree.DeleteCurrentMode());
        QCOMPARE(nodelistCount(tree), 2);
    }

    void deletingAll() {
        Tree tree;
        fillTwoMonitors(tree);
        tree.seekSelection(0, 0, 0);
        tree.DeleteAllModes();
        QVERIFY(tree.ResolutionHasNoModes());
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeHead.get());
        tree.DeleteAllResolutions();
        QVERIFY(tree.MonitorHasNoResolutions());
        QCOMPARE(tree.currentResolution(), monitorAt(tree, 0)->resolutionHead.get());
        QCOMPARE(describeMonitor(*monitorAt(tree, 1)),
                 QStringLiteral("1024x768: 1024x768x32 @ 60Hz"));
        tree.seekSelection(1, 0, 0);
        tree.DeleteAllMonitors();
        QVERIFY(tree.IsEmpty());
        QCOMPARE(tree.currentMonitor(), tree.monitorHead());
        QCOMPARE(tree.currentMode(), tree.monitorHead()->resolutionHead->modeHead.get());
    }

    void appendsThatWouldBreakTheTreeAreRefused() {
        Tree tree;
        Log log;                                    // not opened: nothing is written
        QVERIFY(!tree.AppendResolution(640, 480));  // the Monitor sentinel
        tree.AppendMonitor(monitorRecord("AAA0001"), "Adapter");
        QVERIFY(!tree.AppendMode(mode(640, 480)));  // the Resolution sentinel
        QVERIFY(tree.AppendResolution(640, 480));
        QVERIFY(!tree.AppendMode(mode(800, 600)));  // another size
        QVERIFY(tree.ResolutionHasNoModes());
        QVERIFY(tree.SetAssociationMode(true, log));
        QVERIFY(!tree.AppendResolution(800, 600));  // a global Monitor
        QVERIFY(tree.MonitorHasNoResolutions());
    }

    void longListsAreReleasedWithoutRecursion() {
        SmallStackRelease release(10000);
        release.start();
        QVERIFY(release.wait(60000));
        QVERIFY(release.released);
    }

private:
    static int nodelistCount(const Tree& tree) {
        int n = 0;
        for (const Monitor* m = tree.monitorHead()->nextNode.get(); m; m = m->nextNode.get()) ++n;
        return n;
    }
};

QTEST_MAIN(TestTreeModel)
#include "tst_tree_model.moc"
