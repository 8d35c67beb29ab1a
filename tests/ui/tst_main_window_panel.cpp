// The association panel: what a selected mode shows, the panel's own
// rules, and "Associate Profile" with the loop running or stopped.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>

#include <sys/stat.h>
#include <unistd.h>

#include "ramps/icc_profile.h"
#include "window_fixture.h"

namespace {

struct Panel : Window {
    QCheckBox* check() const { return w->findChild<QCheckBox*>("chkAssociate"); }
    QRadioButton* profileRadio() const { return w->findChild<QRadioButton*>("radColorProfile"); }
    QRadioButton* predefinedRadio() const { return w->findChild<QRadioButton*>("radPredefined"); }
    QLineEdit* path() const { return w->findChild<QLineEdit*>("txtColorProfile"); }
    QComboBox* predefined() const { return w->findChild<QComboBox*>("cmbPredefined"); }
    QPushButton* associate() const { return button("btnAssociateProfile"); }
    // The visible panel widgets, by name.
    QStringList shown() const {
        QStringList names;
        for (const char* n : {"chkAssociate", "radColorProfile", "radPredefined", "txtColorProfile",
                              "btnColorProfileBrowse", "cmbPredefined", "btnAssociateProfile"})
            if (!widget(n)->isHidden())
                names << n;
        return names;
    }
    // Monitor 0's 1920x1080 mode (the one on screen) selected.
    void selectModeOnScreen() {
        mon()->setCurrentRow(0);
        res()->setCurrentRow(0);
        modes()->setCurrentRow(0);
    }
    QString activeProfile() {
        state->activeDisplays.ResetCursor();
        return state->activeDisplays.NextDisplay() ? state->activeDisplays.CurrentProfile()
                                                   : QString("(none)");
    }
};

QString requestLines(const QString& quoted) {
    return "[TS]Associating profile: " + quoted + " at:\n\nMonitor:\n" +
           WindowFixture::monitorLines(0) +
           "\nResolution: 1920x1080\n\nMode:\nBits Per Pixel: 32\nDisplay Flags: 0\nDisplay "
           "Frequency: 60\n\n";
}

}  // namespace

class TestMainWindowPanel : public QObject {
    Q_OBJECT

private slots:
    void selectedModeShowsItsAssociation_data() {
        QTest::addColumn<QString>("association");  // "profile": a readable one
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("pathStyle");
        QTest::addColumn<int>("index");
        const QStringList profileWidgets = {"chkAssociate", "radColorProfile", "radPredefined",
                                            "txtColorProfile", "btnColorProfileBrowse"};
        QTest::newRow("readable profile") << "profile" << profileWidgets << "color: black" << 0;
        QTest::newRow("CYAN") << "CYAN"
                              << QStringList{"chkAssociate", "radColorProfile", "radPredefined",
                                             "cmbPredefined"}
                              << "" << 6;
        QTest::newRow("text without a curve") << "/gone/profile.icc" << profileWidgets
                                              << "color: red" << 0;
        QTest::newRow("nothing") << "" << QStringList{"chkAssociate"} << "" << 0;
    }
    void selectedModeShowsItsAssociation() {
        QFETCH(QString, association);
        QFETCH(QStringList, shown);
        QFETCH(QString, pathStyle);
        QFETCH(int, index);
        Panel f;
        if (association == "profile")
            association = f.writeProfile("display.icc", 2.0);
        // Stored as the tree file reader would, without parsing.
        f.state->tree.AppendMonitor(WindowFixture::monitor(0), "Adapter");
        f.state->tree.AppendResolution(1920, 1080);
        f.state->tree.AppendMode(WindowFixture::mode1080, association);
        if (association.endsWith("display.icc"))
            QVERIFY(f.state->tree.Associate(association, f.state->log));
        f.open();
        f.selectModeOnScreen();
        QCOMPARE(f.shown(), shown);
        QCOMPARE(f.check()->isChecked(), !association.isEmpty());
        QCOMPARE(f.profileRadio()->isChecked(), shown.contains("txtColorProfile"));
        QCOMPARE(f.predefinedRadio()->isChecked(), shown.contains("cmbPredefined"));
        QCOMPARE(f.path()->styleSheet(), pathStyle);
        QCOMPARE(f.predefined()->currentIndex(), index);
        if (shown.contains("txtColorProfile"))
            QCOMPARE(f.path()->text(), association);
    }

