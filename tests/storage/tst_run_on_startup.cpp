// The run-at-login entry: when applyRunOnStartup writes, rewrites or removes
// it, and the XDG autostart file it keeps on Linux.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "platform/sim/sim_run_entry.h"
#include "platform/xdg/xdg_autostart_entry.h"
#include "storage/run_on_startup.h"

namespace {

// Sets an environment variable for the lifetime of the object.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvironmentValue() {
        if (had_) {
            qputenv(name_, previous_);
        } else {
            qunsetenv(name_);
        }
    }
    EnvironmentValue(const EnvironmentValue&) = delete;
    EnvironmentValue& operator=(const EnvironmentValue&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray previous_;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct FileStamp {
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FileStamp& o) const {
        return inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

FileStamp stampOf(const QString& path) {
    struct stat st {};
    FileStamp stamp;
    if (stat(QFile::encodeName(path).constData(), &st) == 0) {
        stamp.inode = st.st_ino;
        stamp.modified = st.st_mtim;
    }
    return stamp;
}

// The Exec value of a desktop file as a launcher sees it: the string
// escapes undone and "%%" turned into "%".
QString launcherCommand(const QByteArray& desktopFile) {
    for (const QByteArray& line : desktopFile.split('\n')) {
        if (!line.startsWith("Exec="))
            continue;
        const QByteArray raw = line.mid(5);
        QByteArray plain;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                const char c = raw[++i];
                plain += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            } else {
                plain += raw[i];
            }
        }
        plain.replace("%%", "%");
        return QString::fromUtf8(plain);
    }
    return {};
}

}  // namespace

