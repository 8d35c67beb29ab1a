// The watch loop's lookup: the rules of ModeForDisplay without touching the
// Tree's cursors, and safe while detection changes the Tree on another
// thread.
#include <atomic>
#include <thread>

#include <QLoggingCategory>
#include <QTest>

#include "tree/active_display.h"
#include "tree/tree.h"
#include "tree_test_support.h"

namespace {

struct Cursors {
    const Monitor* monitor;
    const Resolution* resolution;
    const Mode* mode;
    bool operator==(const Cursors&) const = default;
};

Cursors cursorsOf(const Tree& tree) {
    return {tree.currentMonitor(), tree.currentResolution(), tree.currentMode()};
}

// Monitor A twice (the second copy's associations must never be found),
// each with 640x480 twice and the 60 Hz Mode twice; monitor G global.
void treeWithRepeats(Tree& tree, Log& log) {
    for (const QString& tag : {QStringLiteral("first"), QStringLiteral("second")}) {
        tree.AppendMonitor(monitorRecord("AAA0001"), "Card");
        tree.AppendResolution(640, 480);
        tree.AppendMode(mode(640, 480, 32, 60), "RED " + tag);
        tree.AppendMode(mode(640, 480, 32, 60), "GREEN " + tag);
        tree.AppendMode(mode(640, 480, 32, 75));
        tree.AppendResolution(640, 480);
        tree.AppendMode(mode(640, 480, 32, 85), "BLUE " + tag);
    }
    tree.AppendMonitor(monitorRecord("GGG0007"), "Card");
    tree.SetAssociationMode(true, log, QStringLiteral("CYAN"));
}

}  // namespace

Q_DECLARE_METATYPE(DEVMODEA)

