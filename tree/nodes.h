// The nodes of the display tree: a Monitor per physical display, under it a
// Resolution per width x height, under that a Mode per display mode with the
// calibration associated with it.
//
// Every list is singly linked through `nextNode`, starts with an owned
// sentinel node (never shown, written or matched) and keeps a tail
// reference; it is empty when head and tail are the same node. A node owns
// the nodes after it in its list and the lists below it. Releasing a node
// releases its whole chain without recursion.
//
// Nodes are plain records. The Tree hands them out read-only; code that
// builds nodes outside a Tree (detection, tests) may change them freely.
#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

#include "platform/win_types.h"
#include "ramps/gamma_ramp.h"

class LogGroup;

// A mode's parsed profile curve, held only once one is given: most modes
// have none, and a tree of thousands of modes keeps a pointer each instead
// of a whole ramp. Reads as a ramp of zeros until it is set.
class StoredRamp {
public:
    StoredRamp() = default;
    StoredRamp& operator=(const GammaRamp& ramp);
    operator const GammaRamp&() const { return get(); }
    const GammaRamp& get() const;

private:
    std::unique_ptr<GammaRamp> ramp_;
};

struct Mode {
    // A sentinel, or a new globalMode: empty `profile`, no curve, only
    // `dmSize` of `devMode` set.
    Mode();
    // A mode made from a display-mode record (CopyDisplaySettings) with the
    // given association text; `hasCurve` starts false.
    explicit Mode(const DEVMODEA& settings, const QString& association = {});
    ~Mode();
    Mode(const Mode&) = delete;
    Mode& operator=(const Mode&) = delete;

    // "640x480x32 @ 60Hz"
    QString ListItemText() const;
    // "Bits Per Pixel: ", "Display Flags: ", "Display Frequency: " lines; no
    // flush.
    void WriteLog(LogGroup& log) const;
    // Bits per pixel, flags and frequency, one line each, then the quoted
    // association text when there is one (no line end after it), in the
    // system's 8-bit encoding.
    void WriteTreeLines(QByteArray& out) const;

    DEVMODEA devMode;
    // The association text: empty, a profile file path, "LINEAR", "NULL" or
    // a tint name.
    QString profile;
    // The parsed profile curve; means something only while `hasCurve`.
    StoredRamp curve;
    bool hasCurve = false;
    // The profile file's bytes as they were parsed, for the colour-managed
    // programs of the system (empty for a file too large to keep).
    QByteArray profileBytes;
    std::unique_ptr<Mode> nextNode;
};

struct Resolution {
    explicit Resolution(int width = 0, int height = 0);
    ~Resolution();
    Resolution(const Resolution&) = delete;
    Resolution& operator=(const Resolution&) = delete;

    bool Matches(int w, int h) const { return width == w && height == h; }
    // True when a real Mode of this Resolution carries an association text.
    bool hasAssociatedMode() const;
    // Links a detached Mode at the end of the list; returns it.
    Mode* appendMode(std::unique_ptr<Mode> mode);

    // "640x480"
    QString ListItemText() const;
    // "640x480\n"
    void WriteLog(LogGroup& log) const;
    // "640 480", no line end. Each number as the 32 bits the modes hold
    // it (unsigned), so a size too large for a signed number is written back
    // as it was read.
    void WriteTreeLines(QByteArray& out) const;

    int width;
    int height;
    std::unique_ptr<Resolution> nextNode;
    std::unique_ptr<Mode> modeHead;
    Mode* modeTail;
};

struct Monitor {
    // A sentinel-style Monitor: cb set, mode-specific, no globalMode.
    Monitor();
    // As above, then CopyDisplayDevice from `device`. `OutputDevice` is the
    // caller's to fill.
    explicit Monitor(const DISPLAY_DEVICEA& device);
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // Links a detached Resolution at the end of the list; returns it.
    Resolution* appendResolution(std::unique_ptr<Resolution> resolution);
    // Sets `OutputDevice`, cut to 127 bytes.
    void setOutputDevice(const QByteArray& text);

    // The monitor's hardware id (the part of DeviceID between its first and
    // second backslash), " - ", DeviceString, "\n", OutputDevice, "\n".
    QString ListItemText() const;
    // "DeviceID = ...", "DeviceKey = ...", "DeviceString = ...",
    // "OutputDevice = ..." lines, then a flush.
    void WriteLog(LogGroup& log) const;
    // DeviceID, DeviceKey, DeviceString, OutputDevice joined by "\n", no line
    // end after the last: the fields' bytes as they are, so that the tree
    // file reads back the same identity whatever bytes it holds.
    void WriteTreeLines(QByteArray& out) const;

    // As enumerated, except that DeviceName holds the adapter output's name.
    DISPLAY_DEVICEA displayDevice;
    // The graphics adapter's description when the monitor was found.
    char OutputDevice[128];
    bool globalAssociation = false;
    // Non-null exactly while `globalAssociation` is true.
    std::unique_ptr<Mode> globalMode;
    std::unique_ptr<Monitor> nextNode;
    std::unique_ptr<Resolution> resolutionHead;
    Resolution* resolutionTail;
};
