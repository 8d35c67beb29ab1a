// Where the program keeps its three files: beside a portable copy, in the
// user's data directory for an installed one.
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "state/app_state.h"

class TestDataDirectory : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QCoreApplication::setApplicationName("Tavrin");
        QStandardPaths::setTestModeEnabled(true);
    }

    void portableCopyKeepsItsFilesBesideIt() {
        QTemporaryDir dir;
        QCOMPARE(dataDirectoryFor(dir.path()), dir.path());
    }

    void installedCopyUsesTheUsersDataDirectory_data() {
        QTest::addColumn<QString>("exeDir");
        // Writable for the administrator, but the system's programs.
        QTest::newRow("/usr/bin") << "/usr/bin";
        QTest::newRow("/usr/local/bin") << "/usr/local/bin";
        QTest::newRow("not writable") << "/proc";
    }
    void installedCopyUsesTheUsersDataDirectory() {
        QFETCH(QString, exeDir);
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        QCOMPARE(dataDirectoryFor(exeDir), data);
        QVERIFY(data.endsWith("/Tavrin"));
    }
};

QTEST_GUILESS_MAIN(TestDataDirectory)
#include "tst_data_directory.moc"
