// Display detection on the simulated system: the active-display snapshot,
// DetectAll, MergeDetected, DetectResolutions, DetectModes, ModeForDisplay,
// and the release of device contexts.
#include <memory>

#include <QRegularExpression>
#include <QTest>

#include "platform/null_display_system.h"
#include "tree/active_display.h"
#include "tree/display_records.h"
#include "tree/tree.h"
#include "tree_test_support.h"

namespace {

const char* const display1 = "\\\\.\\DISPLAY1";
const char* const display3 = "\\\\.\\DISPLAY3";
const char* const display4 = "\\\\.\\DISPLAY4";

// Four outputs on two cards:
//  0 DISPLAY1 (Card A): AAA, with adjacent and non-adjacent repeats and
//    16-bit modes in its list;
//  1 DISPLAY2 (Card A): an inactive first monitor slot, then an active BBB:
//    neither is seen;
//  2 DISPLAY3 (Card B): CCC, then an inactive DDD, then an active EEE that
//    is not looked at;
//  3 DISPLAY4 (Card B): FFF, whose output offers no mode at all.
std::unique_ptr<SimDisplaySystem> fourOutputs() {
    auto sim = std::make_unique<SimDisplaySystem>();
    const int a = sim->addAdapter(display1, "Card A");
    sim->attachMonitor(a, monitorRecord("AAA0001", "Monitor A"));
    sim->setModes(a, {mode(640, 480, 32, 60), mode(640, 480, 32, 60), mode(640, 480, 16, 60),
                      mode(640, 480, 32, 75), mode(640, 480, 16, 75), mode(640, 480, 32, 75),
                      mode(800, 600, 32, 60), mode(640, 480, 32, 60)});
    const int b = sim->addAdapter("\\\\.\\DISPLAY2", "Card A");
    sim->attachMonitor(b, monitorRecord("XXX0000"), false);
    sim->attachMonitor(b, monitorRecord("BBB0002"));
    sim->setModes(b, {mode(1280, 1024)});
    const int c = sim->addAdapter(display3, "Card B");
    sim->attachMonitor(c, monitorRecord("CCC0003", "Monitor C"));
    sim->attachMonitor(c, monitorRecord("DDD0004"), false);
    sim->attachMonitor(c, monitorRecord("EEE0005"));
    sim->setModes(c, {mode(1024, 768, 32, 60)});
    const int d = sim->addAdapter(display4, "Card B");
    sim->attachMonitor(d, monitorRecord("FFF0006", "Monitor F"));
    return sim;
}

QString hardwareId(const DISPLAY_DEVICEA& device) {
    return fieldText(device.DeviceID).section(QLatin1Char('\\'), 1, 1);
}

QStringList capturedIds(const ActiveDisplayList& list) {
    QStringList ids;
    for (const ActiveDisplay* d = list.displayHead()->nextNode.get(); d; d = d->nextNode.get())
        ids << hardwareId(d->displayDevice);
    return ids;
}

QStringList monitorIds(const Tree& tree) {
    QStringList ids;
    for (const Monitor* m = tree.monitorHead()->nextNode.get(); m; m = m->nextNode.get())
        ids << hardwareId(m->displayDevice) + (m->globalAssociation ? "*" : "");
    return ids;
}

// Positions the cursors on the Mode of `settings` under the monitor and
// associates `text` there.
void associateAt(Tree& tree, const DISPLAY_DEVICEA& monitor, const DEVMODEA& settings,
                 const QString& text) {
    Log log;
    QVERIFY(tree.FindMonitor(monitor));
    QVERIFY(tree.FindResolution(int(settings.dmPelsWidth), int(settings.dmPelsHeight)));
    QVERIFY(tree.FindMode(settings));
    QVERIFY(tree.Associate(text, log));
}

const QString monitorADetected = QStringLiteral(
    "640x480: 640x480x32 @ 60Hz, 640x480x32 @ 75Hz; 800x600: 800x600x32 @ 60Hz; "
    "640x480: 640x480x32 @ 60Hz");

}  // namespace

