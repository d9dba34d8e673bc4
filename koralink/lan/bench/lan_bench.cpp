// Figures for converter discovery on loopback: how long a search takes with
// N simulated modules (the window and quiet time dominate), and how fast
// replies are parsed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "converter_sim.h"
#include "lan.h"
#include "segcp.h"

namespace {

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main() {
    using Clock = std::chrono::steady_clock;
    for (int count : {1, 10, 50, 200}) {
        corvinsim::ConverterFleet fleet;
        for (int i = 0; i < count; ++i) {
            corvinsim::ConverterConfig c;
            c.mac[4] = static_cast<uint8_t>(i >> 8);
            c.mac[5] = static_cast<uint8_t>(i);
            c.fields["LI"] = "127.0.1." + std::to_string(i % 250 + 1);
            c.fields["OP"] = "0"; // no data ports needed
            fleet.Add(c);
        }
        std::string why;
        if (!fleet.Start(&why)) {
            std::fprintf(stderr, "fleet: %s\n", why.c_str());
            return 1;
        }
        std::string target = "127.255.255.255:" + std::to_string(fleet.port());
        setenv("KORALINK_LAN_TARGETS", target.c_str(), 1);
        const int runs = 5;
        double total = 0;
        int found = 0;
        for (int r = 0; r < runs; ++r) {
            ListType list = ListCreate(sizeof(ConnectionRecord));
            auto t0 = Clock::now();
            found = koralink::SearchLan(&list);
            total += Ms(Clock::now() - t0);
            ListDispose(list);
        }
        std::printf("search, %3d modules: %3d found, %.1f ms per search (window %s, quiet %s)\n",
                    count, found, total / runs,
                    getenv("KORALINK_LAN_WINDOW_MS") ? getenv("KORALINK_LAN_WINDOW_MS") : "300",
                    getenv("KORALINK_LAN_QUIET_MS") ? getenv("KORALINK_LAN_QUIET_MS") : "100");
    }

    std::string reply = "MA";
    reply.append("\x00\x08\xDC\x00\x00\x11", 6);
    reply += "\r\nPW \r\nMC00:08:DC:00:00:11\r\nVR1.4.5\r\nMNWIZ750SR\r\nSTOPEN\r\nIM0\r\nOP1\r\n"
             "LI192.168.11.2\r\nSM255.255.255.0\r\nGW192.168.11.1\r\nLP5000\r\nRP5000\r\n"
             "RH192.168.11.3\r\nBR12\r\n";
    const int n = 200000;
    int ok = 0;
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) {
        koralink::segcp::ModuleSettings s;
        ok += koralink::segcp::ParseReply(reinterpret_cast<const uint8_t *>(reply.data()),
                                          reply.size(), &s);
    }
    double ms = Ms(Clock::now() - t0);
    std::printf("reply parse: %d of %d ok, %.2f us per reply\n", ok, n, ms * 1000.0 / n);
    return 0;
}
