// The About window: its texts, its picture and its links.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ui/about_window.h"

class TestAboutWindow : public QObject {
    Q_OBJECT

private slots:
    void titleVersionAndLinks() {
        About about;
        QCOMPARE(about.windowTitle(), "About Tavrin");
        QCOMPARE(about.size(), QSize(347, 348));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        auto* title = about.findChild<QLabel*>("lblTitle");
        QCOMPARE(title->text(), "Tavrin");
        QCOMPARE(title->font().pointSize(), 12);
        QVERIFY(title->font().bold());
        QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(), "Version: 1.05");
        // The picture is decoded when the window is first shown.
        auto* icon = about.findChild<QLabel*>("lblIcon");
        QVERIFY(icon->hasScaledContents() && icon->pixmap().isNull());
        about.show();
        QVERIFY(!icon->pixmap().isNull());
        QCOMPARE(icon->geometry(), QRect(111, 30, 125, 125));

        const QStringList links = {"lblDownloadPage", "lblForumThread", "lblDonate_2"};
        const QStringList texts = {"Download Page", "Forum Thread", "@"};
        for (int i = 0; i < links.size(); ++i) {
            auto* label = about.findChild<QLabel*>(links[i]);
            QVERIFY(label->text().startsWith("<a href=\""));
            QVERIFY(label->text().contains(texts[i]));
            QVERIFY(label->openExternalLinks());
            QCOMPARE(label->textInteractionFlags(),
                     Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        }
        QVERIFY(about.findChild<QLabel*>("lblDonate_2")->text().contains("href=\"mailto:"));

        about.open();
        QVERIFY(about.isVisible());
        QTest::mouseClick(about.findChild<QPushButton*>("btnClose"), Qt::LeftButton);
        QVERIFY(about.isHidden());
    }
};

QTEST_MAIN(TestAboutWindow)
#include "tst_about_window.moc"
