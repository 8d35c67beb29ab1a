// The update dialog's answers, with the windows and the update check linked
// as start-up links them.
#include <QCheckBox>
#include <QDesktopServices>
#include <QSignalSpy>

#include "app/window_links.h"
#include "core/build_config.h"
#include "loopback_http_server.h"
#include "ui/about_window.h"
#include "ui/settings_window.h"
#include "ui/update_dialog.h"
#include "update/update_check.h"
#include "window_fixture.h"

namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

struct Flow : Window {
    LoopbackHttpServer server;
    std::unique_ptr<settings> settingsWindow;
    std::unique_ptr<UpdateDialog> dialog;
    std::unique_ptr<UpdateCheck> checker;
    About about;
    UrlCatcher urls;

    Flow() {
        open();
        settingsWindow = std::make_unique<settings>(*state);
        dialog = std::make_unique<UpdateDialog>(state->settings, state->log, state->files.settings);
        checker = std::make_unique<UpdateCheck>(state->settings, state->log, state->files.settings,
                                                server.url());
        linkWindows({w.get(), settingsWindow.get(), dialog.get(), checker.get(), &about});
        QDesktopServices::setUrlHandler("http", &urls, "open");
        // An update is known; the check shows the dialog.
        state->settings.updateAvailable = true;
        checker->check();
    }
    ~Flow() { QDesktopServices::unsetUrlHandler("http"); }
    void answer(const char* button) { press(dialog->findChild<QPushButton*>(button)); }
    QByteArray settingsFile() const {
        QFile f(state->files.settings);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

}  // namespace

class TestUpdateFlow : public QObject {
    Q_OBJECT

private slots:
    void neverRemindMeAgain() {
        Flow f;
        QVERIFY(f.dialog->isVisible());
        f.settingsWindow->open();
        f.answer("btnNeverRemindMeAgain");
        QVERIFY(f.dialog->isHidden());
        QVERIFY(!f.settingsWindow->findChild<QCheckBox*>("chkCheckForUpdates")->isChecked());
        QCOMPARE(f.settingsWindow->pendingChangeCount(), 0);
        QVERIFY(!f.checker->checkTimer().isActive());
        QCOMPARE(f.logText(), "[TS]'Never remind me again' selected for updates.\n\nSaving "
                              "Settings...\nSuccessfully saved Settings.\n\n");
        QVERIFY(f.settingsFile().contains("checkForUpdates = 0"));
        QVERIFY(f.settingsFile().contains("updateAvailable = 1"));
        QCOMPARE(f.server.requests(), 0);

        // Switched on again in the settings window: the dialog at once.
        QTest::mouseClick(f.settingsWindow->findChild<QCheckBox*>("chkCheckForUpdates"),
                          Qt::LeftButton, {}, QPoint(4, 4));
        press(f.settingsWindow->findChild<QPushButton*>("btnApply"));
        QVERIFY(f.dialog->isVisible());
        QCOMPARE(f.server.requests(), 0);
    }

    void yesOpensTheDownloadPageAndClearsTheWay_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("desktopTray");
        QTest::addColumn<bool>("trayIcon");
        QTest::newRow("tray icon in use") << true << true << true;
        // Hidden, the main window could not be brought back: it stays.
        QTest::newRow("tray icon off") << false << true << false;
        QTest::newRow("no tray on the desktop") << true << false << false;
    }
    void yesOpensTheDownloadPageAndClearsTheWay() {
        QFETCH(bool, enabled);
        QFETCH(bool, desktopTray);
        QFETCH(bool, trayIcon);
        Flow f;
        // Switched as the settings window switches it: setting and icon.
        f.state->settings.enableTrayIcon = enabled;
        f.w->setTrayIconVisible(enabled);
        f.w->desktopHasTray = [desktopTray] { return desktopTray; };
        f.settingsWindow->open();
        f.answer("btnYes");
        QVERIFY(f.dialog->isHidden() && f.settingsWindow->isHidden());
        QCOMPARE(f.w->isHidden(), trayIcon);
        QCOMPARE(f.w->windowShown(), !trayIcon);
        QCOMPARE(f.urls.opened, QList<QUrl>{QUrl(TAVRIN_DOWNLOAD_URL)});
        QVERIFY(f.checker->checkTimer().isActive());
        QCOMPARE(f.logText(), "");
        QStringList offered;
        chooseInNextMenu("", &offered);
        emit f.w->trayIcon()->activated(QSystemTrayIcon::Context);
        QCOMPARE(offered.first(), trayIcon ? "Show" : "Hide");
    }

    void remindMeLaterAndClosing() {
        Flow f;
        f.answer("btnRemindMeLater");
        QVERIFY(f.dialog->isHidden());
        QVERIFY(f.checker->checkTimer().isActive());
        QCOMPARE(f.logText(), "");
        // The update was known from the start, so no check set the timer
        // before: the reminder still comes in 24 hours, not at once.
        QVERIFY(f.checker->checkTimer().remainingTime() > UpdateCheck::checkInterval - 60000);
        QTest::qWait(50);
        QVERIFY(f.dialog->isHidden());
        QVERIFY(f.w->isVisible());
        // Closed with the window's own button it is only hidden.
        f.checker->stopTimer();
        f.dialog->show();
        f.dialog->close();
        QVERIFY(f.dialog->isHidden());
        QVERIFY(!f.checker->checkTimer().isActive());
    }
};

QTEST_MAIN(TestUpdateFlow)
#include "tst_update_flow.moc"
