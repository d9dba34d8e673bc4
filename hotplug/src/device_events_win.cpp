// Device notifications on Windows: WM_DEVICECHANGE to a hidden top-level
// window of the watcher's thread. Windows broadcasts the arrival and removal
// of a port (DBT_DEVTYP_PORT) to top-level windows only, so a message-only
// window would miss them; the COM-port interface registration covers
// drivers that announce the interface instead, and DBT_DEVNODES_CHANGED
// whatever else changed in the device tree (a listing costs little next to
// a user's plugging).
#include <windows.h>

#include <dbt.h>

#include "device_events.h"

namespace hotplug {

namespace {

// GUID_DEVINTERFACE_COMPORT, spelt out: MinGW's headers do not all carry it.
const GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

const wchar_t kWindowClass[] = L"CorvintracerPortWatcher";

class WindowEvents final : public DeviceEvents {
  public:
    WindowEvents() = default;
    ~WindowEvents() override {
        if (notification_ != nullptr)
            UnregisterDeviceNotification(notification_);
        if (window_ != nullptr)
            DestroyWindow(window_);
        if (wake_ != nullptr)
            CloseHandle(wake_);
    }

    bool Open(std::string *problem) {
        wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (wake_ == nullptr) {
            *problem = "CreateEvent failed";
            return false;
        }
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &WindowEvents::Procedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        if (RegisterClassW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            *problem = "RegisterClass failed";
            return false;
        }
        // Never shown: WS_POPUP without WS_VISIBLE.
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, instance, nullptr);
        if (window_ == nullptr) {
            *problem = "CreateWindow failed";
            return false;
        }
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kComPortInterface;
        // Without it the port broadcasts still arrive; not worth failing for.
        notification_ = RegisterDeviceNotificationW(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        return true;
    }

    bool Wait(int timeoutMs) override {
        changed_ = false;
        DWORD r =
            MsgWaitForMultipleObjects(1, &wake_, FALSE, static_cast<DWORD>(timeoutMs), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (r == WAIT_OBJECT_0)
            return false;
        return changed_;
    }

    void Wake() override { SetEvent(wake_); }

    std::string Name() const override { return "device notifications"; }

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_DEVICECHANGE) {
            auto *self = reinterpret_cast<WindowEvents *>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self != nullptr &&
                (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE ||
                 wParam == DBT_DEVNODES_CHANGED))
                self->changed_ = true;
            return TRUE;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HANDLE wake_ = nullptr;
    HWND window_ = nullptr;
    HDEVNOTIFY notification_ = nullptr;
    bool changed_ = false;
};

} // namespace

std::unique_ptr<DeviceEvents> OpenDeviceEvents(std::string *problem) {
    auto events = std::make_unique<WindowEvents>();
    if (!events->Open(problem))
        return nullptr;
    return events;
}

} // namespace hotplug