class TestDetection : public QObject {
    Q_OBJECT

private slots:
    void captureTakesTheActiveMonitors() {
        auto sim = fourOutputs();
        ActiveDisplayList list;
        list.Capture(*sim);
        QCOMPARE(capturedIds(list), QStringList({"AAA0001", "CCC0003", "FFF0006"}));
        QCOMPARE(list.currentDisplay(), list.displayHead());
        QVERIFY(list.NextDisplay());
        QCOMPARE(fieldText(list.CurrentDisplayDevice().DeviceName), QString(display1));
        QCOMPARE(list.CurrentDisplayDevice().cb, DWORD(sizeof(DISPLAY_DEVICEA)));
        QVERIFY(SameMode(list.CurrentSettings(), mode(640, 480, 32, 60)));
        QCOMPARE(list.CurrentSettings().dmSize, WORD(sizeof(DEVMODEA)));
        QVERIFY(list.CurrentProfile().isEmpty());
        QVERIFY(!list.CurrentHasCurve());
        QVERIFY(!list.CurrentDeviceContext());
        QVERIFY(list.NextDisplay());
        QCOMPARE(fieldText(list.CurrentDisplayDevice().DeviceName), QString(display3));
        // An output without current settings gives empty ones.
        QVERIFY(list.NextDisplay());
        QCOMPARE(list.CurrentSettings().dmPelsWidth, DWORD(0));
        QCOMPARE(list.CurrentSettings().dmSize, WORD(sizeof(DEVMODEA)));
        QVERIFY(!list.NextDisplay());
    }

    void captureOfNothing() {
        NullDisplaySystem none;
        ActiveDisplayList list;
        list.Capture(none);
        QVERIFY(list.isEmpty());
        Tree tree;
        QCOMPARE(tree.DetectAll(none, true), 0);
        QVERIFY(tree.IsEmpty());
    }

    void sameConfiguration_data() {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("same");
        QTest::newRow("nothing changed") << 0 << true;
        QTest::newRow("refresh rate switched") << 1 << false;
        QTest::newRow("order of two monitors changed") << 2 << false;
        QTest::newRow("a monitor removed") << 3 << false;
        QTest::newRow("a monitor moved to another output") << 4 << false;
        QTest::newRow("a gamma table overwritten") << 5 << true;
    }
    void sameConfiguration() {
        QFETCH(int, change);
        QFETCH(bool, same);
        auto sim = fourOutputs();
        ActiveDisplayList before;
        before.Capture(*sim);
        GammaTable768 dark{};
        switch (change) {
            case 1:
                sim->switchMode(0, mode(640, 480, 32, 75));
                break;
            case 2:
                sim->detachMonitor(0, 0);
                sim->attachMonitor(3, monitorRecord("AAA0001", "Monitor A"));
                sim->switchMode(3, mode(640, 480, 32, 60));
                sim->detachMonitor(3, 0);
                sim->attachMonitor(0, monitorRecord("FFF0006", "Monitor F"));
                sim->clearCurrentMode(0);
                break;
            case 3:
                sim->detachMonitor(2, 0);
                break;
            case 4: {
                const int e = sim->addAdapter("\\\\.\\DISPLAY5", "Card C");
                sim->detachMonitor(3, 0);
                sim->attachMonitor(e, monitorRecord("FFF0006", "Monitor F"));
                break;
            }
            case 5:
                sim->overwriteGamma(0, dark);
                break;
        }
        ActiveDisplayList after;
        after.Capture(*sim);
        QCOMPARE(before.SameConfiguration(after), same);
        QCOMPARE(after.SameConfiguration(before), same);
    }

    void findDisplayFindsAMovedMonitor() {
        auto sim = fourOutputs();
        const int e = sim->addAdapter("\\\\.\\DISPLAY5", "Card C");
        sim->detachMonitor(2, 0);  // CCC leaves DISPLAY3 (DDD becomes its first, inactive)
        sim->attachMonitor(e, monitorRecord("CCC0003", "Monitor C"));
        ActiveDisplayList list;
        list.Capture(*sim);
        QCOMPARE(capturedIds(list), QStringList({"AAA0001", "FFF0006", "CCC0003"}));
        const ActiveDisplay* found = list.FindDisplay(monitorRecord("CCC0003", "Monitor C"));
        QVERIFY(found);
        QCOMPARE(list.currentDisplay(), found);
        QCOMPARE(fieldText(found->displayDevice.DeviceName), QStringLiteral("\\\\.\\DISPLAY5"));
        QVERIFY(!list.FindDisplay(monitorRecord("DDD0004")));
        QCOMPARE(list.currentDisplay(), list.displayTail());
    }

