// How close a whole search comes to its physical floor. For each lab: total
// time, time per phase (converter discovery, port listing, probing), and the
// ratio to the five-cycle floor (five rate cycles of request time + the
// sensor's reaction bound + the margin the library allows). The 32-port
// mixed lab also runs through a sequential scanner written here (one port at
// one rate at a time, the same frames, the same 150 ms first-byte timeout,
// the same rate order) for the ratio. Prints figures, asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "frame.h"
#include "search/search_engine.h"
#include "sim/lab.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// ---- phase timing through the engine's own seam ----

// Discovery runs beside the listing and the first serial cycle: the
// probing figure counts from whichever of discovery and listing ends last.
struct PhaseClock {
    double discoveryMs = 0, listingMs = 0;
    Clock::time_point listed, discovered;
} g_phase;

int TimedLan(ListType *list) {
    auto t = Clock::now();
    int r = KoralinkApi().search_local_LAN(list);
    g_phase.discovered = Clock::now();
    g_phase.discoveryMs = MsBetween(t, g_phase.discovered);
    return r;
}
int TimedUsb(ListType *list) {
    auto t = Clock::now();
    int r = KoralinkApi().search_local_USB(list);
    g_phase.listingMs = MsBetween(t, Clock::now());
    return r;
}
int TimedCom(ListType *list) {
    auto t = Clock::now();
    int r = KoralinkApi().search_local_COM(list);
    g_phase.listingMs += MsBetween(t, Clock::now());
    g_phase.listed = Clock::now();
    return r;
}

LinkApi TimedApi() {
    LinkApi api = KoralinkApi();
    api.search_local_LAN = TimedLan;
    api.search_local_USB = TimedUsb;
    api.search_local_COM = TimedCom;
    return api;
}

// ---- the floor ----

constexpr double kReactionBoundMs = 50; // docs/sensor-protocol.md
constexpr double kMarginMs = 50;        // USB latency (up to 30 ms) + scheduling

double FloorMs() {
    uint8_t frame[koralink::kMaxFrame];
    koralink::Frame request;
    request.command = KORALINK_CMD_LINE_OK;
    size_t bytes = koralink::EncodeFrame(request, frame);
    double ms = 0;
    for (int code : kSerialCycleCodes)
        ms += bytes * 10000.0 / KoralinkBaudRate(code) + kReactionBoundMs + kMarginMs;
    return ms;
}

// ---- labs ----

std::string SilentLab(int ports) {
    std::string text = "[lab]\nLanTargets=127.255.255.255\n";
    for (int i = 0; i < ports; ++i)
        text += "[sensor s" + std::to_string(i) + "]\nKind=" + (i % 2 ? "COM" : "USB") +
                "\nCom=" + std::to_string(100 + i) + "\nFault=silent\n";
    return text;
}

// 8 sensors spread over the five rates, 24 silent ports.
std::string MixedLab() {
    static const int kRates[] = {115200, 19200, 57600, 38400, 9600};
    std::string text = "[lab]\nLanTargets=127.255.255.255\n";
    for (int i = 0; i < 32; ++i) {
        text += "[sensor s" + std::to_string(i) + "]\nKind=" + (i % 2 ? "COM" : "USB") +
                "\nCom=" + std::to_string(100 + i) + "\nSerial=" + std::to_string(1000 + i) + "\n";
        if (i % 4 == 0)
            text += "Baud=" + std::to_string(kRates[(i / 4) % 5]) + "\n";
        else
            text += "Fault=silent\n";
    }
    return text;
}

// One sensor per rate answering exactly at the reaction bound, behind a USB
// adapter's 30 ms latency: the margin must keep every one.
std::string AtBoundLab() {
    static const int kRates[] = {115200, 19200, 57600, 38400, 9600};
    std::string text = "[lab]\nLanTargets=127.255.255.255\n";
    for (int i = 0; i < 5; ++i)
        text += "[sensor b" + std::to_string(i) + "]\nKind=USB\nCom=" + std::to_string(200 + i) +
                "\nFault=at-bound\nLatency=30\nBaud=" + std::to_string(kRates[i]) + "\n";
    return text;
}

std::string DemoLab() {
    std::ifstream file(CORVIN_DEMO_LAB);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// ---- the sequential scanner ----

speed_t SpeedOf(int rate) {
    switch (rate) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    default:
        return B115200;
    }
}