class TestTreeSharing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }

    void lookupFollowsTheFindRules_data() {
        QTest::addColumn<QString>("monitor");
        QTest::addColumn<DEVMODEA>("settings");
        QTest::addColumn<bool>("monitorFound");
        QTest::addColumn<bool>("modeFound");
        QTest::addColumn<QString>("profile");
        QTest::newRow("first of equal modes")
            << "AAA0001" << mode(640, 480, 32, 60) << true << true << "RED first";
        QTest::newRow("mode without association")
            << "AAA0001" << mode(640, 480, 32, 75) << true << true << "";
        QTest::newRow("only the first resolution of a size is searched")
            << "AAA0001" << mode(640, 480, 32, 85) << true << false << "";
        QTest::newRow("size not held")
            << "AAA0001" << mode(800, 600, 32, 60) << true << false << "";
        QTest::newRow("global monitor, any mode")
            << "GGG0007" << mode(1, 1, 8, 1) << true << true << "CYAN";
        QTest::newRow("unknown monitor")
            << "ZZZ0000" << mode(640, 480, 32, 60) << false << false << "";
    }
    void lookupFollowsTheFindRules() {
        QFETCH(QString, monitor);
        QFETCH(DEVMODEA, settings);
        QFETCH(bool, monitorFound);
        QFETCH(bool, modeFound);
        QFETCH(QString, profile);
        Log log;
        Tree tree;
        treeWithRepeats(tree, log);
        tree.seekSelection(1, 1, 0);
        const Cursors before = cursorsOf(tree);

        ActiveDisplay display;
        display.displayDevice = monitorRecord(monitor.toStdString());
        display.devMode = settings;
        const AssociationLookup found = tree.lookupAssociation(display);
        QCOMPARE(found.monitorFound, monitorFound);
        QCOMPARE(found.modeFound, modeFound);
        QCOMPARE(found.profile, profile);
        QCOMPARE(found.global, monitor == QLatin1String("GGG0007"));
        QVERIFY(!found.hasCurve);
        QVERIFY(cursorsOf(tree) == before);

        // ModeForDisplay, which walks with the cursors, agrees.
        const Mode* m = tree.ModeForDisplay(display);
        QCOMPARE(m != nullptr, modeFound);
        if (m)
            QCOMPARE(m->profile, profile);
    }

    void lookupCopiesTheCurve() {
        TestLog log;
        Tree tree;
        tree.AppendMonitor(monitorRecord("AAA0001"), "Card");
        tree.AppendResolution(1920, 1080);
        tree.AppendMode(mode(1920, 1080));
        const icc::Curves curves = icc::gammaCurves(2.2, 2.2, 2.2);
        const QString path = writeProfile(log.dir, QStringLiteral("p.icc"), curves);
        QVERIFY(tree.Associate(path, log.log));
        const AssociationLookup found =
            tree.lookupAssociation(monitorRecord("AAA0001"), mode(1920, 1080));
        QVERIFY(found.modeFound);
        QVERIFY(found.hasCurve);
        QCOMPARE(found.profile, path);
        QVERIFY(rampsEqual(found.curve, rampOf(curves)));
    }

    // Detection on the main thread while the loop looks up on its own: the
    // associations it relies on are never seen missing or half-made.
    void lookupIsSafeDuringDetection() {
        TestLog log;
        SimDisplaySystem sim;
        const int a = sim.addAdapter("\\\\.\\DISPLAY1", "Card A");
        sim.attachMonitor(a, monitorRecord("AAA0001"));
        const std::vector<DEVMODEA> modesOne = {mode(640, 480, 32, 60), mode(640, 480, 32, 75),
                                                mode(800, 600), mode(1024, 768)};
        const std::vector<DEVMODEA> modesTwo = {mode(1280, 1024), mode(640, 480, 32, 50),
                                                mode(640, 480, 32, 60), mode(800, 600, 32, 75)};
        sim.setModes(a, modesOne);
        const int g = sim.addAdapter("\\\\.\\DISPLAY2", "Card B");
        sim.attachMonitor(g, monitorRecord("GGG0007"));
        sim.setModes(g, {mode(1920, 1080)});

        Tree tree;
        tree.DetectAll(sim, true);
        const icc::Curves curves = icc::gammaCurves(1.8, 2.0, 2.2);
        const QString path = writeProfile(log.dir, QStringLiteral("shared.icc"), curves);
        const DISPLAY_DEVICEA monitorA = monitorRecord("AAA0001");
        tree.FindMonitor(monitorA);
        tree.FindResolution(640, 480);
        tree.FindMode(mode(640, 480, 32, 60));
        QVERIFY(tree.Associate(path, log.log));
        tree.FindMonitor(monitorRecord("GGG0007"));
        QVERIFY(tree.SetAssociationMode(true, log.log, QStringLiteral("CYAN")));
        const GammaRamp expected = rampOf(curves);

        std::atomic<int> lookups{0};
        std::atomic<int> wrong{0};
        // A std::jthread: a failed check returns with the thread stopped and
        // joined, not left running.
        std::jthread loop([&](std::stop_token stop) {
            while (!stop.stop_requested()) {
                const AssociationLookup found =
                    tree.lookupAssociation(monitorA, mode(640, 480, 32, 60));
                if (!found.modeFound || found.profile != path || !found.hasCurve ||
                    !rampsEqual(found.curve, expected))
                    ++wrong;
                const AssociationLookup global =
                    tree.lookupAssociation(monitorRecord("GGG0007"), mode(1920, 1080));
                if (!global.global || global.profile != QLatin1String("CYAN"))
                    ++wrong;
                tree.lookupAssociation(monitorRecord("NEW0000"), mode(800, 600));
                ++lookups;
            }
        });

        while (lookups.load() == 0) std::this_thread::yield();
        for (int round = 0; round < 1000; ++round) {
            sim.setModes(a, round % 2 ? modesTwo : modesOne);
            tree.FindMonitor(monitorA);
            QVERIFY(tree.DetectResolutions(sim));
            tree.FindMonitor(monitorA);
            tree.FindResolution(640, 480);
            QVERIFY(tree.DetectModes(sim));
            Tree detected;
            detected.AppendMonitor(monitorRecord("NEW" + std::to_string(round % 7)), "Card N");
            detected.AppendResolution(800, 600);
            detected.AppendMode(mode(800, 600));
            tree.MergeDetected(detected);
            if (round % 3 == 0) {
                tree.ResetCursors();
                tree.NextMonitor();
                tree.NextMonitor();
                if (tree.NextMonitor())
                    tree.DeleteCurrentMonitor();
            }
        }
        loop.request_stop();
        loop.join();
        QCOMPARE(wrong.load(), 0);
    }
};

QTEST_MAIN(TestTreeSharing)
#include "tst_tree_sharing.moc"
