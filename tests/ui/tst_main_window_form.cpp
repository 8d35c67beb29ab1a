// The main window's form as it stands after construction: every widget,
// action and menu, the tab order, the fixed size and the slots' order.
#include <QAction>
#include <QComboBox>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QToolBar>

#include "ui/main_window.h"
#include "window_fixture.h"

class TestMainWindowForm : public QObject {
    Q_OBJECT

private slots:
    void widgets_data() {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("hidden");
        auto row = [](const char* name, const char* cls, const char* text, QRect r,
                      bool enabled = true, bool hidden = false) {
            QTest::newRow(name) << cls << text << r << enabled << hidden;
        };
        row("lblMon", "QLabel", "Monitors:", {30, 20, 46, 13});
        row("lblRes", "QLabel", "Resolutions:", {330, 20, 61, 16});
        row("lblMode", "QLabel", "Modes:", {630, 20, 46, 13});
        row("btnDetectMon", "QPushButton", "Detect", {30, 40, 75, 23});
        row("btnDeleteAllMon", "QPushButton", "Delete All", {210, 40, 75, 23});
        row("btnDetectRes", "QPushButton", "Detect", {330, 40, 75, 23}, false);
        row("btnDeleteAllRes", "QPushButton", "Delete All", {510, 40, 75, 23}, false);
        row("btnDetectMode", "QPushButton", "Detect", {630, 40, 75, 23}, false);
        row("btnDeleteAllMode", "QPushButton", "Delete All", {810, 40, 75, 23}, false);
        row("listWidgetMon", "QListWidget", "", {30, 70, 256, 501});
        row("listWidgetRes", "QListWidget", "", {330, 70, 256, 501});
        row("listWidgetMode", "QListWidget", "", {630, 70, 256, 501});
        row("chkAssociate", "QCheckBox", "Associate", {900, 210, 70, 17}, true, true);
        row("radColorProfile", "QRadioButton", "Color profile", {920, 260, 82, 17}, true, true);
        row("radPredefined", "QRadioButton", "Pre-defined", {1030, 260, 81, 17}, true, true);
        row("txtColorProfile", "QLineEdit", "", {930, 290, 201, 20}, true, true);
        row("cmbPredefined", "QComboBox", "LINEAR", {930, 290, 131, 22}, true, true);
        row("btnColorProfileBrowse", "QPushButton", "Browse", {1050, 310, 75, 23}, true, true);
        row("btnAssociateProfile", "QPushButton", "Associate Profile", {900, 350, 231, 41}, true,
            true);
    }