// One request, one answer frame, the first byte within firstByteMs.
bool Ask(int fd, uint8_t command, int firstByteMs) {
    koralink::Frame request;
    request.command = command;
    uint8_t out[koralink::kMaxFrame];
    size_t length = koralink::EncodeFrame(request, out);
    tcflush(fd, TCIOFLUSH);
    if (write(fd, out, length) != static_cast<ssize_t>(length))
        return false;
    tcdrain(fd);
    koralink::FrameDecoder decoder;
    int waitMs = firstByteMs;
    uint8_t buffer[512];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, waitMs) <= 0)
            return false;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        size_t offset = 0;
        while (offset < static_cast<size_t>(n)) {
            koralink::Frame f;
            bool got = false;
            offset += decoder.Feed(buffer + offset, static_cast<size_t>(n) - offset, &f, &got);
            if (got && f.kind == koralink::FrameKind::Answer && f.command == command)
                return true;
        }
        waitMs = 20; // the rest of a frame under way
    }
}

int SequentialScan(const corvinsim::Lab &lab, double *ms) {
    auto start = Clock::now();
    int found = 0;
    for (const corvinsim::PortEntry &port : lab.Ports()) {
        for (int code : kSerialCycleCodes) {
            int fd = open(port.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                break;
            termios tio{};
            tcgetattr(fd, &tio);
            cfmakeraw(&tio);
            cfsetispeed(&tio, SpeedOf(KoralinkBaudRate(code)));
            cfsetospeed(&tio, SpeedOf(KoralinkBaudRate(code)));
            tcsetattr(fd, TCSANOW, &tio);
            bool answered =
                Ask(fd, KORALINK_CMD_LINE_OK, 150) && Ask(fd, KORALINK_CMD_VERSION, 150);
            close(fd);
            if (answered) {
                ++found;
                break;
            }
        }
    }
    *ms = MsBetween(start, Clock::now());
    return found;
}

// ---- one lab ----

struct Figures {
    double totalMs = 1e18, discoveryMs = 0, listingMs = 0, probingMs = 0;
    int identified = 0, entries = 0;
};

Figures Search() {
    LinkApi api = TimedApi();
    SearchRequest request;
    request.api = &api;
    ListType entries = ListCreate(sizeof(ConnectionEntry));
    g_phase = {};
    auto start = Clock::now();
    RunSearch(request, entries);
    auto end = Clock::now();
    Figures f;
    f.totalMs = MsBetween(start, end);
    f.discoveryMs = g_phase.discoveryMs;
    f.listingMs = g_phase.listingMs;
    f.probingMs = MsBetween(std::max(g_phase.listed, g_phase.discovered), end);
    f.entries = ListNumItems(entries);
    for (int k = 1; k <= f.entries; ++k)
        f.identified += static_cast<const ConnectionEntry *>(ListItemPtr(entries, k))->identified;
    ListDispose(entries);
    return f;
}

bool Measure(const char *name, const std::string &labText, bool sequential, double *oneSilent) {
    std::string error;
    auto lab = corvinsim::Lab::Start(labText, "", &error);
    if (!lab) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        return false;
    }
    lab->ApplyEnvironment();
    Figures best;
    for (int round = 0; round < 3; ++round) {
        Figures f = Search();
        if (f.totalMs < best.totalMs)
            best = f;
    }
    std::printf("%-16s total %7.1f ms  discovery %6.1f  listing %5.1f  probing after both "
                "%7.1f  identified %2d of %2d  x floor %5.2f",
                name, best.totalMs, best.discoveryMs, best.listingMs, best.probingMs,
                best.identified, best.entries, best.totalMs / FloorMs());
    if (oneSilent && *oneSilent > 0)
        std::printf("  x 1-silent %5.2f", best.totalMs / *oneSilent);
    else if (oneSilent)
        *oneSilent = best.totalMs;
    std::printf("\n");
    if (sequential) {
        double ms = 0;
        int found = SequentialScan(*lab, &ms);
        std::printf("%-16s sequential scanner %8.1f ms  identified %2d  search is %5.1f x faster\n",
                    "", ms, found, ms / best.totalMs);
    }
    std::fflush(stdout);
    return true;
}

} // namespace

int main() {
    std::printf("Whole searches in simulated labs (best of 3). Five-cycle floor: %.1f ms "
                "(request time + %.0f ms reaction bound + %.0f ms margin, at each rate)\n",
                FloorMs(), kReactionBoundMs, kMarginMs);
    double oneSilent = 0;
    bool ok = Measure("demo lab", DemoLab(), false, nullptr);
    ok = Measure("empty lab", "[lab]\nLanTargets=127.255.255.255\n", false, nullptr) && ok;
    ok = Measure("1 silent port", SilentLab(1), false, &oneSilent) && ok;
    ok = Measure("64 silent ports", SilentLab(64), false, &oneSilent) && ok;
    ok = Measure("32-port mixed", MixedLab(), true, nullptr) && ok;
    ok = Measure("5 at bound+30ms", AtBoundLab(), false, nullptr) && ok;
    return ok ? 0 : 1;
}
