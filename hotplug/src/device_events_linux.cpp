// Device notifications on Linux: a udev monitor on the tty subsystem. udev
// announces a port once its rules have run, so the device node and its
// sysfs attributes are in place when the listing reads them. Without a
// running udev daemon nothing would ever arrive; the watcher polls then.
#include <cerrno>
#include <cstring>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "device_events.h"

namespace hotplug {

namespace {

class UdevEvents final : public DeviceEvents {
  public:
    UdevEvents(udev *context, udev_monitor *monitor, int wakeFd)
        : udev_(context), monitor_(monitor), wakeFd_(wakeFd) {}
    ~UdevEvents() override {
        udev_monitor_unref(monitor_);
        udev_unref(udev_);
        close(wakeFd_);
    }

    bool Wait(int timeoutMs) override {
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {udev_monitor_get_fd(monitor_), POLLIN, 0}};
        int r = poll(fds, 2, timeoutMs);
        if (r <= 0)
            return false;
        if (fds[0].revents & POLLIN) {
            uint64_t count = 0;
            if (read(wakeFd_, &count, sizeof count) < 0) {
            }
            return false;
        }
        bool serial = false;
        // The monitor's socket is non-blocking: take every queued event.
        while (udev_device *device = udev_monitor_receive_device(monitor_)) {
            const char *action = udev_device_get_action(device);
            if (action != nullptr &&
                (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0))
                serial = true;
            udev_device_unref(device);
        }
        return serial;
    }

    void Wake() override {
        uint64_t one = 1;
        if (write(wakeFd_, &one, sizeof one) < 0) {
        }
    }

    std::string Name() const override { return "udev"; }

  private:
    udev *udev_;
    udev_monitor *monitor_;
    int wakeFd_;
};

} // namespace

std::unique_ptr<DeviceEvents> OpenDeviceEvents(std::string *problem) {
    // udevd creates its control socket here; without it no monitor ever
    // hears of a device.
    if (access("/run/udev/control", F_OK) != 0) {
        *problem = "no udev daemon";
        return nullptr;
    }
    udev *context = udev_new();
    if (context == nullptr) {
        *problem = "udev_new failed";
        return nullptr;
    }
    udev_monitor *monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        *problem = std::string("no udev monitor: ") + std::strerror(errno);
        if (monitor != nullptr)
            udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        *problem = std::string("eventfd: ") + std::strerror(errno);
        udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::make_unique<UdevEvents>(context, monitor, wakeFd);
}

} // namespace hotplug
