#include "hotplug/port_watcher.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <utility>

#include "device_events.h"
#include "koralink.h"
#include "support/olist.h"

namespace hotplug {

namespace {

using Clock = std::chrono::steady_clock;

// Device notifications come in bursts (a USB adapter brings its tty, its
// interface and its USB device); the listing waits until they settle.
constexpr int kSettleMs = 60;
constexpr int kSettleLimitMs = 400;

void AppendListed(int (*search)(ListType *), std::vector<SerialPort> *ports) {
    ListType list = ListCreate(sizeof(ConnectionRecord));
    if (list == nullptr)
        return;
    if (search(&list) > 0) {
        int count = ListNumItems(list);
        for (int i = 1; i <= count; ++i) {
            ConnectionRecord record;
            if (ListGetItem(list, &record, i) != 0)
                continue;
            record.name[sizeof record.name - 1] = '\0';
            ports->push_back({record.comNumber, record.type, record.name});
        }
    }
    ListDispose(list);
}

// The port map is a file the device library reads at every listing; the
// simulator's ports are pseudo-terminals that no device notification
// announces, so a new time stamp or size of the file counts as a change.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type written{};
    bool operator==(const FileStamp &) const = default;
};

FileStamp StampOf(const char *path) {
    FileStamp stamp;
    if (path == nullptr || *path == '\0')
        return stamp;
    std::error_code ec;
    std::filesystem::path p(path);
    stamp.size = std::filesystem::file_size(p, ec);
    if (ec)
        return FileStamp{};
    stamp.written = std::filesystem::last_write_time(p, ec);
    if (ec)
        return FileStamp{};
    stamp.exists = true;
    return stamp;
}

FileStamp PortMapStamp() {
    return StampOf(std::getenv("KORALINK_PORTMAP"));
}

} // namespace

std::vector<SerialPort> ListSerialPorts() {
    std::vector<SerialPort> ports;
    AppendListed(KORALINK_search_local_USB, &ports);
    AppendListed(KORALINK_search_local_COM, &ports);
    std::stable_sort(ports.begin(), ports.end(), [](const SerialPort &a, const SerialPort &b) {
        return a.comNumber < b.comNumber;
    });
    return ports;
}

PortChanges ComparePorts(const std::vector<SerialPort> &before,
                         const std::vector<SerialPort> &now) {
    PortChanges changes;
    auto contains = [](const std::vector<SerialPort> &ports, const SerialPort &port) {
        return std::find(ports.begin(), ports.end(), port) != ports.end();
    };
    for (const SerialPort &port : now)
        if (!contains(before, port))
            changes.added.push_back(port);
    for (const SerialPort &port : before)
        if (!contains(now, port))
            changes.removed.push_back(port);
    auto byNumber = [](const SerialPort &a, const SerialPort &b) {
        return a.comNumber < b.comNumber;
    };
    std::stable_sort(changes.added.begin(), changes.added.end(), byNumber);
    std::stable_sort(changes.removed.begin(), changes.removed.end(), byNumber);
    return changes;
}

std::string PortNames(const std::vector<SerialPort> &ports) {
    std::vector<int> numbers;
    for (const SerialPort &port : ports)
        numbers.push_back(port.comNumber);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::string text;
    for (int number : numbers)
        text += (text.empty() ? "COM" : ", COM") + std::to_string(number);
    return text;
}

PortWatcher::PortWatcher(Listener listener) : PortWatcher(std::move(listener), Options{}) {}

PortWatcher::PortWatcher(Listener listener, Options options)
    : listener_(std::move(listener)), options_(std::move(options)) {
    if (!options_.lister)
        options_.lister = ListSerialPorts;
    options_.portMapCheckMs = std::max(options_.portMapCheckMs, 10);
    options_.fallbackPollMs = std::max(options_.fallbackPollMs, options_.portMapCheckMs);
    thread_ = std::thread([this] { Run(); });
}

PortWatcher::~PortWatcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        if (events_ != nullptr)
            events_->Wake();
    }
    changed_.notify_all();
    thread_.join();
}

std::string PortWatcher::Method() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return methodKnown_; });
    return method_;
}

bool PortWatcher::WaitStop(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_; });
}

void PortWatcher::Run() {
    std::unique_ptr<DeviceEvents> events;
    std::string problem = "not asked for";
    if (options_.deviceEvents)
        events = OpenDeviceEvents(&problem);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_ = events.get();
        methodKnown_ = true;
        method_ = events ? events->Name()
                         : "polling every " + std::to_string(options_.fallbackPollMs) + " ms (" +
                               problem + ")";
    }
    changed_.notify_all();

    std::vector<SerialPort> ports = options_.lister();
    FileStamp stamp = PortMapStamp();
    listener_(ports);

    auto nextPoll = Clock::now() + std::chrono::milliseconds(options_.fallbackPollMs);
    for (;;) {
        bool relist = false;
        if (events) {
            relist = events->Wait(options_.portMapCheckMs);
            if (relist) {
                auto limit = Clock::now() + std::chrono::milliseconds(kSettleLimitMs);
                while (Clock::now() < limit && events->Wait(kSettleMs)) {
                }
            }
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_)
                break;
        } else if (WaitStop(options_.portMapCheckMs)) {
            break;
        } else if (Clock::now() >= nextPoll) {
            relist = true;
            nextPoll = Clock::now() + std::chrono::milliseconds(options_.fallbackPollMs);
        }
        FileStamp now = PortMapStamp();
        if (!(now == stamp)) {
            stamp = now;
            relist = true;
        }
        if (!relist)
            continue;
        std::vector<SerialPort> listed = options_.lister();
        if (listed != ports) {
            ports = std::move(listed);
            listener_(ports);
        }
    }

    std::lock_guard<std::mutex> lock(mutex_);
    events_ = nullptr;
}

} // namespace hotplug
