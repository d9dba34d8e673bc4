// One pass of parallel probes, as the search runs it: open every port in
// probing mode, start a LINE OK exchange on each, then wait for all. The
// ports are silent, so every probe runs into the probe timeout; a pass over
// 32 ports should take about as long as a pass over one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "koralink.h"
#include "sim/lab.h"

namespace {

double PassMs(int ports, int firstCom) {
    std::vector<LinkContext> ctx(static_cast<size_t>(ports));
    std::vector<int> handles(static_cast<size_t>(ports), 0);
    std::memset(ctx.data(), 0, ctx.size() * sizeof(LinkContext));
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < ports; ++i) {
        if (KORALINK_init_rs232(&ctx[i], firstCom + i, KORALINK_BAUD_115200, 2) == 1)
            KORALINK_thread_exchange_frame(&ctx[i], 5, 0, nullptr, 0, &handles[i]);
        else
            std::fprintf(stderr, "open failed: %s\n", ctx[i].lastError);
    }
    for (int i = 0; i < ports; ++i) {
        if (handles[i])
            KORALINK_thread_wait_finish(&ctx[i], &handles[i]);
        KORALINK_close(&ctx[i]);
    }
    KORALINK_init_rs232(nullptr, 0, 0, 0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main() {
    std::string text;
    for (int i = 0; i < 32; ++i)
        text += "[sensor s" + std::to_string(i) + "]\nKind=USB\nCom=" + std::to_string(100 + i) +
                "\nFault=silent\n";
    std::string error;
    auto lab = corvinsim::Lab::Start(text, "", &error);
    if (!lab) {
        std::fprintf(stderr, "lab: %s\n", error.c_str());
        return 1;
    }
    lab->ApplyEnvironment();
    const char *timeout = std::getenv("KORALINK_PROBE_TIMEOUT_MS");
    std::printf("parallel probe pass over silent simulated ports (probe timeout %s ms)\n",
                timeout ? timeout : "150");
    const int rounds = 5;
    double best[3] = {1e9, 1e9, 1e9};
    const int counts[3] = {1, 8, 32};
    for (int r = 0; r < rounds; ++r)
        for (int k = 0; k < 3; ++k)
            best[k] = std::min(best[k], PassMs(counts[k], 100));
    for (int k = 0; k < 3; ++k)
        std::printf("  %2d ports: %7.1f ms (best of %d)\n", counts[k], best[k], rounds);
    std::printf("  ratio 32/1: %.2f\n", best[2] / best[0]);
    return 0;
}