    void detectAllModeSpecific() {
        auto sim = fourOutputs();
        Tree tree;
        QCOMPARE(tree.DetectAll(*sim, true), 3);
        QCOMPARE(monitorIds(tree), QStringList({"AAA0001", "CCC0003", "FFF0006"}));
        QCOMPARE(describeMonitor(*monitorAt(tree, 0)), monitorADetected);
        QCOMPARE(describeMonitor(*monitorAt(tree, 1)),
                 QStringLiteral("1024x768: 1024x768x32 @ 60Hz"));
        QCOMPARE(describeMonitor(*monitorAt(tree, 2)), QString());
        QCOMPARE(fieldText(monitorAt(tree, 1)->OutputDevice), QStringLiteral("Card B"));
        QCOMPARE(fieldText(monitorAt(tree, 1)->displayDevice.DeviceName), QString(display3));
        QCOMPARE(monitorAt(tree, 1)->displayDevice.StateFlags & DISPLAY_DEVICE_ACTIVE,
                 DISPLAY_DEVICE_ACTIVE);
        // The cursors end on the last nodes appended.
        QCOMPARE(tree.currentMonitor(), monitorAt(tree, 2));
        QCOMPARE(tree.currentResolution(), monitorAt(tree, 2)->resolutionHead.get());
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeHead.get());

