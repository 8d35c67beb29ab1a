#include "xorg_test_case.h"

#include <QTest>

void XorgTestCase::initTestCase() {
    const QString reason = XorgServer::unavailableReason();
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    QVERIFY2(server_.start(), qPrintable(server_.errorString()));
}
