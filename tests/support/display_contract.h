// The display contract (display_contract_cases.h) as a Qt Test suite. A
// backend's test derives from DisplayContract and supplies a fresh system
// before each test function (its own ones too); every case of the contract
// is a row of displayContract().
#pragma once

#include <memory>

#include <QObject>
#include <QString>

#include "display_contract_cases.h"
#include "platform/display_system.h"

class DisplayContract : public QObject {
    Q_OBJECT

protected:
    virtual std::unique_ptr<DisplaySystem> createSystem() = 0;
    // What the test can do to the displays from outside the backend.
    virtual displaycontract::Outside outside() { return {}; }
    // Skips the whole suite with a message when the backend cannot run here.
    virtual QString unavailableReason() const { return {}; }

private slots:
    void init();
    void cleanup();

    void displayContract_data();
    void displayContract();

private:
    std::unique_ptr<DisplaySystem> system_;
};
