// Serial ports that come and go while the program runs: a watcher thread
// that re-lists the ports through the device library whenever the system
// says a serial device came or went, or the port map changed, and hands the
// new list to a listener. It never opens a port and never starts a search.
#ifndef CORVIN_HOTPLUG_PORT_WATCHER_H
#define CORVIN_HOTPLUG_PORT_WATCHER_H

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hotplug {

// One serial port as the device library lists it.
struct SerialPort {
    int comNumber = 0;
    int type = 0;     // KORALINK_TYPE_USB or KORALINK_TYPE_COM
    std::string name; // "FT232R USB UART (COM34)"
    bool operator==(const SerialPort &) const = default;
};

// The USB adapters and other COM ports the device library lists right now
// (KORALINK_search_local_USB and _COM), sorted by COM number.
std::vector<SerialPort> ListSerialPorts();

struct PortChanges {
    std::vector<SerialPort> added;   // in `now`, not in `before`
    std::vector<SerialPort> removed; // in `before`, not in `now`
    bool empty() const { return added.empty() && removed.empty(); }
};

// What changed between two listings. A COM number whose port changed its
// name or type (another adapter took the number) counts as removed and added.
PortChanges ComparePorts(const std::vector<SerialPort> &before, const std::vector<SerialPort> &now);

// "COM36", "COM36, COM40": the ports' designations in COM-number order.
std::string PortNames(const std::vector<SerialPort> &ports);

class DeviceEvents; // one backend per system (device_events.h)

class PortWatcher {
  public:
    // Called on the watcher's own thread: first with the ports found at the
    // start, then with every listing that differs from the one before.
    using Listener = std::function<void(const std::vector<SerialPort> &ports)>;
    using Lister = std::function<std::vector<SerialPort>()>;

    struct Options {
        // How often the port map's time stamp is looked at.
        int portMapCheckMs = 250;
        // How often the ports are re-listed when the system gives no device
        // notifications (no udev daemon, say).
        int fallbackPollMs = 1000;
        // Ask the system for device notifications at all.
        bool deviceEvents = true;
        // The listing; ListSerialPorts when not set.
        Lister lister;
    };

    explicit PortWatcher(Listener listener);
    PortWatcher(Listener listener, Options options);
    // Stops the thread; the listener is not called after this returns.
    ~PortWatcher();
    PortWatcher(const PortWatcher &) = delete;
    PortWatcher &operator=(const PortWatcher &) = delete;

    // How changes are noticed, for the debug log: "udev", "device
    // notifications", or "polling once a second (why)". Waits until the
    // thread has chosen.
    std::string Method();

  private:
    void Run();
    bool WaitStop(int ms); // true when asked to stop

    Listener listener_;
    Options options_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    bool methodKnown_ = false;
    std::string method_;
    DeviceEvents *events_ = nullptr; // owned by the thread; guarded by mutex_ for Wake
    std::thread thread_;
};

} // namespace hotplug

#endif
