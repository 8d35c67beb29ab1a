// The contract every display backend keeps, as a Qt Test suite. A backend's
// test derives from DisplayContract, supplies a fresh system for each case,
// and gets every case below run against it.
//
// The system a case receives has at least one adapter whose monitor 0 is
// active and which offers at least one mode.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QObject>

#include "platform/display_system.h"

class DisplayContract : public QObject {
    Q_OBJECT

protected:
    virtual std::unique_ptr<DisplaySystem> createSystem() = 0;
    // Skips the whole suite with a message when the backend cannot run here.
    virtual QString unavailableReason() const { return {}; }

    // Device names of the adapters whose monitor 0 is active, in order.
    static std::vector<std::string> activeAdapters(DisplaySystem& system);

private slots:
    void init();
    void cleanup();

    void adaptersEnumerateFromZeroAndEnd();
    void recordsCarryTheirSize();
    void activeAdapterHasCurrentMode();
    void modeListEndsAndCurrentModeIsListed();
    void unknownDeviceFails();
    void deviceContextForUnknownDeviceIsNull();
    void gammaRoundTripIsExact_data();
    void gammaRoundTripIsExact();
    void nullContextFailsAndKeepsTable();
    void releasedContextFails();
    void twoContextsSeeOneTable();
    void concurrentUseFromTwoThreads();

private:
    std::unique_ptr<DisplaySystem> system_;
};
