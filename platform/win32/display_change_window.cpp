#include "platform/win32/display_change_window.h"

#include <future>

#include <dbt.h>

namespace {

constexpr char className[] = "TavrinDisplayChangeWindow";

// GUID_DEVINTERFACE_MONITOR, written out: the header that declares it wants
// its GUIDs instantiated in exactly one place of the program.
constexpr GUID monitorInterface = {
    0xe6f07b5f, 0xee97, 0x4a90, {0xb0, 0x76, 0x33, 0xf5, 0x7b, 0xf4, 0xea, 0xa7}};

// Registered once per process; later windows of the class share it.
bool registerClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

DisplayChangeWindow::DisplayChangeWindow(std::function<void()> onChange)
    : onChange_(std::move(onChange)) {
    std::promise<HWND> created;
    std::future<HWND> window = created.get_future();
    thread_ = std::thread([this, &created] {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        HWND made = nullptr;
        if (registerClass(instance, procedure))
            made = CreateWindowExA(WS_EX_TOOLWINDOW, className, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, instance, this);
        window_ = made;
        created.set_value(made);
        if (made)
            run();
    });
    window.wait();
}

DisplayChangeWindow::~DisplayChangeWindow() {
    if (window_)
        PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
}

void DisplayChangeWindow::run() {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = monitorInterface;
    // Without it, mode changes are still heard.
    const HDEVNOTIFY monitors =
        RegisterDeviceNotificationA(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    if (monitors)
        UnregisterDeviceNotification(monitors);
}

LRESULT CALLBACK DisplayChangeWindow::procedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    const auto* self =
        reinterpret_cast<const DisplayChangeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
        case WM_DISPLAYCHANGE:
            if (self)
                self->onChange_();
            return 0;
        case WM_DEVICECHANGE:
            // Only the monitor interface was registered for.
            if (self && (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) &&
                lParam &&
                reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam)->dbch_devicetype ==
                    DBT_DEVTYP_DEVICEINTERFACE)
                self->onChange_();
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}