    void widgets() {
        QFETCH(QString, className);
        QFETCH(QString, text);
        QFETCH(QRect, rect);
        QFETCH(bool, enabled);
        QFETCH(bool, hidden);
        WindowFixture f;
        MainWindow w(*f.state, QStringList());
        QWidget* widget = w.centralWidget()->findChild<QWidget*>(QTest::currentDataTag());
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget()->objectName(), "centralWidget");
        QCOMPARE(widget->metaObject()->className(), className);
        QCOMPARE(widget->geometry(), rect);
        QCOMPARE(widget->isEnabled(), enabled);
        QCOMPARE(widget->isHidden(), hidden);
        const QVariant shown = widget->property("text").isValid() ? widget->property("text")
                                                                  : widget->property("currentText");
        QCOMPARE(shown.toString(), text);
        if (auto* radio = qobject_cast<QAbstractButton*>(widget); radio && className == "QRadioButton")
            QVERIFY(!radio->autoExclusive());
    }

    void windowMenusActionsAndTabOrder() {
        WindowFixture f;
        MainWindow w(*f.state, QStringList());
        QCOMPARE(w.objectName(), "MainWindow");
        QCOMPARE(w.windowTitle(), "Tavrin v1.05");
        QCOMPARE(w.size(), QSize(1156, 646));
        QCOMPARE(w.minimumSize(), QSize(1156, 646));
        QCOMPARE(w.maximumSize(), QSize(1156, 646));
        QCOMPARE(w.focusWidget()->objectName(), "btnDetectMon");
        QCOMPARE(w.trayIcon()->toolTip(), "Tavrin v1.05");

        auto* combo = w.findChild<QComboBox*>("cmbPredefined");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
            QVERIFY(combo->itemIcon(i).isNull() && !combo->itemData(i).isValid());
        }
        QCOMPARE(items, QStringList({"LINEAR", "NULL", "RED", "GREEN", "BLUE", "YELLOW", "CYAN",
                                     "MAGENTA"}));

        // The menus, in order, with their actions.
        QStringList menus;
        for (QAction* menuAction : w.menuBar()->actions()) {
            QStringList texts;
            for (QAction* a : menuAction->menu()->actions()) texts << a->objectName() + "=" + a->text();
            menus << menuAction->menu()->objectName() + " " + menuAction->text() + ": " +
                         texts.join(", ");
        }
        QCOMPARE(menus, QStringList({"menuSave_Tree File: actionStart=Start, actionExit=Exit",
                                     "menuSettings Tools: actionSettings=Settings",
                                     "menuHelp Help: actionAbout_Qt=About Qt, "
                                     "actionAbout_Tavrin=About Tavrin"}));
        QCOMPARE(w.menuBar()->geometry().width(), 1156);
        QVERIFY(!w.findChild<QAction*>("actionStart")->isEnabled());
        for (const char* name : {"actionManageTrayIconModes", "actionDonate", "actionLog",
                                 "actionCheck_for_update"})
            QVERIFY(w.findChild<QAction*>(name));
        auto* toolBar = w.findChild<QToolBar*>("mainToolBar");
        QVERIFY(toolBar && !toolBar->isMovable() && !toolBar->isFloatable() &&
                toolBar->actions().isEmpty());
        QCOMPARE(w.toolBarArea(toolBar), Qt::TopToolBarArea);
        QVERIFY(w.statusBar());

        // The tab order from the monitors' "Detect" to "Associate Profile".
        const QStringList order = {"btnDetectMon", "btnDeleteAllMon", "listWidgetMon",
                                   "btnDetectRes", "btnDeleteAllRes", "listWidgetRes",
                                   "btnDetectMode", "btnDeleteAllMode", "listWidgetMode",
                                   "chkAssociate", "radColorProfile", "radPredefined",
                                   "txtColorProfile", "btnColorProfileBrowse", "cmbPredefined",
                                   "btnAssociateProfile"};
        QWidget* current = w.findChild<QWidget*>(order.first());
        for (int i = 1; i < order.size(); ++i) {
            current = current->nextInFocusChain();
            while (current->focusPolicy() == Qt::NoFocus || current->parentWidget() != w.centralWidget())
                current = current->nextInFocusChain();
            QCOMPARE(current->objectName(), order[i]);
        }
    }

    void slotsInTheirOrder() {
        const QStringList expected = {
            "on_listWidgetMon_currentRowChanged(int)", "on_listWidgetRes_currentRowChanged(int)",
            "on_listWidgetMode_currentRowChanged(int)", "on_chkAssociate_toggled(bool)",
            "on_radColorProfile_toggled(bool)", "on_txtColorProfile_textChanged(QString)",
            "on_btnColorProfileBrowse_clicked()", "on_radPredefined_toggled(bool)",
            "on_cmbPredefined_currentIndexChanged(int)", "on_btnAssociateProfile_pressed()",
            "on_btnDetectMon_clicked()", "on_btnDetectRes_clicked()", "detectRes()",
            "on_btnDetectMode_clicked()", "on_btnDeleteAllMon_clicked()",
            "on_btnDeleteAllRes_clicked()", "on_btnDeleteAllMode_clicked()",
            "on_actionStart_triggered()", "on_actionExit_triggered()", "changeEvent(QEvent*)",
            "closeEvent(QCloseEvent*)",
            "TrayIconActivated(QSystemTrayIcon::ActivationReason)",
            "TrayIconModeTriggered(QAction*)", "TrayIconShowHide()", "ShowMonContextMenu(QPoint)",
            "ShowResContextMenu(QPoint)", "ShowModeContextMenu(QPoint)",
            "on_actionAbout_Qt_triggered()", "on_actionAbout_Tavrin_triggered()",
            "ModeSelectionChange()", "on_actionSettings_triggered()"};
        const QMetaObject& meta = MainWindow::staticMetaObject;
        QStringList privateSlots;
        for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
            const QMetaMethod m = meta.method(i);
            if (m.methodType() == QMetaMethod::Slot && m.access() == QMetaMethod::Private)
                privateSlots << QString::fromLatin1(m.methodSignature());
        }
        QCOMPARE(privateSlots, expected);
    }
};

QTEST_MAIN(TestMainWindowForm)
#include "tst_main_window_form.moc"
