#include "platform/platform.h"

#include "platform/null_display_system.h"

#ifdef _WIN32
#include "platform/win32/win32_display_system.h"
#include "platform/win32/win32_run_entry.h"
#else
#include "platform/x11/x11_display_system.h"
#include "platform/xdg/xdg_autostart_entry.h"
#endif

Platform createPlatform() {
    Platform p;
#ifdef _WIN32
    p.display = std::make_unique<Win32DisplaySystem>();
    p.runEntry = std::make_unique<Win32RunEntry>();
    p.name = "win32";
#else
    if (auto x11 = X11DisplaySystem::open()) {
        p.display = std::move(x11);
        p.name = "x11";
    } else {
        p.display = std::make_unique<NullDisplaySystem>();
        p.name = "none";
    }
    p.runEntry = std::make_unique<XdgAutostartEntry>();
#endif
    return p;
}
