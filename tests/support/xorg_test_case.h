// The base of a test program that runs against one Xorg server of its own:
// the server starts before the first case and stops with the program. Where
// Xorg and its dummy driver are not installed, every case is skipped with
// the reason.
#pragma once

#include <QObject>
#include <QStringList>

#include "xorg_server.h"

class XorgTestCase : public QObject {
    Q_OBJECT

public:
    explicit XorgTestCase(QStringList modelines = {}) : server_(std::move(modelines)) {}

protected:
    XorgServer server_;

private slots:
    void initTestCase();
};
