// An in-memory display system for tests and benchmarks: adapters with
// monitors, mode lists, current modes and gamma tables that a test sets up
// and changes while the program runs, as a user, a game or a driver would.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/change_announcer.h"
#include "platform/display_system.h"

class SimDisplaySystem : public DisplaySystem {
public:
    struct CallCounts {
        int enumDisplayDevices = 0;
        int enumDisplaySettings = 0;
        int createDC = 0;
        int deleteDC = 0;
        int setDeviceGammaRamp = 0;
        int getDeviceGammaRamp = 0;
        int publishProfile = 0;
        int withdrawProfile = 0;
    };

    // Records for setting a system up.
    static DEVMODEA makeMode(DWORD width, DWORD height, DWORD bitsPerPel = 32,
                             DWORD frequency = 60, DWORD flags = 0);
    static DISPLAY_DEVICEA makeMonitor(const std::string& deviceId, const std::string& deviceKey,
                                       const std::string& deviceString);

    // --- set-up and outside events (thread-safe) ---
    // Attaching, detaching, switching a monitor on or off and switching or
    // clearing a mode announce a change to the waiters of watchChanges(), as
    // the system would (also when it changed nothing, as a system may);
    // adding adapters and setting the mode list, which set a system up, and
    // overwriting a gamma table do not.

    // Adds an adapter output; returns its index. Its gamma table starts linear.
    int addAdapter(const std::string& deviceName, const std::string& deviceString);
    // Attaches a monitor to an adapter; returns the monitor's index there.
    int attachMonitor(int adapter, const DISPLAY_DEVICEA& monitor, bool active = true);
    // Removes monitor `monitor` of `adapter` (later monitors move up).
    void detachMonitor(int adapter, int monitor);
    void setMonitorActive(int adapter, int monitor, bool active);
    void setModes(int adapter, const std::vector<DEVMODEA>& modes);
    // Switches the adapter's current mode (any record, listed or not).
    void switchMode(int adapter, const DEVMODEA& mode);
    // The same for the adapter named `deviceName`; false when there is none.
    bool switchMode(const std::string& deviceName, const DEVMODEA& mode);
    // The adapter then has no current mode: ENUM_CURRENT_SETTINGS fails.
    void clearCurrentMode(int adapter);

    // Another program loads a gamma table into the adapter.
    void overwriteGamma(int adapter, const GammaTable768& table);
    GammaTable768 gamma(int adapter) const;
    // Stored tables keep only the `bits` high bits of every entry, as some
    // drivers do (0 or 16: exact).
    void setQuantizeBits(int adapter, int bits);
    // SetDeviceGammaRamp fails and leaves the table as it was.
    void setRefuseRamps(int adapter, bool refuse);
    // CreateDCA fails (returns null) for every device.
    void setFailCreateDC(bool fail);

    CallCounts calls() const;
    void resetCalls();
    // Device contexts created and not yet released.
    int openDeviceContexts() const;
    // Number of successful gamma loads into `adapter` since set-up.
    int gammaLoads(int adapter) const;
    // The profile published for the adapter named `deviceName` now (empty
    // when none is).
    std::vector<std::uint8_t> publishedProfile(const std::string& deviceName) const;

    // --- DisplaySystem ---
    bool enumDisplayDevices(const char* device, DWORD index, DISPLAY_DEVICEA* out) override;
    bool enumDisplaySettings(const char* deviceName, DWORD modeIndex, DEVMODEA* out) override;
    HDC createDC(const char* deviceName) override;
    void deleteDC(HDC dc) override;
    bool setDeviceGammaRamp(HDC dc, const GammaTable768& table) override;
    bool getDeviceGammaRamp(HDC dc, GammaTable768& table) override;
    void publishProfile(const char* deviceName, std::span<const std::uint8_t> profile) override;
    void withdrawProfile(const char* deviceName) override;
    std::unique_ptr<ChangeWaiter> watchChanges() override;

private:
    struct Monitor {
        DISPLAY_DEVICEA device;
        bool active;
    };
    struct Adapter {
        DISPLAY_DEVICEA device;
        std::vector<Monitor> monitors;
        std::vector<DEVMODEA> modes;
        bool hasCurrent = false;
        DEVMODEA current{};
        GammaTable768 gamma{};
        int quantizeBits = 0;
        bool refuseRamps = false;
        int loads = 0;
    };

    Adapter* findAdapter(const char* deviceName);
    Adapter* adapterForDC(HDC dc);

    mutable std::mutex mutex_;
    std::vector<Adapter> adapters_;
    std::map<HDC, std::string> contexts_;
    std::uintptr_t nextContext_ = 0x1000;
    bool failCreateDC_ = false;
    std::map<std::string, std::vector<std::uint8_t>> published_;
    CallCounts calls_;
    ChangeAnnouncer announcer_;
};
