// The seam to the system's device notifications: one file per system
// (device_events_linux.cpp, device_events_win.cpp). An object is made, used
// and destroyed on the watcher's thread; only Wake may come from another.
#ifndef CORVIN_HOTPLUG_DEVICE_EVENTS_H
#define CORVIN_HOTPLUG_DEVICE_EVENTS_H

#include <memory>
#include <string>

namespace hotplug {

class DeviceEvents {
  public:
    virtual ~DeviceEvents() = default;
    // Waits up to timeoutMs. True when the system reported that a serial
    // device appeared or vanished (or anything it cannot tell apart from
    // that); false on timeout or Wake.
    virtual bool Wait(int timeoutMs) = 0;
    // Ends a running or the next Wait at once; safe from any thread.
    virtual void Wake() = 0;
    // "udev", "device notifications".
    virtual std::string Name() const = 0;
};

// Null, and why in *problem, when the system gives no notifications here.
std::unique_ptr<DeviceEvents> OpenDeviceEvents(std::string *problem);

} // namespace hotplug

#endif
