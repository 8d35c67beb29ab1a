// The command line the program accepts, and which ones show the window.
#include <QTest>

#include "app/command_line.h"

Q_DECLARE_METATYPE(CommandLine)

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parse_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine>("expected");
        QTest::addColumn<bool>("shown");
        QTest::newRow("none") << QStringList{} << CommandLine::None << true;
        QTest::newRow("-start") << QStringList{"-start"} << CommandLine::Start << true;
        QTest::newRow("-hide") << QStringList{"-hide"} << CommandLine::Hide << false;
        QTest::newRow("-start -hide")
            << QStringList{"-start", "-hide"} << CommandLine::StartHide << false;
        QTest::newRow("-hide -start")
            << QStringList{"-hide", "-start"} << CommandLine::StartHide << false;
        QTest::newRow("unknown") << QStringList{"-x"} << CommandLine::Invalid << false;
        QTest::newRow("upper case") << QStringList{"-START"} << CommandLine::Invalid << false;
        QTest::newRow("slash option") << QStringList{"/start"} << CommandLine::Invalid << false;
        QTest::newRow("with value") << QStringList{"-start=1"} << CommandLine::Invalid << false;
        QTest::newRow("twice start")
            << QStringList{"-start", "-start"} << CommandLine::Invalid << false;
        QTest::newRow("twice hide")
            << QStringList{"-hide", "-hide"} << CommandLine::Invalid << false;
        QTest::newRow("three") << QStringList{"-start", "-hide", "-start"} << CommandLine::Invalid
                               << false;
    }

    void parse() {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine, expected);
        QFETCH(bool, shown);
        QCOMPARE(parseCommandLine(arguments), expected);
        QCOMPARE(showsMainWindow(parseCommandLine(arguments)), shown);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
