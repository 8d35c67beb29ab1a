// What interrupted saves leave beside the files: removed at start-up, and
// nothing else with them.
#include <QDir>
#include <QFile>
#include <QTest>

#include "storage/leftover_files.h"
#include "storage/settings_file.h"
#include "storage_workspace.h"

class TestLeftoverFiles : public QObject {
    Q_OBJECT

private slots:
    void leftoversOfTheFilesAreRemovedAndNothingElse() {
        Workspace w;
        const QStringList leftovers = {"Settings.txt.aB3xYz", "Settings.txt.000000",
                                       "Tree.txt.QwErTy"};
        const QStringList others = {
            "Settings.txt",        "Tree.txt",         "Settings.txt.abcde", "Settings.txt.abcdefg",
            "Settings.txt.ab-def", "Settings.txt.old", "Other.txt.aB3xYz",   "Log.txt.aB3xYz",
            "xSettings.txt.aB3xYz"};
        for (const QString& name : leftovers + others) QVERIFY(writeAll(w.path(name), "content"));
        // Not a regular file: a directory and a link of such a name stay.
        QVERIFY(QDir().mkdir(w.path("Tree.txt.Dir123")));
#ifdef Q_OS_UNIX
        QVERIFY(QFile::link(w.path("Settings.txt"), w.path("Settings.txt.Link12")));
#endif
        QCOMPARE(removeLeftoverSaveFiles({w.path("Tree.txt"), w.path("Settings.txt")}),
                 int(leftovers.size()));
        for (const QString& name : leftovers)
            QVERIFY2(!QFile::exists(w.path(name)), qPrintable(name));
        for (const QString& name : others) QVERIFY2(QFile::exists(w.path(name)), qPrintable(name));
        QVERIFY(QFileInfo(w.path("Tree.txt.Dir123")).isDir());
#ifdef Q_OS_UNIX
        QVERIFY(QFileInfo(w.path("Settings.txt.Link12")).isSymLink());
#endif
        // Nothing left: nothing removed.
        QCOMPARE(removeLeftoverSaveFiles({w.path("Tree.txt"), w.path("Settings.txt")}), 0);
    }

    // A save leaves nothing behind that the removal would take for a
    // leftover, and the saved file itself is never taken.
    void aCompletedSaveLeavesNothingToRemove() {
        Workspace w;
        AppSettings settings;
        QVERIFY(writeSettings(w.path("Settings.txt"), settings));
        QVERIFY(writeSettings(w.path("Settings.txt"), settings));
        QCOMPARE(removeLeftoverSaveFiles({w.path("Settings.txt")}), 0);
        QVERIFY(QFile::exists(w.path("Settings.txt")));
    }
};

QTEST_GUILESS_MAIN(TestLeftoverFiles)
#include "tst_leftover_files.moc"