        Tree one;
        sim->detachMonitor(2, 0);
        sim->detachMonitor(3, 0);
        one.DetectAll(*sim, true);
        QCOMPARE(one.currentResolution(), monitorAt(one, 0)->resolutionTail);
        QCOMPARE(one.currentMode()->ListItemText(), QStringLiteral("640x480x32 @ 60Hz"));
        QCOMPARE(one.currentMode(), one.currentResolution()->modeTail);
    }

    void detectAllGlobal() {
        auto sim = fourOutputs();
        sim->resetCalls();
        Tree tree;
        QCOMPARE(tree.DetectAll(*sim, false), 3);
        QCOMPARE(monitorIds(tree), QStringList({"AAA0001*", "CCC0003*", "FFF0006*"}));
        for (int i = 0; i < 3; ++i) {
            const Monitor* m = monitorAt(tree, i);
            QVERIFY(m->globalMode);
            QVERIFY(m->globalMode->profile.isEmpty());
            QVERIFY(!m->globalMode->hasCurve);
            QCOMPARE(m->resolutionTail, m->resolutionHead.get());
        }
        QCOMPARE(tree.currentMode(), monitorAt(tree, 2)->globalMode.get());
        // No mode is enumerated for global monitors.
        QCOMPARE(sim->calls().enumDisplaySettings, 0);
    }

    void mergeAddsOnlyNewMonitors() {
        auto sim = fourOutputs();
        Tree tree;
        DISPLAY_DEVICEA oldA = monitorRecord("AAA0001", "Monitor A");
        setFieldText(oldA.DeviceName, "\\\\.\\OLD");
        tree.AppendMonitor(oldA, "Old Card");
        tree.AppendResolution(320, 200);
        tree.AppendMode(mode(320, 200), QStringLiteral("RED"));

        Tree detected;
        detected.DetectAll(*sim, true);
        associateAt(detected, monitorRecord("CCC0003", "Monitor C"), mode(1024, 768), "BLUE");
        QCOMPARE(tree.MergeDetected(detected), 2);
        QCOMPARE(monitorIds(tree), QStringList({"AAA0001", "CCC0003", "FFF0006"}));
        const Monitor* a = monitorAt(tree, 0);
        QCOMPARE(describeMonitor(*a), QStringLiteral("320x200: 320x200x32 @ 60Hz [RED]"));
        QCOMPARE(fieldText(a->displayDevice.DeviceName), QStringLiteral("\\\\.\\OLD"));
        QCOMPARE(fieldText(a->OutputDevice), QStringLiteral("Old Card"));
        // Copies carry no association.
        QCOMPARE(describeMonitor(*monitorAt(tree, 1)),
                 QStringLiteral("1024x768: 1024x768x32 @ 60Hz"));
        QCOMPARE(fieldText(monitorAt(tree, 1)->OutputDevice), QStringLiteral("Card B"));
        QCOMPARE(tree.currentMonitor(), tree.monitorTail());

        // Everything held already: nothing changes.
        const Monitor* tail = tree.monitorTail();
        QCOMPARE(tree.MergeDetected(detected), 0);
        QCOMPARE(tree.monitorTail(), tail);
    }

    void mergeAppendsAMonitorListedTwiceTwice() {
        Tree tree;
        tree.AppendMonitor(monitorRecord("AAA0001"), "Card");
        Tree detected;
        Log log;
        detected.AppendMonitor(monitorRecord("NEW0001"), "Card N");
        detected.SetAssociationMode(true, log, QStringLiteral("CYAN"));
        detected.AppendMonitor(monitorRecord("NEW0001"), "Card N");
        detected.SetAssociationMode(true, log);
        QCOMPARE(tree.MergeDetected(detected), 2);
        QCOMPARE(monitorIds(tree), QStringList({"AAA0001", "NEW0001*", "NEW0001*"}));
        QVERIFY(monitorAt(tree, 1)->globalMode->profile.isEmpty());
    }

    void detectResolutionsKeepsAssociatedResolutionsWhole() {
        auto sim = fourOutputs();
        Tree tree;
        tree.DetectAll(*sim, true);
        const DISPLAY_DEVICEA a = monitorRecord("AAA0001", "Monitor A");
        associateAt(tree, a, mode(800, 600, 32, 60), "RED");
        const Resolution* kept = tree.currentResolution();
        sim->setModes(0, {mode(1024, 768), mode(800, 600, 32, 75), mode(800, 600, 32, 60),
                          mode(640, 480, 32, 60), mode(800, 600, 32, 60), mode(640, 480, 16)});
        QVERIFY(tree.FindMonitor(a));
        QVERIFY(tree.DetectResolutions(*sim));
        // The kept Resolution takes the place where its size first comes and
        // gains none of the modes offered now; the size coming back later is
        // a Resolution of its own.
        QCOMPARE(describeMonitor(*monitorAt(tree, 0)),
                 QStringLiteral("1024x768: 1024x768x32 @ 60Hz; 800x600: 800x600x32 @ 60Hz [RED]; "
                                "640x480: 640x480x32 @ 60Hz; 800x600: 800x600x32 @ 60Hz"));
        QCOMPARE(monitorAt(tree, 0)->resolutionHead->nextNode->nextNode.get(), kept);
        QCOMPARE(tree.currentResolution(), monitorAt(tree, 0)->resolutionTail);
    }

    void detectResolutionsReleasesKeptSizesNoLongerOffered() {
        auto sim = fourOutputs();
        Tree tree;
        tree.DetectAll(*sim, true);
        const DISPLAY_DEVICEA a = monitorRecord("AAA0001", "Monitor A");
        associateAt(tree, a, mode(800, 600, 32, 60), "RED");
        sim->setModes(0, {mode(1024, 768)});
        QVERIFY(tree.FindMonitor(a));
        QVERIFY(tree.DetectResolutions(*sim));
        QCOMPARE(describeMonitor(*monitorAt(tree, 0)),
                 QStringLiteral("1024x768: 1024x768x32 @ 60Hz"));
        // An output with no mode of 32 bits per pixel: nothing is left.
        sim->setModes(0, {mode(1024, 768, 16)});
        QVERIFY(tree.DetectResolutions(*sim));
        QVERIFY(tree.MonitorHasNoResolutions());
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeHead.get());
    }

    void detectResolutionsFollowsAMovedMonitor() {
        auto sim = fourOutputs();
        Tree tree;
        tree.DetectAll(*sim, true);
        const int e = sim->addAdapter("\\\\.\\DISPLAY5", "Card C");
        sim->setModes(e, {mode(1280, 1024), mode(1024, 768, 32, 75)});
        sim->detachMonitor(2, 0);
        sim->attachMonitor(e, monitorRecord("CCC0003", "Monitor C"));
        QVERIFY(tree.FindMonitor(monitorRecord("CCC0003", "Monitor C")));
        QVERIFY(tree.DetectResolutions(*sim));
        QCOMPARE(describeMonitor(*monitorAt(tree, 1)),
                 QStringLiteral("1280x1024: 1280x1024x32 @ 60Hz; 1024x768: 1024x768x32 @ 75Hz"));
        QCOMPARE(fieldText(monitorAt(tree, 1)->displayDevice.DeviceName), QString(display3));
    }

    void detectionOnAMonitorNotActiveChangesNothing() {
        auto sim = fourOutputs();
        Tree tree;
        tree.DetectAll(*sim, true);
        sim->setMonitorActive(0, 0, false);
        sim->setModes(0, {mode(1024, 768)});
        QVERIFY(tree.FindMonitor(monitorRecord("AAA0001", "Monitor A")));
        QVERIFY(!tree.DetectResolutions(*sim));
        QVERIFY(tree.FindResolution(640, 480));
        const Resolution* resolution = tree.currentResolution();
        QVERIFY(!tree.DetectModes(*sim));
        QCOMPARE(tree.currentResolution(), resolution);
        QCOMPARE(describeMonitor(*monitorAt(tree, 0)), monitorADetected);
        // Neither the sentinel Resolution nor the sentinel Monitor is rebuilt.
        tree.ResetModeCursor();
        tree.seekSelection(1);
        QVERIFY(!tree.DetectModes(*sim));
        tree.ResetCursors();
        QVERIFY(!tree.DetectResolutions(*sim));
    }

    void detectModesKeepsAssociatedModesInPlace() {
        auto sim = fourOutputs();
        Tree tree;
        tree.DetectAll(*sim, true);
        const DISPLAY_DEVICEA a = monitorRecord("AAA0001", "Monitor A");
        associateAt(tree, a, mode(640, 480, 32, 60), "RED");
        const GammaRamp curve = rampOf(icc::gammaCurves(2.2, 2.0, 1.8));
        tree.SetCurrentModeCurve(curve);
        const Mode* associated = tree.currentMode();
        sim->setModes(0, {mode(640, 480, 32, 50), mode(800, 600), mode(640, 480, 32, 60),
                          mode(640, 480, 32, 75), mode(640, 480, 32, 60), mode(640, 480, 8, 60)});
        tree.FindMonitor(a);
        tree.FindResolution(640, 480);
        QVERIFY(tree.DetectModes(*sim));
        QCOMPARE(describeMonitor(*monitorAt(tree, 0)).section(';', 0, 0),
                 QStringLiteral("640x480: 640x480x32 @ 50Hz, 640x480x32 @ 60Hz [RED], "
                                "640x480x32 @ 75Hz, 640x480x32 @ 60Hz"));
        const Mode* second = tree.currentResolution()->modeHead->nextNode->nextNode.get();
        QCOMPARE(second, associated);
        QVERIFY(second->hasCurve);
        QVERIFY(rampsEqual(second->curve, curve));
        QCOMPARE(tree.currentMode(), tree.currentResolution()->modeTail);

        // Nothing offered at all: the kept Mode goes too.
        sim->setModes(0, {});
        QVERIFY(tree.DetectModes(*sim));
        QVERIFY(tree.ResolutionHasNoModes());
    }

    // A tree holding a size, or a mode, twice (from an earlier detection or
    // a file) is folded by the next detection on that monitor: every
    // association the lookup could not reach reaches it now; where two
    // copies disagree, the first one's stays and the other text is
    // reported. The system offers 640x480 at 60 and 75 Hz and 800x600; a
    // Resolution with an association is kept whole.
    void detectionFoldsTheDuplicatesTheTreeHeld_data() {
        QTest::addColumn<QString>("held");  // "WxH@F[=text]": a new Resolution where the size changes
        QTest::addColumn<bool>("modesOnly");
        QTest::addColumn<QString>("folded");
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<QString>("foundAt60");
        // "profile" stands for a profile path with its parsed curve.
        QTest::newRow("association on the second copy of a size")
            << "640x480@60 800x600@60 640x480@60=profile 640x480@75=BLUE" << false
            << "640x480: 640x480x32 @ 60Hz [profile], 640x480x32 @ 75Hz [BLUE]; "
               "800x600: 800x600x32 @ 60Hz"
            << QStringList() << "profile";
        QTest::newRow("both copies associated")
            << "640x480@60=RED 800x600@60 640x480@60=BLUE" << false
            << "640x480: 640x480x32 @ 60Hz [RED]; 800x600: 800x600x32 @ 60Hz"
            << QStringList{"BLUE"} << "RED";
        QTest::newRow("both copies with the same text")
            << "640x480@60=RED 800x600@60=CYAN 640x480@60=RED" << false
            << "640x480: 640x480x32 @ 60Hz [RED]; 800x600: 800x600x32 @ 60Hz [CYAN]"
            << QStringList() << "RED";
        QTest::newRow("a mode twice in one resolution")
            << "640x480@60=RED 640x480@75 640x480@60=BLUE" << true
            << "640x480: 640x480x32 @ 60Hz [RED], 640x480x32 @ 75Hz" << QStringList{"BLUE"}
            << "RED";
        QTest::newRow("a mode twice, only the second associated")
            << "640x480@60 640x480@75 640x480@60=GREEN" << true
            << "640x480: 640x480x32 @ 60Hz [GREEN], 640x480x32 @ 75Hz" << QStringList()
            << "GREEN";
    }
    void detectionFoldsTheDuplicatesTheTreeHeld() {
        QFETCH(QString, held);
        QFETCH(bool, modesOnly);
        QFETCH(QString, folded);
        QFETCH(QStringList, dropped);
        QFETCH(QString, foundAt60);
        SimDisplaySystem sim;
        const DISPLAY_DEVICEA a = monitorRecord("AAA0001", "Monitor A");
        sim.attachMonitor(sim.addAdapter(display1, "Card A"), a);
        sim.setModes(0, {mode(640, 480, 32, 60), mode(640, 480, 32, 75), mode(800, 600, 32, 60)});

        Tree tree;
        const GammaRamp curve = rampOf(icc::gammaCurves(2.2, 2.0, 1.8));
        tree.AppendMonitor(a, "Card A");
        int width = 0, height = 0;
        const QRegularExpression token(QStringLiteral("(\\d+)x(\\d+)@(\\d+)(?:=(\\w+))?"));
        for (const QString& t : held.split(' ')) {
            const auto m = token.match(t);
            QVERIFY(m.hasMatch());
            if (m.captured(1).toInt() != width || m.captured(2).toInt() != height) {
                width = m.captured(1).toInt();
                height = m.captured(2).toInt();
                QVERIFY(tree.AppendResolution(width, height));
            }
            QVERIFY(tree.AppendMode(mode(width, height, 32, m.captured(3).toUInt()), m.captured(4)));
            if (m.captured(4) == "profile")
                tree.SetCurrentModeCurve(curve);
        }

        QStringList droppedNow;
        QVERIFY(tree.FindMonitor(a));
        if (modesOnly) {
            QVERIFY(tree.FindResolution(640, 480));
            QVERIFY(tree.DetectModes(sim, &droppedNow));
        } else {
            QVERIFY(tree.DetectResolutions(sim, &droppedNow));
        }
        QCOMPARE(describeMonitor(*monitorAt(tree, 0)), folded);
        QCOMPARE(droppedNow, dropped);
        const AssociationLookup found = tree.lookupAssociation(a, mode(640, 480, 32, 60));
        QCOMPARE(found.profile, foundAt60);
        QCOMPARE(found.hasCurve, foundAt60 == "profile");
        if (found.hasCurve)
            QVERIFY(rampsEqual(found.curve, curve));
    }

    void modeForDisplay() {
        auto sim = fourOutputs();
        Tree tree;
        tree.DetectAll(*sim, true);
        Log log;
        tree.FindMonitor(monitorRecord("CCC0003", "Monitor C"));
        tree.SetAssociationMode(true, log, QStringLiteral("GREEN"));
        sim->switchMode(0, mode(640, 480, 32, 75));
        ActiveDisplayList list;
        list.Capture(*sim);
        list.ResetCursor();

        QVERIFY(list.NextDisplay());
        const Mode* m = tree.ModeForDisplay(*list.currentDisplay());
        QVERIFY(m);
        QCOMPARE(m->ListItemText(), QStringLiteral("640x480x32 @ 75Hz"));
        QCOMPARE(tree.currentMode(), m);

        QVERIFY(list.NextDisplay());
        m = tree.ModeForDisplay(*list.currentDisplay());
        QCOMPARE(m, monitorAt(tree, 1)->globalMode.get());
        QCOMPARE(m->profile, QStringLiteral("GREEN"));

        QVERIFY(list.NextDisplay());  // FFF: no current mode, no Resolution
        QVERIFY(!tree.ModeForDisplay(*list.currentDisplay()));
        QCOMPARE(tree.currentMonitor(), monitorAt(tree, 2));

        sim->switchMode(0, mode(640, 480, 32, 85));
        ActiveDisplayList changed;
        changed.Capture(*sim);
        changed.NextDisplay();
        QVERIFY(!tree.ModeForDisplay(*changed.currentDisplay()));
        tree.DeleteAllMonitors();
        QVERIFY(!tree.ModeForDisplay(*changed.currentDisplay()));
    }

    void copyFromTakesOnlyDevicesAndSettings() {
        auto sim = fourOutputs();
        ActiveDisplayList snapshot;
        snapshot.Capture(*sim);
        snapshot.NextDisplay();
        snapshot.SetCurrentProfile(QStringLiteral("RED"));
        ActiveDisplayList applied(sim.get());
        applied.CopyFrom(snapshot);
        QVERIFY(applied.SameConfiguration(snapshot));
        QCOMPARE(applied.size(), 3);
        QCOMPARE(applied.currentDisplay(), applied.displayHead());
        for (const ActiveDisplay* d = applied.displayHead()->nextNode.get(); d;
             d = d->nextNode.get()) {
            QVERIFY(d->profile.isEmpty());
            QVERIFY(!d->hasCurve);
            QVERIFY(!d->deviceContext);
        }
    }

    void deviceContextsAreReleasedWithTheirRecords() {
        auto sim = fourOutputs();
        auto openAll = [&](ActiveDisplayList& list) {
            list.ResetCursor();
            while (list.NextDisplay())
                list.SetCurrentDeviceContext(
                    sim->createDC(list.currentDisplay()->displayDevice.DeviceName));
        };
        ActiveDisplayList snapshot;
        snapshot.Capture(*sim);
        {
            ActiveDisplayList list(sim.get());
            list.CopyFrom(snapshot);
            openAll(list);
            QCOMPARE(sim->openDeviceContexts(), 3);

            // Replacing a handle releases the old one; setting the same one
            // again keeps it.
            list.ResetCursor();
            list.NextDisplay();
            const HDC first = list.CurrentDeviceContext();
            list.SetCurrentDeviceContext(first);
            QCOMPARE(sim->openDeviceContexts(), 3);
            list.SetCurrentDeviceContext(sim->createDC(display1));
            QCOMPARE(sim->openDeviceContexts(), 3);
            list.SetCurrentDeviceContext(nullptr);
            QCOMPARE(sim->openDeviceContexts(), 2);

            list.CopyFrom(snapshot);
            QCOMPARE(sim->openDeviceContexts(), 0);
            openAll(list);
            list.Clear();
            QCOMPARE(sim->openDeviceContexts(), 0);
            QVERIFY(list.isEmpty());
            list.CopyFrom(snapshot);
            openAll(list);
            // A list copied onto itself keeps its records and lets go of
            // their handles.
            list.CopyFrom(list);
            QCOMPARE(list.size(), 3);
            QCOMPARE(sim->openDeviceContexts(), 0);
            openAll(list);
            QCOMPARE(sim->openDeviceContexts(), 3);
        }
        QCOMPARE(sim->openDeviceContexts(), 0);
    }
};

QTEST_MAIN(TestDetection)
#include "tst_detection.moc"
