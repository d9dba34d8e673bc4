// The port watcher: what counts as a change, and a watcher in a simulated
// lab whose ports are plugged in and pulled out during the run.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "hotplug/port_watcher.h"
#include "koralink.h"
#include "sim/lab.h"

using hotplug::ComparePorts;
using hotplug::PortNames;
using hotplug::PortWatcher;
using hotplug::SerialPort;

namespace {

using Clock = std::chrono::steady_clock;

const SerialPort kCom1{1, KORALINK_TYPE_COM, "Communications Port (COM1)"};
const SerialPort kCom34{34, KORALINK_TYPE_USB, "FT232R USB UART (COM34)"};
const SerialPort kCom34Other{34, KORALINK_TYPE_USB, "CP2102 USB to UART Bridge (COM34)"};
const SerialPort kCom36{36, KORALINK_TYPE_USB, "Late adapter (COM36)"};

std::vector<int> Numbers(const std::vector<SerialPort> &ports) {
    std::vector<int> numbers;
    for (const SerialPort &port : ports)
        numbers.push_back(port.comNumber);
    return numbers;
}

TEST(ComparePorts, NamesWhatCameAndWent) {
    struct Case {
        const char *what;
        std::vector<SerialPort> before, now;
        std::vector<int> added, removed;
    };
    const Case cases[] = {
        {"same ports in another order", {kCom34, kCom1}, {kCom1, kCom34}, {}, {}},
        {"a port plugged in", {kCom1}, {kCom36, kCom1}, {36}, {}},
        {"a port pulled out", {kCom1, kCom34}, {kCom1}, {}, {34}},
        {"another adapter took the number", {kCom34}, {kCom34Other}, {34}, {34}},
        {"everything gone", {kCom36, kCom1, kCom34}, {}, {}, {1, 34, 36}},
        {"first ports", {}, {kCom34, kCom1}, {1, 34}, {}},
    };
    for (const Case &c : cases) {
        hotplug::PortChanges changes = ComparePorts(c.before, c.now);
        EXPECT_EQ(Numbers(changes.added), c.added) << c.what;
        EXPECT_EQ(Numbers(changes.removed), c.removed) << c.what;
        EXPECT_EQ(changes.empty(), c.added.empty() && c.removed.empty()) << c.what;
    }
}

TEST(PortNames, ListsDesignationsOnceInNumberOrder) {
    EXPECT_EQ(PortNames({}), "");
    EXPECT_EQ(PortNames({kCom36}), "COM36");
    EXPECT_EQ(PortNames({kCom36, kCom34, kCom1, kCom34Other}), "COM1, COM34, COM36");
}

// Collects the listings a watcher reports.
class Reports {
  public:
    void Add(const std::vector<SerialPort> &ports) {
        std::lock_guard<std::mutex> lock(mutex_);
        listings_.push_back({Clock::now(), ports});
        arrived_.notify_all();
    }
    // Waits for a listing after the first `seen` ones that satisfies pred;
    // the time it arrived, or nothing after timeoutMs.
    template <class Pred>
    bool WaitFor(size_t seen, Pred pred, int timeoutMs, Clock::time_point *at) {
        std::unique_lock<std::mutex> lock(mutex_);
        size_t checked = seen;
        return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (; checked < listings_.size(); ++checked) {
                if (pred(listings_[checked].ports)) {
                    *at = listings_[checked].at;
                    return true;
                }
            }
            return false;
        });
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return listings_.size();
    }

  private:
    struct Listing {
        Clock::time_point at;
        std::vector<SerialPort> ports;
    };
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Listing> listings_;
};

bool Has(const std::vector<SerialPort> &ports, int comNumber) {
    for (const SerialPort &port : ports)
        if (port.comNumber == comNumber)
            return true;
    return false;
}

class WatcherInLab : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        std::string error;
        lab = corvinsim::Lab::Start("[lab]\nLanTargets=127.255.255.255:50019\n"
                                    "[sensor fixed]\nKind=COM\nCom=1\n"
                                    "[sensor late]\nKind=USB\nCom=36\nPlug=86400000\n",
                                    "", &error);
        ASSERT_TRUE(lab) << error;
        lab->ApplyEnvironment();
    }
    void TearDown() override { unsetenv("KORALINK_PORTMAP"); }

    // Plugs or pulls COM36 and returns how long the watcher took to report it.
    double Switch(PortWatcher &, Reports &reports, bool present) {
        size_t seen = reports.Count();
        std::string error;
        auto start = Clock::now();
        EXPECT_TRUE(lab->SetPortPresent(36, present, &error)) << error;
        Clock::time_point at;
        bool reported = reports.WaitFor(
            seen,
            [present](const std::vector<SerialPort> &ports) { return Has(ports, 36) == present; },
            5000, &at);
        EXPECT_TRUE(reported) << "COM36 " << (present ? "plugged in" : "pulled out")
                              << " was not reported";
        return std::chrono::duration<double, std::milli>(at - start).count();
    }

    std::unique_ptr<corvinsim::Lab> lab;
};

TEST_P(WatcherInLab, ReportsPortsPluggedInAndPulledOut) {
    Reports reports;
    PortWatcher::Options options;
    options.deviceEvents = GetParam();
    PortWatcher watcher([&reports](const std::vector<SerialPort> &ports) { reports.Add(ports); },
                        options);
    Clock::time_point at;
    ASSERT_TRUE(reports.WaitFor(
        0,
        [](const std::vector<SerialPort> &ports) { return Numbers(ports) == std::vector<int>{1}; },
        5000, &at))
        << "the first listing must hold the ports present at the start, and only those";

    double in = Switch(watcher, reports, true);
    double out = Switch(watcher, reports, false);
    std::printf("[ figures ] %s: plugged in reported after %.0f ms, pulled out after %.0f ms\n",
                watcher.Method().c_str(), in, out);
    RecordProperty("plug_in_ms", static_cast<int>(in));
    RecordProperty("pull_out_ms", static_cast<int>(out));
}

INSTANTIATE_TEST_SUITE_P(DeviceEvents, WatcherInLab, ::testing::Bool(),
                         [](const auto &p) { return p.param ? "Asked" : "NotAsked"; });

TEST(PortWatcher, PollsTheListingWithoutDeviceNotifications) {
    std::mutex mutex;
    std::vector<SerialPort> listed{kCom1};
    int listings = 0;
    Reports reports;
    PortWatcher::Options options;
    options.deviceEvents = false;
    options.fallbackPollMs = 50;
    options.portMapCheckMs = 20;
    options.lister = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        ++listings;
        return listed;
    };
    {
        PortWatcher watcher(
            [&reports](const std::vector<SerialPort> &ports) { reports.Add(ports); }, options);
        EXPECT_NE(watcher.Method().find("polling"), std::string::npos) << watcher.Method();
        Clock::time_point at;
        ASSERT_TRUE(reports.WaitFor(
            0, [](const auto &) { return true; }, 5000, &at));
        {
            std::lock_guard<std::mutex> lock(mutex);
            listed = {kCom1, kCom36};
        }
        EXPECT_TRUE(reports.WaitFor(
            1, [](const auto &ports) { return Has(ports, 36); }, 5000, &at));
    }
    // Unchanged listings are not reported again.
    EXPECT_EQ(reports.Count(), 2u);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_GE(listings, 2);
}

} // namespace
