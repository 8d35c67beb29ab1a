// The update check against a real HTTP server on this machine: what each
// answer leads to, and that no answer can take more than it needs.
#include <QSignalSpy>
#include <QTest>

#include "core/log.h"
#include "loopback_http_server.h"
#include "update/update_check.h"

namespace {

struct Check {
    QTemporaryDir dir;
    AppSettings settings;
    Log log;
    LoopbackHttpServer server;
    std::unique_ptr<UpdateCheck> check;
    std::unique_ptr<QSignalSpy> dialog;

    Check() {
        log.open(dir.filePath("Log.txt"));
        check = std::make_unique<UpdateCheck>(settings, log, dir.filePath("Settings.txt"),
                                              server.url());
        dialog = std::make_unique<QSignalSpy>(check.get(), &UpdateCheck::updateDialogRequested);
    }
    QByteArray file(const char* name) const {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Runs one check and waits until its answer has been dealt with.
    bool checkOnce() {
        check->check();
        return QTest::qWaitFor(
            [&] { return check->checkTimer().isActive() || dialog->count() > 0 || errors > 0; },
            10000);
    }
    int errors = 0;
};

Check* current = nullptr;
QtMessageHandler previous = nullptr;
void countErrors(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (current && text == "ERROR!")
        ++current->errors;
    previous(type, context, text);
}

}  // namespace

class TestUpdateCheck : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { previous = qInstallMessageHandler(countErrors); }

    void publishedVersions_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("newer");
        QTest::newRow("same version") << QByteArray("1.05") << false;
        QTest::newRow("older") << QByteArray("1.1") << false;
        QTest::newRow("1.06") << QByteArray("1.06") << true;
        QTest::newRow("1.10") << QByteArray("1.10") << true;
        QTest::newRow("1.05.1") << QByteArray("1.05.1") << true;
        QTest::newRow("final line break") << QByteArray("1.06\n") << true;
        QTest::newRow("blanks around") << QByteArray(" 1.06 \r\n") << true;
        QTest::newRow("zero byte") << QByteArray("1.06\0" "9.99", 9) << true;
        QTest::newRow("zero byte first") << QByteArray("\0" "9.99", 5) << false;
        QTest::newRow("10 MB") << "1.06" + QByteArray(10 * 1024 * 1024, '\n') << true;
    }
    void publishedVersions() {
        QFETCH(QByteArray, body);
        QFETCH(bool, newer);
        Check c;
        current = &c;
        c.server.answer(200, body);
        QVERIFY(c.checkOnce());
        QCOMPARE(c.server.requests(), 1);
        QCOMPARE(c.settings.updateAvailable, newer);
        QCOMPARE(c.dialog->count(), newer ? 1 : 0);
        QCOMPARE(c.check->checkTimer().isActive(), !newer);
        QCOMPARE(c.check->checkTimer().interval(), UpdateCheck::checkInterval);
        const QByteArray log = c.file("Log.txt");
        if (newer) {
            QVERIFY(log.endsWith("]Update is available.\n\nSaving Settings...\nSuccessfully saved "
                                 "Settings.\n\n"));
            QVERIFY(c.file("Settings.txt").contains("updateAvailable = 1"));
        } else {
            QCOMPARE(log, QByteArray());
        }
        if (body.size() > 1024 * 1024)
            QTRY_VERIFY(c.server.clientLeftEarly());
        current = nullptr;
    }

    void failuresEndThePeriodicCheckQuietly_data() {
        QTest::addColumn<QString>("failure");
        QTest::newRow("404") << "404";
        QTest::newRow("refused") << "refused";
    }
    void failuresEndThePeriodicCheckQuietly() {
        QFETCH(QString, failure);
        Check c;
        current = &c;
        c.server.answer(404, "no such file");
        if (failure == "refused") {
            // A port that was free a moment ago and is closed now.
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            const quint16 port = closed.serverPort();
            closed.close();
            c.check = std::make_unique<UpdateCheck>(
                c.settings, c.log, c.dir.filePath("Settings.txt"),
                QUrl(QString("http://127.0.0.1:%1/U.txt").arg(port)));
        }
        QVERIFY(c.checkOnce());
        QCOMPARE(c.errors, 1);
        QVERIFY(!c.check->checkTimer().isActive());
        QVERIFY(!c.settings.updateAvailable);
        QCOMPARE(c.file("Log.txt"), QByteArray());
        QVERIFY(!QFile::exists(c.dir.filePath("Settings.txt")));
        current = nullptr;
    }

    void silentServerLeavesTheProgramResponsive() {
        Check c;
        c.server.stayQuiet();
        c.check->check();
        QElapsedTimer clock;
        clock.start();
        bool ticked = false;
        QTimer::singleShot(50, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        QVERIFY(clock.elapsed() < 2000);
        QTRY_COMPARE(c.server.requests(), 1);
        QCOMPARE(c.dialog->count(), 0);
    }

    void aKnownUpdateShowsTheDialogWithoutARequest() {
        Check c;
        c.settings.updateAvailable = true;
        c.check->check();
        QCOMPARE(c.dialog->count(), 1);
        QTest::qWait(100);
        QCOMPARE(c.server.requests(), 0);
        QVERIFY(!c.check->checkTimer().isActive());
        c.check->restartTimer();
        QVERIFY(c.check->checkTimer().isActive());
        c.check->stopTimer();
        QVERIFY(!c.check->checkTimer().isActive());
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_update_check.moc"
