// The two identity rules and the two copy rules for the system's display
// records, and the conversions between their fixed-size text fields and
// Qt strings.
#pragma once

#include <cstddef>

#include <QByteArray>
#include <QString>

#include "platform/win_types.h"

// Same physical display: DeviceID, DeviceKey and DeviceString are equal,
// byte for byte and case-sensitive. DeviceName and StateFlags take no part,
// so a monitor moved to another output stays the same monitor.
bool SameMonitor(const DISPLAY_DEVICEA& a, const DISPLAY_DEVICEA& b);

// Same display mode: bits per pixel, width, height, display flags and
// frequency are all equal. No other field is compared.
bool SameMode(const DEVMODEA& a, const DEVMODEA& b);

// Copies DeviceID, DeviceKey, DeviceName, DeviceString and StateFlags;
// the destination keeps its own cb.
void CopyDisplayDevice(DISPLAY_DEVICEA& destination, const DISPLAY_DEVICEA& source);

// Copies every field except the device name, the form name and dmSize,
// which the destination keeps.
void CopyDisplaySettings(DEVMODEA& destination, const DEVMODEA& source);

// An empty display-device record with cb set.
DISPLAY_DEVICEA emptyDisplayDevice();
// An empty display-mode record with dmSize set.
DEVMODEA emptyDisplayMode();

// True when the mode's width and height are `width` and `height`.
bool modeHasSize(const DEVMODEA& mode, int width, int height);

// The text of a NUL-terminated 8-bit field (never read past its end), in
// the system's 8-bit encoding.
QString fieldText(const char* field, std::size_t size);
template <std::size_t N>
QString fieldText(const char (&field)[N]) {
    return fieldText(field, N);
}

// Stores `text` into a fixed-size field, cut to size - 1 bytes and always
// terminated; the rest of the field is zeroed.
void setFieldText(char* field, std::size_t size, const QByteArray& text);
template <std::size_t N>
void setFieldText(char (&field)[N], const QByteArray& text) {
    setFieldText(field, N, text);
}

// Makes sure each text field of a record received from the system ends
// within its bounds.
void terminateFields(DISPLAY_DEVICEA& device);
