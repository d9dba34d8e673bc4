// Whole-search wall time in simulated labs of serial ports (a mix of rates,
// a quarter of them silent) and of converter modules, against a sequential
// search that probes one port at one rate at a time through the same
// library. Prints a table; run it by hand or from CI for the figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "search/search_engine.h"
#include "search/text_format.h"
#include "sim/lab.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string SerialLab(int ports, bool allSilent = false) {
    static const int kRates[] = {115200, 19200, 57600, 38400, 9600};
    std::string text = "[lab]\nLanTargets=127.255.255.255:50031\n";
    for (int i = 0; i < ports; ++i) {
        text += "[sensor s" + std::to_string(i) + "]\nKind=" + (i % 2 ? "COM" : "USB") +
                "\nCom=" + std::to_string(100 + i) + "\nSerial=" + std::to_string(1000 + i) + "\n";
        if (allSilent || i % 4 == 3)
            text += "Fault=silent\n";
        else
            text += "Baud=" + std::to_string(kRates[i % 5]) + "\n";
    }
    return text;
}

std::string ConverterLab(int converters) {
    std::string text = "[lab]\nLanTargets=127.255.255.255:50031\n";
    for (int i = 0; i < converters; ++i) {
        text += "[converter c" + std::to_string(i) +
                "]\nKind=Converter\nUdpPort=50031\nHost=127.0.0." + std::to_string(40 + i) +
                "\nOP=1\nSerial=" + std::to_string(3000 + i) + "\n";
        if (i % 4 == 3)
            text += "Sensor=no\n";
    }
    return text;
}

struct Result {
    double ms;
    int identified;
};

Result EngineSearch() {
    ListType entries = ListCreate(sizeof(ConnectionEntry));
    auto start = Clock::now();
    RunSearch(SearchRequest{}, entries);
    double ms = Since(start);
    int identified = 0;
    for (int k = 1; k <= ListNumItems(entries); ++k)
        identified += static_cast<const ConnectionEntry *>(ListItemPtr(entries, k))->identified;
    ListDispose(entries);
    return {ms, identified};
}

// One probe at a time: open, LINE OK, wait, read the version on an answer,
// close; the next rate or port only after that.
Result SequentialSearch() {
    auto start = Clock::now();
    ListType list = ListCreate(sizeof(ConnectionRecord));
    KORALINK_search_local_LAN(&list);
    KORALINK_search_local_USB(&list);
    KORALINK_search_local_COM(&list);
    auto *ctx = static_cast<LinkContext *>(std::calloc(1, sizeof(LinkContext)));
    int identified = 0;
    char text[256];
    int length = 0;
    for (int k = 1; k <= ListNumItems(list); ++k) {
        ConnectionRecord r;
        ListGetItem(list, &r, k);
        if (r.type == KORALINK_TYPE_LAN) {
            if (r.lanState == 3) {
                ++identified;
                continue;
            }
            std::string ip = Ipv4Text(r.localIp);
            if (KORALINK_init_tcp(ctx, r.localPort, ip.c_str(), 4) == 1 &&
                KORALINK_exchange_frame(ctx, 5, 0, nullptr, 0) == 0 &&
                KORALINK_exchange_frame(ctx, 7, 0, nullptr, 0) == 0) {
                KORALINK_get_ansframe_data(ctx, text, 255, &length);
                ++identified;
            }
            KORALINK_close(ctx);
            continue;
        }
        for (int code : kSerialCycleCodes) {
            int opened = KORALINK_init_rs232(ctx, r.comNumber, code, 2);
            bool found = opened == 1 && KORALINK_exchange_frame(ctx, 5, 0, nullptr, 0) == 0 &&
                         KORALINK_exchange_frame(ctx, 7, 0, nullptr, 0) == 0;
            if (found)
                KORALINK_get_ansframe_data(ctx, text, 255, &length);
            KORALINK_close(ctx);
            if (opened != 1)
                break;
            if (found) {
                ++identified;
                break;
            }
        }
    }
    KORALINK_init_rs232(nullptr, 0, 0, 0);
    std::free(ctx);
    ListDispose(list);
    return {Since(start), identified};
}

bool Measure(const char *what, int count, const std::string &labText, double *baseline,
             bool setBaseline = false) {
    std::string error;
    auto lab = corvinsim::Lab::Start(labText, "", &error);
    if (!lab) {
        std::fprintf(stderr, "lab of %d %s: %s\n", count, what, error.c_str());
        return false;
    }
    lab->ApplyEnvironment();
    Result best = {1e18, 0};
    for (int round = 0; round < 3; ++round) {
        Result r = EngineSearch();
        if (r.ms < best.ms)
            best = r;
    }
    Result seq = SequentialSearch();
    if (setBaseline)
        *baseline = best.ms;
    std::printf("%3d %-10s search %8.1f ms  (%d identified)  x1-port %5.2f  sequential %9.1f ms "
                "(%d identified)  speed-up %6.1f\n",
                count, what, best.ms, best.identified, best.ms / *baseline, seq.ms, seq.identified,
                seq.ms / best.ms);
    std::fflush(stdout);
    return true;
}

} // namespace

int main() {
    std::printf("Connection search in simulated labs (best of 3 searches; the sequential search "
                "runs once)\n");
    // Any lab with a silent port takes five probe timeouts, however many
    // ports it has: the 1-port baseline is that worst case, a silent port.
    // The answering single port is shown for comparison.
    double base = 0;
    bool ok = Measure("silent", 1, SerialLab(1, true), &base, true);
    ok = Measure("answering", 1, SerialLab(1), &base) && ok;
    for (int ports : {8, 32, 64})
        ok = Measure("ports", ports, SerialLab(ports), &base) && ok;
    for (int converters : {4, 16})
        ok = Measure("converters", converters, ConverterLab(converters), &base) && ok;
    std::printf("x1-port: relative to the search of one silent serial port\n");
    return ok ? 0 : 1;
}
