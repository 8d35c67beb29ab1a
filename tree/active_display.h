// A snapshot of the displays in use: one ActiveDisplay per active monitor,
// in the order the system enumerates them, each with its current display
// settings and, once the watch loop or the main window has resolved it, its
// association, curve and device context.
//
// Not thread-safe: a list belongs to one thread at a time (the loop's own
// snapshot, `activeDisplays` while the loop runs, a temporary list of the
// main window).
#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

#include "platform/display_system.h"
#include "ramps/gamma_ramp.h"

struct ActiveDisplay {
    ActiveDisplay();
    ~ActiveDisplay();
    ActiveDisplay(const ActiveDisplay&) = delete;
    ActiveDisplay& operator=(const ActiveDisplay&) = delete;

    // The monitor's record, with DeviceName replaced by the name of the
    // adapter output it was found on.
    DISPLAY_DEVICEA displayDevice;
    // The settings the output uses now (dmSize set).
    DEVMODEA devMode;
    QString profile;
    GammaRamp curve;
    bool hasCurve = false;
    // The bytes of the profile whose curve it holds (empty when none is
    // known), for the colour-managed programs of the system.
    QByteArray profileBytes;
    HDC deviceContext = nullptr;
    std::unique_ptr<ActiveDisplay> nextNode;
};

class ActiveDisplayList {
public:
    // `contexts` is the display system that opens the device contexts this
    // list will hold (SetCurrentDeviceContext); the list releases them there
    // with deleteDC when it discards a record (Clear, CopyFrom, replacing a
    // handle, destruction). May be null for lists that never hold one. The
    // system must outlive the list.
    explicit ActiveDisplayList(DisplaySystem* contexts = nullptr);
    ~ActiveDisplayList();
    ActiveDisplayList(const ActiveDisplayList&) = delete;
    ActiveDisplayList& operator=(const ActiveDisplayList&) = delete;

    // Appends one record per active monitor of `system` with its current
    // settings; callers start from an empty list. When the system cannot
    // tell a monitor's current settings, its record keeps empty settings
    // (only dmSize set), which match no Mode. The cursor is left on the
    // sentinel.
    void Capture(DisplaySystem& system);
    // Releases every record (and its device context); the cursor is on the
    // sentinel.
    void Clear();
    void ResetCursor();
    // Moves the cursor to the next record; false (nothing moves) at the end.
    bool NextDisplay();
    // The first record, walking from the start, that is the SameMonitor as
    // `device`; the cursor is left on it. Null when there is none (the cursor
    // is then on the last record).
    const ActiveDisplay* FindDisplay(const DISPLAY_DEVICEA& device);
    // Same number of records and, position by position, SameMonitor, the
    // same output (DeviceName) and SameMode. A monitor that moved to another
    // output is a change of configuration, so that its calibration follows
    // it there. Cursors are not used.
    bool SameConfiguration(const ActiveDisplayList& other) const;
    // Clear, then a copy of each record of `other` (display device and
    // settings only: no association, no curve, no device context). The
    // cursor is left on the sentinel.
    void CopyFrom(const ActiveDisplayList& other);

    // The record under the cursor (the sentinel is a valid position).
    DISPLAY_DEVICEA CurrentDisplayDevice() const;
    DEVMODEA CurrentSettings() const;
    const QString& CurrentProfile() const;
    const GammaRamp& CurrentCurve() const;
    bool CurrentHasCurve() const;
    HDC CurrentDeviceContext() const;

    // Stores the handle; a different non-null handle held before is
    // released first.
    void SetCurrentDeviceContext(HDC deviceContext);
    // Stores the association text; hasCurve becomes true exactly when the
    // text names a profile file (namesProfileFile). The profile's bytes are
    // dropped.
    void SetCurrentProfile(const QString& profile);
    void SetCurrentProfileBytes(const QByteArray& bytes);
    // Copies all 768 entries and sets hasCurve.
    void SetCurrentCurve(const GammaRamp& curve);
    // As SetCurrentCurve, then, when `lutBitDepth` is not 0, the copy is
    // `curve` clamped to that depth (clampRampToBitDepth). `curve` itself is
    // never changed.
    void SetCurrentCurve(const GammaRamp& curve, int lutBitDepth);
    void SetCurrentHasCurve(bool hasCurve);

    bool isEmpty() const { return displayTail_ == displayHead_.get(); }
    int size() const;
    const ActiveDisplay* displayHead() const { return displayHead_.get(); }
    const ActiveDisplay* displayTail() const { return displayTail_; }
    const ActiveDisplay* currentDisplay() const { return currentDisplay_; }
    DisplaySystem* contextOwner() const { return contexts_; }

private:
    ActiveDisplay* appendCopy(const ActiveDisplay& source);
    // A record as made, reused from an earlier Clear where there is one.
    std::unique_ptr<ActiveDisplay> newRecord();
    void releaseContext(HDC deviceContext);

    DisplaySystem* contexts_;
    std::unique_ptr<ActiveDisplay> displayHead_;
    ActiveDisplay* displayTail_;
    ActiveDisplay* currentDisplay_;
    // Records released by Clear, waiting to be reused.
    std::unique_ptr<ActiveDisplay> spare_;
};