class TestRunOnStartup : public QObject {
    Q_OBJECT

private slots:
    void commandLines_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("stored");
        QTest::newRow("1") << 1 << "\"/opt/Tavrin/tavrin\" -start";
        QTest::newRow("2") << 2 << "\"/opt/Tavrin/tavrin\" -hide";
        QTest::newRow("3") << 3 << "\"/opt/Tavrin/tavrin\" -start -hide";
        QTest::newRow("7 counts as 3") << 7 << "\"/opt/Tavrin/tavrin\" -start -hide";
        QTest::newRow("-1 counts as 3") << -1 << "\"/opt/Tavrin/tavrin\" -start -hide";
    }

    void commandLines() {
        QFETCH(int, value);
        QFETCH(QString, stored);
        SimRunEntry entry;
        applyRunOnStartup(value, entry, "/opt/Tavrin/tavrin");
        QCOMPARE(QString::fromStdString(entry.read().value_or("(none)")), stored);
        QCOMPARE(entry.writes, 1);
    }

    void zeroWithoutEntryTouchesNothing() {
        SimRunEntry entry;
        applyRunOnStartup(0, entry, "/opt/Tavrin/tavrin");
        QCOMPARE(entry.writes, 0);
        QCOMPARE(entry.removes, 0);
    }

    void zeroRemovesEntry() {
        SimRunEntry entry;
        entry.write("\"/opt/Tavrin/tavrin\" -start");
        applyRunOnStartup(0, entry, "/opt/Tavrin/tavrin");
        QCOMPARE(entry.removes, 1);
        QVERIFY(!entry.read());
    }

    void equalEntryIsNotWrittenAgain() {
        SimRunEntry entry;
        applyRunOnStartup(1, entry, "/opt/Tavrin/tavrin");
        applyRunOnStartup(1, entry, "/opt/Tavrin/tavrin");
        QCOMPARE(entry.writes, 1);
    }

    void movedExecutableRewritesEntry() {
        SimRunEntry entry;
        applyRunOnStartup(2, entry, "/opt/Tavrin/tavrin");
        applyRunOnStartup(2, entry, "/home/user/Tavrin/tavrin");
        QCOMPARE(entry.writes, 2);
        QCOMPARE(entry.read().value_or(""), std::string("\"/home/user/Tavrin/tavrin\" -hide"));
    }

    // The entry of another copy that exists (the installed program beside a
    // portable one) is that copy's; an entry whose executable is gone is
    // this copy's to fix (it was moved).
    void anotherCopysEntryIsLeftAlone_data() {
        QTest::addColumn<QString>("owner");  // "other", "gone" or "this"
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("changed");
        QTest::newRow("another copy's, switched off here") << "other" << 0 << false;
        QTest::newRow("another copy's, switched on here") << "other" << 1 << false;
        QTest::newRow("a vanished copy's, switched off here") << "gone" << 0 << true;
        QTest::newRow("a vanished copy's, switched on here") << "gone" << 2 << true;
        QTest::newRow("this copy's, switched off") << "this" << 0 << true;
        QTest::newRow("this copy's, other arguments") << "this" << 3 << true;
    }
    void anotherCopysEntryIsLeftAlone() {
        QFETCH(QString, owner);
        QFETCH(int, value);
        QFETCH(bool, changed);
        QTemporaryDir tmp;
        const QString self = tmp.filePath("portable/tavrin");
        const QString other = tmp.filePath("installed/tavrin");
        for (const QString& exe : {self, other}) {
            QVERIFY(QDir().mkpath(QFileInfo(exe).path()));
            QFile file(exe);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString started = owner == "other" ? other
                                : owner == "gone" ? tmp.filePath("moved/tavrin")
                                                  : self;
        XdgAutostartEntry entry(QFile::encodeName(tmp.filePath("autostart")).toStdString());
        const std::string before = entry.commandLine(started.toStdString(), "-start");
        QVERIFY(entry.write(before));
        QCOMPARE(entry.executableOf(before), started.toStdString());
        applyRunOnStartup(value, entry, self);
        QCOMPARE(entry.read() != before, changed);
    }

    // --- XDG autostart file -------------------------------------------------

    void autostartDirectory_data() {
        QTest::addColumn<QByteArray>("configHome");
        QTest::addColumn<QString>("expected");
        QTest::newRow("XDG_CONFIG_HOME") << QByteArray("/cfg") << "/cfg/autostart/tavrin.desktop";
        QTest::newRow("empty") << QByteArray("") << "/home/.config/autostart/tavrin.desktop";
        QTest::newRow("relative") << QByteArray("cfg") << "/home/.config/autostart/tavrin.desktop";
    }

    void autostartDirectory() {
        QFETCH(QByteArray, configHome);
        QFETCH(QString, expected);
        QTemporaryDir tmp;
        const QByteArray root = QFile::encodeName(tmp.path());
        EnvironmentValue home("HOME", root + "/home");
        EnvironmentValue config("XDG_CONFIG_HOME",
                                configHome.startsWith('/') ? root + configHome : configHome);
        XdgAutostartEntry entry;
        QCOMPARE(QString::fromStdString(entry.filePath()), tmp.path() + expected);
    }

    void autostartEntryIsCreated() {
        QTemporaryDir tmp;
        EnvironmentValue config("XDG_CONFIG_HOME", QFile::encodeName(tmp.path()));
        XdgAutostartEntry entry;
        applyRunOnStartup(3, entry, "/opt/Tavrin/tavrin");
        const QByteArray file = readAll(tmp.filePath("autostart/tavrin.desktop"));
        QVERIFY(file.startsWith("[Desktop Entry]\n"));
        const QByteArrayList lines = file.split('\n');
        QVERIFY(lines.contains("Type=Application"));
        QVERIFY(lines.contains("Name=Tavrin"));
        QVERIFY(lines.contains("Exec=\"/opt/Tavrin/tavrin\" -start -hide"));
        QCOMPARE(entry.read().value_or(""), std::string("\"/opt/Tavrin/tavrin\" -start -hide"));
        // Nothing else is left in the directory.
        QCOMPARE(QDir(tmp.filePath("autostart")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"tavrin.desktop"});
        // A directory the program made is the user's alone.
        QCOMPARE(QFileInfo(tmp.filePath("autostart")).permissions() & 0x0777,
                 QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    }

    void missingConfigDirectoriesAreMadePrivate() {
        QTemporaryDir tmp;
        XdgAutostartEntry entry(QFile::encodeName(tmp.filePath("a/b/autostart")).toStdString());
        QVERIFY(entry.write("\"/opt/Tavrin/tavrin\" -start"));
        for (const char* dir : {"a", "a/b", "a/b/autostart"})
            QCOMPARE(QFileInfo(tmp.filePath(dir)).permissions() & 0x0077, QFileDevice::Permissions());
    }

    void autostartEntryIsKeptRewrittenAndRemoved() {
        QTemporaryDir tmp;
        XdgAutostartEntry entry(QFile::encodeName(tmp.filePath("autostart")).toStdString());
        QVERIFY(QDir(tmp.path()).mkdir("autostart"));
        const QString other = tmp.filePath("autostart/other.desktop");
        {
            QFile f(other);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
        }
        const FileStamp otherStamp = stampOf(other);
        const QByteArray otherContent = readAll(other);
        const QString ours = tmp.filePath("autostart/tavrin.desktop");

        applyRunOnStartup(1, entry, "/opt/Tavrin/tavrin");
        const FileStamp first = stampOf(ours);
        QVERIFY(first.inode != 0);

        applyRunOnStartup(1, entry, "/opt/Tavrin/tavrin");
        QVERIFY(stampOf(ours) == first);

        applyRunOnStartup(2, entry, "/opt/Tavrin/tavrin");
        QVERIFY(!(stampOf(ours) == first));
        QVERIFY(readAll(ours).split('\n').contains("Exec=\"/opt/Tavrin/tavrin\" -hide"));

        applyRunOnStartup(0, entry, "/opt/Tavrin/tavrin");
        QVERIFY(!QFile::exists(ours));
        QVERIFY(!entry.read());

        QVERIFY(stampOf(other) == otherStamp);
        QCOMPARE(readAll(other), otherContent);
    }

    void zeroWithoutAutostartFileCreatesNothing() {
        QTemporaryDir tmp;
        XdgAutostartEntry entry(QFile::encodeName(tmp.filePath("autostart")).toStdString());
        applyRunOnStartup(0, entry, "/opt/Tavrin/tavrin");
        QVERIFY(!QFileInfo::exists(tmp.filePath("autostart")));
    }

    // A tavrin.desktop whose Exec is missing or not one this program writes
    // still is the entry: it matches no command line, so switching the
    // setting on replaces it and switching it off removes it.
    void unusableEntryIsReplacedOrRemoved_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("runOnStartup");
        QTest::newRow("not a desktop entry") << QByteArray("just some text\nExec=x\n") << 1;
        QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nType=Application\nName=Tavrin\n")
                                 << 1;
        QTest::newRow("Exec in another group")
            << QByteArray("[Desktop Entry]\nName=Tavrin\n[Desktop Action x]\nExec=x\n") << 1;
        QTest::newRow("unclosed quote")
            << QByteArray("[Desktop Entry]\nName=Tavrin\nExec=\"/opt/Tavrin/tavrin -start\n") << 1;
        QTest::newRow("empty file") << QByteArray() << 1;
        QTest::newRow("unclosed quote, switched off")
            << QByteArray("[Desktop Entry]\nName=Tavrin\nExec=\"/opt/Tavrin/tavrin -start\n") << 0;
        QTest::newRow("no Exec, switched off")
            << QByteArray("[Desktop Entry]\nType=Application\nName=Tavrin\n") << 0;
    }

    void unusableEntryIsReplacedOrRemoved() {
        QFETCH(QByteArray, content);
        QFETCH(int, runOnStartup);
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("autostart"));
        const QString ours = tmp.filePath("autostart/tavrin.desktop");
        {
            QFile f(ours);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        XdgAutostartEntry entry(QFile::encodeName(tmp.filePath("autostart")).toStdString());
        QCOMPARE(entry.read().value_or("absent"), std::string());
        applyRunOnStartup(runOnStartup, entry, "/opt/Tavrin/tavrin");
        if (runOnStartup == 0) {
            QVERIFY(!QFileInfo::exists(ours));
            QVERIFY(!entry.read());
        } else {
            QCOMPARE(entry.read().value_or(""), std::string("\"/opt/Tavrin/tavrin\" -start"));
        }
    }

    void unwritableDirectoryFailsCleanly() {
        QTemporaryDir tmp;
        {
            QFile f(tmp.filePath("autostart"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        XdgAutostartEntry entry(QFile::encodeName(tmp.filePath("autostart")).toStdString());
        QVERIFY(!entry.write("\"/opt/Tavrin/tavrin\" -start"));
        applyRunOnStartup(1, entry, "/opt/Tavrin/tavrin");
        QVERIFY(QFileInfo(tmp.filePath("autostart")).isFile());
    }

    // The Exec value starts the executable with its two arguments, whatever
    // characters its path holds.
    void execStartsExecutable_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("blanks") << "Tavrin app  folder";
        QTest::newRow("double quotes") << "say \"hello\"";
        QTest::newRow("single quotes") << "it's 'quoted'";
        QTest::newRow("backslashes") << "back\\slash\\\\two";
        QTest::newRow("dollar and backtick") << "$HOME `echo no` $(echo no)";
        QTest::newRow("percent") << "100% %f %%";
        QTest::newRow("shell operators") << "a;b|c&d>e<f*g?h#i~j(k)";
        QTest::newRow("tab and non-ASCII") << "t\tab ünïcödé";
    }

    void execStartsExecutable() {
        QFETCH(QString, folder);
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir(folder));
        const QString executable = tmp.filePath(folder + "/tavrin");
        {
            QFile script(executable);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(
                "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done"
                " > \"$TAVRIN_ARGS_OUT\"\n");
        }
        QVERIFY(QFile::setPermissions(executable,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        XdgAutostartEntry entry(QFile::encodeName(tmp.filePath("autostart")).toStdString());
        applyRunOnStartup(3, entry, executable);
        const std::optional<std::string> stored = entry.read();
        QVERIFY(stored);
        QCOMPARE(*stored, entry.commandLine(executable.toStdString(), "-start -hide"));
        QCOMPARE(entry.executableOf(*stored), executable.toStdString());

        const QString command = launcherCommand(readAll(tmp.filePath("autostart/tavrin.desktop")));
        QProcess launcher;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TAVRIN_ARGS_OUT", tmp.filePath("args.txt"));
        launcher.setProcessEnvironment(env);
        launcher.start("/bin/sh", {"-c", "exec " + command});
        QVERIFY(launcher.waitForFinished(10000));
        QCOMPARE(launcher.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(readAll(tmp.filePath("args.txt"))),
                 executable + "\n-start\n-hide\n");

        // Applied again, the entry is found equal and left alone.
        const FileStamp before = stampOf(tmp.filePath("autostart/tavrin.desktop"));
        applyRunOnStartup(3, entry, executable);
        QVERIFY(stampOf(tmp.filePath("autostart/tavrin.desktop")) == before);
    }
};

QTEST_GUILESS_MAIN(TestRunOnStartup)
#include "tst_run_on_startup.moc"
