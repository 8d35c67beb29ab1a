// The two Windows display records and the handful of constants the program
// uses. On Windows they come from <windows.h>; elsewhere this header defines
// them with the same field names, types and sizes so that the tree, the tree
// file and the watch loop are the same code on every system.
#pragma once

#include <cstddef>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// Without it the Windows SDK's <windows.h> defines min and max as macros,
// which break every later std::min and std::max (MinGW's leaves them out).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using CHAR = char;

// An opaque device-context handle, as on Windows. Backends hand out values
// of their own; null means "no device context".
struct HDC__;
using HDC = HDC__*;

constexpr int CCHDEVICENAME = 32;
constexpr int CCHFORMNAME = 32;

struct POINTL {
    LONG x;
    LONG y;
};

struct DISPLAY_DEVICEA {
    DWORD cb;
    CHAR DeviceName[32];
    CHAR DeviceString[128];
    DWORD StateFlags;
    CHAR DeviceID[128];
    CHAR DeviceKey[128];
};

// Field for field the layout of the Windows record (the display variant of
// the union), so that dmSize means the same everywhere.
struct DEVMODEA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    POINTL dmPosition;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayFixedOutput;
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    BYTE dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};

constexpr DWORD DISPLAY_DEVICE_ACTIVE = 0x00000001;
constexpr DWORD DISPLAY_DEVICE_ATTACHED_TO_DESKTOP = 0x00000001;
constexpr DWORD DISPLAY_DEVICE_PRIMARY_DEVICE = 0x00000004;
constexpr DWORD ENUM_CURRENT_SETTINGS = static_cast<DWORD>(-1);
constexpr DWORD DM_INTERLACED = 0x00000002;
constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;
constexpr DWORD DM_DISPLAYFLAGS = 0x00200000;
constexpr DWORD DM_DISPLAYFREQUENCY = 0x00400000;

#endif

// The Windows layout, checked against <windows.h> by the Windows build and
// against the definitions above everywhere else.
static_assert(sizeof(DISPLAY_DEVICEA) == 424, "DISPLAY_DEVICEA must match the Windows layout");
static_assert(offsetof(DISPLAY_DEVICEA, DeviceString) == 36);
static_assert(offsetof(DISPLAY_DEVICEA, StateFlags) == 164);
static_assert(offsetof(DISPLAY_DEVICEA, DeviceID) == 168);
static_assert(offsetof(DISPLAY_DEVICEA, DeviceKey) == 296);
static_assert(sizeof(DEVMODEA) == 156, "DEVMODEA must match the Windows layout");
static_assert(offsetof(DEVMODEA, dmSize) == 36);
static_assert(offsetof(DEVMODEA, dmFields) == 40);
static_assert(offsetof(DEVMODEA, dmPosition) == 44);
static_assert(offsetof(DEVMODEA, dmLogPixels) == 102);
static_assert(offsetof(DEVMODEA, dmBitsPerPel) == 104);
static_assert(offsetof(DEVMODEA, dmPelsWidth) == 108);
static_assert(offsetof(DEVMODEA, dmPelsHeight) == 112);
static_assert(offsetof(DEVMODEA, dmDisplayFlags) == 116);
static_assert(offsetof(DEVMODEA, dmDisplayFrequency) == 120);
static_assert(offsetof(DEVMODEA, dmPanningHeight) == 152);
static_assert(sizeof(DWORD) == 4 && sizeof(WORD) == 2 && sizeof(LONG) == 4);