    void panelRulesOfferAssociateInBlack() {
        Panel f;
        f.addMonitor(0, "RED");
        f.open();
        f.selectModeOnScreen();
        // The chosen radio button cannot be unchosen by clicking it.
        QTest::mouseClick(f.predefinedRadio(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(f.predefinedRadio()->isChecked());
        QVERIFY(f.associate()->isVisible());
        QCOMPARE(f.associate()->styleSheet(), "color: black");
        // The other one switches to the path field.
        QTest::mouseClick(f.profileRadio(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!f.predefinedRadio()->isChecked());
        QVERIFY(f.path()->isVisible() && !f.predefined()->isVisible());
        f.associate()->setStyleSheet("color: red");
        f.path()->setStyleSheet("color: red");
        QTest::keyClicks(f.path(), "/x");
        QCOMPARE(f.path()->styleSheet(), "color: black");
        QCOMPARE(f.associate()->styleSheet(), "color: black");
        // "Associate" ticked with no radio button chosen is refused in red.
        f.profileRadio()->blockSignals(true);
        f.profileRadio()->setChecked(false);
        f.profileRadio()->blockSignals(false);
        f.clearLog();
        press(f.associate());
        QCOMPARE(f.associate()->styleSheet(), "color: red");
        QCOMPARE(f.logText(), "");
    }

    void cancelledBrowseEmptiesThePath() {
        Panel f;
        f.addMonitor(0, "RED");
        f.open();
        f.selectModeOnScreen();
        QTest::mouseClick(f.profileRadio(), Qt::LeftButton, {}, QPoint(5, 5));
        f.path()->setText("/some/profile.icc");
        QString caption;
        onNextPopup([&](QWidget* dialog) {
            caption = dialog->windowTitle();
            if (auto* d = qobject_cast<QFileDialog*>(dialog)) {
                QCOMPARE(d->directory().absolutePath(), "/");
                QCOMPARE(d->nameFilters(), QStringList{"Color Profiles (*.icc *icm)"});
            }
            static_cast<QDialog*>(dialog)->reject();
        });
        QTest::mouseClick(f.button("btnColorProfileBrowse"), Qt::LeftButton);
        QCOMPARE(caption, "Choose Color Profile");
        QCOMPARE(f.path()->text(), "");
    }

    void associatingWhileTheLoopRuns_data() {
        QTest::addColumn<QString>("choice");  // "profile", a keyword, or "" for nothing
        QTest::addColumn<int>("depth");
        QTest::newRow("profile") << "profile" << 0;
        QTest::newRow("profile, 10-bit") << "profile" << 10;
        QTest::newRow("profile, 8-bit") << "profile" << 8;
        QTest::newRow("NULL") << "NULL" << 0;
        QTest::newRow("nothing") << "" << 0;
    }
    void associatingWhileTheLoopRuns() {
        QFETCH(QString, choice);
        QFETCH(int, depth);
        Panel f;
        f.state->settings.LUTBitDepth = depth;
        f.addMonitor(0, "RED");
        f.open();
        f.startLoop();
        const GammaTable768 red = WindowFixture::table(f.state->ramps.tintRamps[0]);
        QVERIFY(f.sim->gamma(0) == red);
        f.selectModeOnScreen();
        const QString profile = f.writeProfile("display.icc", 1.8);
        if (choice.isEmpty()) {
            QTest::mouseClick(f.check(), Qt::LeftButton, {}, QPoint(5, 5));
        } else if (choice == "profile") {
            QTest::mouseClick(f.profileRadio(), Qt::LeftButton, {}, QPoint(5, 5));
            f.path()->setText(profile);
        } else {
            f.predefined()->setCurrentIndex(f.predefined()->findText(choice));
        }
        QVERIFY(f.associate()->isVisible());
        f.clearLog();
        press(f.associate());
        QCOMPARE(f.associate()->styleSheet(), "color: green");

        const QString stored = choice == "profile" ? profile : choice;
        QCOMPARE(f.activeProfile(), stored);
        const QString head = requestLines(choice.isEmpty() ? "(NOTHING)" : "\"" + stored + "\"") +
                             "[TS]Stopping loop...\n";
        const QString changing = "[TS]Changing Profile - Current monitor:\n" +
                                 WindowFixture::deviceId(0) + "\n";
        QString expected;
        if (choice == "profile") {
            expected = head + "Successfully parsed color profile: " + profile + "\n\n\n" +
                       changing + "Changing to color profile: " + profile +
                       "\n(Changed to gamma ramp - hDC = 0xH)\n\n";
            GammaRamp curve, loaded;
            QVERIFY(ParseColorProfile(profile, curve));
            loaded = curve;
            clampRampToBitDepth(depth, curve, loaded);
            QVERIFY(f.sim->gamma(0) == WindowFixture::table(loaded));
        } else if (choice == "NULL") {
            expected = head + "\n";
            QVERIFY(f.sim->gamma(0) == red);  // nothing is loaded
        } else {
            expected = head + changing +
                       "Changing to linear display calibration\nChanged to linear gamma ramp - "
                       "hDC = 0xH)\n\n";
            QVERIFY(f.sim->gamma(0) == WindowFixture::table(f.state->ramps.linearRamp));
        }
        QCOMPARE(f.afterLooping(), expected + saveLines + "Restarting loop...\nLooping...\n\n");
        QVERIFY(f.treeFile().contains(choice.isEmpty() ? QByteArray("60\n\n</Mode>")
                                                       : "\"" + stored.toUtf8() + "\""));
    }

    void associatingWhileTheLoopIsStoppedOnlySaves() {
        Panel f;
        f.addMonitor(0, "RED");
        f.open();
        f.selectModeOnScreen();
        f.predefined()->setCurrentIndex(f.predefined()->findText("BLUE"));
        press(f.associate());
        QVERIFY(!f.logText().contains("loop"));
        QVERIFY(!f.state->loopThread->isRunning());
        QVERIFY(f.treeFile().contains("\"BLUE\""));
    }

    void badProfilePathsAreRefusedWithNothingLost_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("logged");
        QTest::newRow("not a profile") << "notes.txt" << "Failed to parse color profile: ";
        QTest::newRow("directory") << "." << "Failed to parse color profile: ";
        QTest::newRow("missing file") << "missing.icc" << "Failed to parse color profile: ";
        QTest::newRow("FIFO") << "pipe.icc" << "Failed to parse color profile: ";
        QTest::newRow("unreadable") << "locked.icc" << "Failed to parse color profile: ";
        QTest::newRow("double quote") << "a\"b.icc"
                                      << "Refused color profile path with a double quote or "
                                         "line break: ";
        QTest::newRow("line break") << "a\nb.icc"
                                    << "Refused color profile path with a double quote or line "
                                       "break: ";
    }
    void badProfilePathsAreRefusedWithNothingLost() {
        QFETCH(QString, path);
        QFETCH(QString, logged);
        Panel f;
        f.addMonitor(0, "GREEN");
        QFile notes(f.dir.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("not a profile");
        notes.close();
        // A pipe nobody writes to must not hold the window.
        QVERIFY(::mkfifo(qPrintable(f.dir.filePath("pipe.icc")), 0600) == 0);
        if (path == "locked.icc") {
            if (::geteuid() == 0)
                QSKIP("permissions do not bind the administrator");
            QVERIFY(QFile::copy(f.writeProfile("readable.icc", 2.0), f.dir.filePath(path)));
            QVERIFY(QFile::setPermissions(f.dir.filePath(path), QFileDevice::WriteOwner));
        }
        f.open();
        f.startLoop();
        f.selectModeOnScreen();
        QTest::mouseClick(f.profileRadio(), Qt::LeftButton, {}, QPoint(5, 5));
        f.path()->setText(path.contains('"') || path.contains('\n') ? path : f.dir.filePath(path));
        f.clearLog();
        press(f.associate());
        QCOMPARE(f.associate()->styleSheet(), "color: red");
        QCOMPARE(f.path()->styleSheet(), "color: red");
        QVERIFY2(f.afterLooping().contains(logged), qPrintable(f.logText()));
        QVERIFY(f.logText().endsWith("Restarting loop...\nLooping...\n\n"));
        QVERIFY(!f.logText().contains("Saving Tree"));
        QVERIFY(!QFile::exists(f.state->files.tree));
        QCOMPARE(f.state->tree.currentMode()->profile, "GREEN");
        QCOMPARE(f.activeProfile(), "GREEN");
    }
};

QTEST_MAIN(TestMainWindowPanel)
#include "tst_main_window_panel.moc"
