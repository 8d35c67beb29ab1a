// The settings window: pending changes and their withdrawal, what applying
// them does and writes, the polling period field, and first-time setup.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QThread>

#include "ramps/icc_profile.h"
#include "ui/settings_window.h"
#include "window_fixture.h"

namespace {

struct SettingsFixture : WindowFixture {
    settings window{*state};
    QCheckBox* box(const char* name) const { return window.findChild<QCheckBox*>(name); }
    QPushButton* button(const char* name) const { return window.findChild<QPushButton*>(name); }
    QLineEdit* period() const { return window.findChild<QLineEdit*>("txtPollingPeriod"); }
    QComboBox* depth() const { return window.findChild<QComboBox*>("cmbLUTBitDepthClamp"); }
    bool applyEnabled() const { return button("btnApply")->isEnabled(); }
    void click(const char* name) { QTest::mouseClick(window.findChild<QAbstractButton*>(name), Qt::LeftButton, {}, QPoint(4, 4)); }
    QByteArray settingsFile() const {
        QFile f(state->files.settings);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

const QString saveSettingsLines = "Saving Settings...\nSuccessfully saved Settings.\n\n";

// While it lives, counts the lookups of display 0's mode that the bit-depth
// change makes (it names the display on the developers' debug category,
// which it switches on), and those made while the loop thread ran.
class LookupWatch {
public:
    explicit LookupWatch(const AppState& state) {
        state_ = &state;
        previousFilter_ = QLoggingCategory::installFilter(filter);
        previousHandler_ = qInstallMessageHandler(handle);
    }
    ~LookupWatch() {
        qInstallMessageHandler(previousHandler_);
        QLoggingCategory::installFilter(previousFilter_);
        state_ = nullptr;
    }
    LookupWatch(const LookupWatch&) = delete;
    LookupWatch& operator=(const LookupWatch&) = delete;

    static inline int lookups = 0;
    static inline int whileLoopRan = 0;

private:
    static void filter(QLoggingCategory* category) {
        // Installing runs the filter on every category before the previous
        // one is known; each category then keeps what it had.
        if (previousFilter_)
            previousFilter_(category);
        if (qstrcmp(category->categoryName(), "tavrin") == 0)
            category->setEnabled(QtDebugMsg, true);
    }
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg || QThread::currentThread() != qApp->thread() ||
            !text.contains(WindowFixture::deviceId(0)))
            return;
        ++lookups;
        if (state_->loopThread->isRunning())
            ++whileLoopRan;
    }
    static inline const AppState* state_ = nullptr;
    static inline QLoggingCategory::CategoryFilter previousFilter_ = nullptr;
    static inline QtMessageHandler previousHandler_ = nullptr;
};

}  // namespace

class TestSettingsWindow : public QObject {
    Q_OBJECT

private slots:
    void formAndFocus() {
        SettingsFixture f;
        QCOMPARE(f.window.windowTitle(), "Settings");
        QCOMPARE(f.window.size(), QSize(299, 433));
        QCOMPARE(f.window.minimumSize(), f.window.maximumSize());
        QCOMPARE(f.box("chkEnableTrayIcon")->text(), "Enable tray  icon");
        QCOMPARE(f.window.findChild<QWidget*>("cmbLUTBitDepthClamp")->geometry(),
                 QRect(130, 210, 69, 22));
        QCOMPARE(f.depth()->currentText(), "Default");
        QCOMPARE(f.window.focusWidget()->objectName(), "btnOK");
        QVERIFY(f.window.findChild<QRadioButton*>("radModeSpecific")->isChecked());
        QCOMPARE(f.period()->text(), "1000");
        QVERIFY(!f.applyEnabled());
    }

