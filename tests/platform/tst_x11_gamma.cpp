// Gamma tables on X11 CRTCs: what the backend writes is what the server
// holds, what other clients write is what the backend reads, a CRTC that
// stops driving its output fails the call, and a profile loaded through the
// program gives the very table ArgyllCMS dispwin loads from the same file.
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "icc_profiles.h"
#include "platform/x11/x11_display_system.h"
#include "ramps/gamma_ramp.h"
#include "ramps/icc_profile.h"
#include "xorg_test_case.h"

namespace {

const QString baseMode = QStringLiteral("tavrin_1024x768");
const QStringList modelines = {
    QStringLiteral("\"tavrin_1024x768\" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync"),
};

GammaTable768 linearTable() {
    GammaTable768 t{};
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i) t[c * 256 + i] = std::uint16_t(i * 257);
    return t;
}

GammaTable768 patternTable(int salt) {
    GammaTable768 t{};
    for (int i = 0; i < 768; ++i) t[i] = std::uint16_t((i * 7919 + salt * 104729) % 65536);
    return t;
}

}  // namespace

class TestX11Gamma : public XorgTestCase {
    Q_OBJECT

public:
    TestX11Gamma() : XorgTestCase(modelines) {}

private slots:
    // DUMMY0 alone, shown, with a linear table (a fresh server's is not),
    // and a fresh backend.
    void init() {
        QVERIFY(server_.resetOutputs(baseMode));
        QVERIFY(server_.setCrtcGamma("DUMMY0", linearTable()));
        system_ = X11DisplaySystem::open(server_.displayNameBytes());
        QVERIFY(system_);
    }
    void cleanup() { system_.reset(); }

    void serverHoldsWhatWasWritten() {
        QVERIFY(server_.attachMonitor("DUMMY1", baseMode));
        QVERIFY(server_.setCrtcGamma("DUMMY1", linearTable()));
        HDC first = system_->createDC("DUMMY0");
        HDC second = system_->createDC("DUMMY1");
        QVERIFY(first && second);
        QVERIFY(system_->setDeviceGammaRamp(first, patternTable(1)));
        QCOMPARE(server_.crtcGamma("DUMMY0"), std::optional(patternTable(1)));
        // Each output has a CRTC of its own.
        QCOMPARE(server_.crtcGamma("DUMMY1"), std::optional(linearTable()));
        QVERIFY(system_->setDeviceGammaRamp(second, patternTable(2)));
        QCOMPARE(server_.crtcGamma("DUMMY1"), std::optional(patternTable(2)));
        QCOMPARE(server_.crtcGamma("DUMMY0"), std::optional(patternTable(1)));
        system_->deleteDC(first);
        system_->deleteDC(second);
    }

    void tableOfAnotherClientIsReadBack_data() {
        QTest::addColumn<QStringList>("xrandrArguments");
        QTest::newRow("xrandr --gamma")
            << QStringList{"--output", "DUMMY0", "--gamma", "0.5:0.5:0.5"};
        QTest::newRow("xrandr --brightness")
            << QStringList{"--output", "DUMMY0", "--brightness", "0.7"};
    }

    void tableOfAnotherClientIsReadBack() {
        QFETCH(QStringList, xrandrArguments);
        HDC dc = system_->createDC("DUMMY0");
        QVERIFY(dc);
        QVERIFY(system_->setDeviceGammaRamp(dc, patternTable(3)));
        QVERIFY(server_.xrandr(xrandrArguments).ok);
        GammaTable768 back{};
        QVERIFY(system_->getDeviceGammaRamp(dc, back));
        QVERIFY(back != patternTable(3));
        QCOMPARE(std::optional(back), server_.crtcGamma("DUMMY0"));
        system_->deleteDC(dc);
    }

    // The device context stands for its output; once the output drives no
    // CRTC, calls fail and the process and the other displays go on.
    void crtcThatStoppedDrivingFailsTheCall() {
        QVERIFY(server_.attachMonitor("DUMMY1", baseMode));
        HDC other = system_->createDC("DUMMY0");
        HDC dc = system_->createDC("DUMMY1");
        QVERIFY(dc && other);
        QVERIFY(system_->setDeviceGammaRamp(dc, patternTable(4)));
        QVERIFY(server_.xrandr({"--output", "DUMMY1", "--off"}).ok);

        GammaTable768 table = patternTable(5);
        QVERIFY(!system_->setDeviceGammaRamp(dc, table));
        QVERIFY(!system_->getDeviceGammaRamp(dc, table));
        QVERIFY(table == patternTable(5));
        QVERIFY(system_->createDC("DUMMY1") == nullptr);

        QVERIFY(system_->setDeviceGammaRamp(other, patternTable(6)));
        QVERIFY(system_->getDeviceGammaRamp(other, table));
        QVERIFY(table == patternTable(6));
        system_->deleteDC(dc);
        system_->deleteDC(other);
    }

    // A v2 display profile with a 256-entry vcgt table, written by LittleCMS:
    // parsed and loaded by the program, and loaded by dispwin, it leaves the
    // same table in the CRTC.
    void profileLoadsAsDispwinLoadsIt_data() {
        QTest::addColumn<double>("red");
        QTest::addColumn<double>("green");
        QTest::addColumn<double>("blue");
        QTest::newRow("gamma 1.8 / 2.0 / 2.4") << 1.8 << 2.0 << 2.4;
        QTest::newRow("gamma 0.8 / 1.0 / 1.25") << 0.8 << 1.0 << 1.25;
    }

    void profileLoadsAsDispwinLoadsIt() {
        if (QStandardPaths::findExecutable(QStringLiteral("dispwin")).isEmpty())
            QSKIP("ArgyllCMS dispwin is not installed (argyll)");
        QFETCH(double, red);
        QFETCH(double, green);
        QFETCH(double, blue);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("profile.icc"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(icc::lcmsTableProfile(icc::Version::V2,
                                                 icc::gammaCurves(red, green, blue))) > 0);
        file.close();

        GammaRamp ramp;
        QVERIFY(ParseColorProfile(path, ramp));
        HDC dc = system_->createDC("DUMMY0");
        QVERIFY(dc);
        loadRampIntoDisplay(*system_, dc, ramp);
        const auto ours = server_.crtcGamma("DUMMY0");
        QVERIFY(ours);

        QVERIFY(server_.setCrtcGamma("DUMMY0", linearTable()));
        const auto dispwin = server_.runClient(QStringLiteral("dispwin"),
                                               {QStringLiteral("-display"), server_.displayName(),
                                                QStringLiteral("-d"), QStringLiteral("1"), path});
        QVERIFY2(dispwin.ok, dispwin.output.constData());
        const auto theirs = server_.crtcGamma("DUMMY0");
        QVERIFY(theirs);
        QVERIFY(*theirs != linearTable());
        QVERIFY(*ours == *theirs);

        // And the program reads dispwin's table as its own.
        DeviceGammaTable table{};
        GammaRamp back;
        readBackFromDisplay(*system_, dc, table, back);
        QVERIFY(rampsEqual(back, ramp));
        system_->deleteDC(dc);
    }

private:

    std::unique_ptr<X11DisplaySystem> system_;
};

QTEST_GUILESS_MAIN(TestX11Gamma)
#include "tst_x11_gamma.moc"
