#include "display_contract.h"

#include <QTest>

void DisplayContract::init() {
    const QString reason = unavailableReason();
    if (!reason.isEmpty()) QSKIP(qPrintable(reason));
    system_ = createSystem();
    QVERIFY(system_);
}

void DisplayContract::cleanup() {
    system_.reset();
}

void DisplayContract::displayContract_data() {
    QTest::addColumn<int>("index");
    const auto& cases = displaycontract::cases();
    for (int i = 0; i < int(cases.size()); ++i) QTest::newRow(cases[i].name.c_str()) << i;
}

void DisplayContract::displayContract() {
    QFETCH(int, index);
    const displaycontract::Outcome outcome =
        displaycontract::run(displaycontract::cases()[index], *system_, outside());
    switch (outcome.kind) {
        case displaycontract::Outcome::Kind::Passed: break;
        case displaycontract::Outcome::Kind::Failed: QFAIL(outcome.message.c_str());
        case displaycontract::Outcome::Kind::Skipped: QSKIP(outcome.message.c_str());
    }
}