    void undoneEditsLeaveNothingToApply_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::newRow("tick and untick") << QStringList{"chkLockLoadedProfiles", "chkLockLoadedProfiles"};
        QTest::newRow("global and back") << QStringList{"radGlobal", "radModeSpecific"};
        QTest::newRow("both start-up boxes") << QStringList{"chkStartAutomatically", "chkMinimizeToTray",
                                                            "chkMinimizeToTray", "chkStartAutomatically"};
    }
    void undoneEditsLeaveNothingToApply() {
        QFETCH(QStringList, clicks);
        SettingsFixture f;
        for (const QString& c : clicks) f.click(qPrintable(c));
        QVERIFY(!f.applyEnabled());
        QCOMPARE(f.window.pendingChangeCount(), 0);
        f.window.show();
        QTest::mouseClick(f.button("btnOK"), Qt::LeftButton);
        QVERIFY(!f.window.isVisible());
        QCOMPARE(f.logText(), "");
        QVERIFY(!QFile::exists(f.state->files.settings));
    }

    void applyLogsAndSavesWhatChanged_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QByteArrayList>("saved");
        QTest::newRow("two changes, one undone")
            << QStringList{"chkLoadLinearCurveOnExit", "chkLockLoadedProfiles",
                           "chkLoadLinearCurveOnExit"}
            << "lockLoadedProfiles = 0\n"
            << QByteArrayList{"loadLinearCurveOnExit = 1", "lockLoadedProfiles = 0"};
        // The box changes its own setting, not its neighbour's.
        QTest::newRow("linear curve on exit")
            << QStringList{"chkLoadLinearCurveOnExit"} << "loadLinearCurveOnExit = 0\n"
            << QByteArrayList{"loadLinearCurveByDefault = 1", "loadLinearCurveOnExit = 0"};
        // Each setting's line ends before the next one's begins.
        QTest::newRow("on exit and the next")
            << QStringList{"chkLoadLinearCurveOnExit", "chkLockLoadedProfiles"}
            << "loadLinearCurveOnExit = 0\nlockLoadedProfiles = 0\n"
            << QByteArrayList{"loadLinearCurveOnExit = 0", "lockLoadedProfiles = 0"};
    }
    void applyLogsAndSavesWhatChanged() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, lines);
        QFETCH(QByteArrayList, saved);
        SettingsFixture f;
        for (const QString& c : clicks) f.click(qPrintable(c));
        QVERIFY(f.applyEnabled());
        press(f.button("btnApply"));
        QVERIFY(!f.applyEnabled());
        QCOMPARE(f.logText(), "[TS]Settings changed:\n" + lines + saveSettingsLines);
        const QByteArrayList fileLines = f.settingsFile().split('\n');
        for (const QByteArray& line : saved) QVERIFY2(fileLines.contains(line), line.constData());
    }

    void pollingPeriodField_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("applicable");
        QTest::newRow("pasted: the period in force") << "1000" << true << "1000" << true;
        QTest::newRow("typed: a new period") << "250" << false << "250" << true;
        QTest::newRow("typed: negative") << "-5" << false << "5" << true;
        QTest::newRow("typed: letters") << "1x2" << false << "12" << true;
        QTest::newRow("typed: beyond the range") << "99999999999" << false << "999999999" << true;
        QTest::newRow("pasted: negative") << "-5" << true << "1000" << false;
        QTest::newRow("pasted: beyond the range") << "3000000000" << true << "1000" << false;
    }
    void pollingPeriodField() {
        QFETCH(QString, input);
        QFETCH(bool, pasted);
        QFETCH(QString, shown);
        QFETCH(bool, applicable);
        SettingsFixture f;
        f.period()->selectAll();
        if (pasted)
            f.period()->insert(input);
        else
            QTest::keyClicks(f.period(), input);
        QCOMPARE(f.period()->text(), shown);
        QCOMPARE(f.applyEnabled(), applicable);
        press(f.button("btnApply"));
        QCOMPARE(f.state->settings.pollingPeriod, shown.toInt());
    }

    void backToDefaultDepthRebuildsProfileCurvesAroundAStop() {
        SettingsFixture f;
        f.state->settings.LUTBitDepth = 8;
        const QString profile = f.writeProfile("display.icc", 1.7);
        f.addMonitor(0, profile);
        f.startLoop();
        GammaRamp curve, clamped;
        QVERIFY(ParseColorProfile(profile, curve));
        clampRampToBitDepth(8, curve, clamped);
        QVERIFY(f.sim->gamma(0) == WindowFixture::table(clamped));
        QMetaObject::invokeMethod(&f.window, "Load");
        QCOMPARE(f.depth()->currentText(), "8-bit");
        f.clearLog();

        f.depth()->setCurrentIndex(f.depth()->findText("Default"));
        {
            const LookupWatch watch(*f.state);
            press(f.button("btnApply"));
        }
        // The curves the loop reads are rebuilt while it is stopped.
        QCOMPARE(LookupWatch::lookups, 1);
        QCOMPARE(LookupWatch::whileLoopRan, 0);
        const QString log = f.logText();
        QVERIFY2(log.startsWith("[TS]Settings changed:\n[TS]Stopping loop...\n"), qPrintable(log));
        QVERIFY(log.contains("Restarting loop...\n"));
        QVERIFY(!log.contains("LUTBitDepth"));
        QCOMPARE(f.state->settings.LUTBitDepth, 0);
        // The restarted loop's drift test loads the rebuilt curve.
        QTRY_VERIFY(f.sim->gamma(0) == WindowFixture::table(curve));
        QVERIFY(f.state->loopThread->isRunning());
    }

    void minimizeToTrayAddsToStartAutomatically() {
        SettingsFixture f;
        f.state->settings.runOnStartup = 1;
        QMetaObject::invokeMethod(&f.window, "Load");
        QVERIFY(f.box("chkStartAutomatically")->isChecked());
        f.click("chkMinimizeToTray");
        press(f.button("btnApply"));
        QCOMPARE(f.state->settings.runOnStartup, 3);
        QCOMPARE(f.logText(), "[TS]Settings changed:\nrunOnStartup = 3\n" + saveSettingsLines);
        const std::optional<std::string> entry = f.runEntry->read();
        QVERIFY(entry && QString::fromStdString(*entry).endsWith("-start -hide"));
    }

    void effectsOnTheOtherWindows() {
        SettingsFixture f;
        QSignalSpy tray(&f.window, &settings::trayIconSwitched);
        QSignalSpy updates(&f.window, &settings::checkForUpdatesSwitched);
        f.click("chkEnableTrayIcon");
        f.click("chkCheckForUpdates");
        press(f.button("btnApply"));
        QCOMPARE(tray.takeFirst().at(0).toBool(), false);
        QCOMPARE(updates.takeFirst().at(0).toBool(), false);
        QCOMPARE(f.logText(), "[TS]Settings changed:\nenableTrayIcon = 0\ncheckForUpdates = 0\n" +
                                  saveSettingsLines);
    }

    void reopeningShowsTheSettingsInForce() {
        SettingsFixture f;
        f.window.open();
        f.click("chkLoadLinearCurveByDefault");
        QTest::keyClicks(f.period(), "5");
        press(f.button("btnCancel"));
        QVERIFY(!f.window.isVisible());
        f.window.open();
        QVERIFY(f.box("chkLoadLinearCurveByDefault")->isChecked());
        QCOMPARE(f.period()->text(), "1000");
        QVERIFY(!f.applyEnabled());
        // Opened again while open: raised as it is, nothing reloaded.
        f.click("chkLoadLinearCurveByDefault");
        f.window.open();
        QVERIFY(!f.box("chkLoadLinearCurveByDefault")->isChecked());
        QVERIFY(f.applyEnabled());
    }

    void firstTimeSetup() {
        SettingsFixture f;
        QSignalSpy done(&f.window, &settings::firstTimeSetupDone);
        f.window.showFirstTime();
        QCOMPARE(f.window.windowTitle(), "First time setup");
        press(f.button("btnCancel"));
        QVERIFY(!QFile::exists(f.state->files.settings));
        QCOMPARE(done.count(), 0);

        // Later, OK completes it, with the defaults and nothing changed.
        f.window.open();
        press(f.button("btnOK"));
        QCOMPARE(done.count(), 1);
        QCOMPARE(f.window.windowTitle(), "Settings");
        QCOMPARE(f.logText(), saveSettingsLines);
        QCOMPARE(f.settingsFile(),
                 "[1.05]\ndefCPAssocMode = 1\nloadLinearCurveByDefault = 1\nloadLinearCurveOnExit = "
                 "1\nlockLoadedProfiles = 1\npollingPeriod = 1000\nLUTBitDepth = 0\nenableTrayIcon = "
                 "1\ncheckForUpdates = 1\nupdateAvailable = 0\nrunOnStartup = 0");
        // Afterwards OK is an ordinary OK.
        f.window.open();
        press(f.button("btnOK"));
        QCOMPARE(done.count(), 1);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settings_window.moc"
