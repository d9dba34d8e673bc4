// The search on a worker thread: the hand-off of its log and progress to the
// owner's thread, and cancelling it in each phase through the real library
// in a simulated lab.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "search/search_worker.h"
#include "sim/lab.h"

namespace {

using Clock = std::chrono::steady_clock;

// Records what reaches the owner's side, log and progress in one sequence.
class Sink : public SearchLog, public SearchProgress {
  public:
    std::vector<std::string> seen;
    std::string log;
    void Write(const char *text) override {
        seen.push_back(std::string("log ") + text);
        log += text;
    }
    void Clear() override { seen.push_back("clear"); }
    void ListingStarted(const char *text) override { seen.push_back(std::string("list ") + text); }
    void PassMilestones(int count) override { seen.push_back("pass " + std::to_string(count)); }
    void ProbingPlanned(int passes, int connections) override {
        seen.push_back("plan " + std::to_string(passes) + "/" + std::to_string(connections));
    }
    void Start(const char *text) override { seen.push_back(std::string("start ") + text); }
    void Advance(const char *text) override { seen.push_back(std::string("adv ") + text); }
    void End(const char *text) override { seen.push_back(std::string("end ") + text); }
};

TEST(SearchWorker, DeliversLogAndProgressInTheOrderWritten) {
    std::vector<std::string> expected;
    for (int k = 0; k < 500; ++k) {
        std::string n = std::to_string(k);
        expected.insert(expected.end(), {"log " + n, "adv " + n, "pass " + n, "plan " + n + "/1"});
    }
    SearchWorker worker;
    worker.Start([](SearchLog &log, SearchProgress &progress, CancelToken &) {
        for (int k = 0; k < 500; ++k) {
            std::string n = std::to_string(k);
            log.Write(n.c_str());
            progress.Advance(n.c_str());
            progress.PassMilestones(k);
            progress.ProbingPlanned(k, 1);
        }
    });
    Sink sink;
    while (!worker.Done())
        worker.Deliver(&sink, &sink); // while the worker still writes
    worker.Finish(&sink, &sink);
    EXPECT_EQ(sink.seen, expected);
}

TEST(SearchWorker, CancelWakesOnce) {
    CancelToken token;
    int wakes = 0;
    token.SetWake([&] { ++wakes; });
    EXPECT_FALSE(token.Cancelled());
    std::thread a([&] { token.Cancel(); });
    std::thread b([&] { token.Cancel(); });
    a.join();
    b.join();
    EXPECT_TRUE(token.Cancelled());
    EXPECT_EQ(wakes, 1);
}

// The real library, with every line it opens remembered until closed.
std::mutex g_linesMutex;
std::set<LinkContext *> g_openLines;
LinkApi TrackingApi() {
    LinkApi api = KoralinkApi();
    api.init_rs232 = [](LinkContext *ctx, int com, int code, int mode) {
        int r = KORALINK_init_rs232(ctx, com, code, mode);
        std::lock_guard<std::mutex> lock(g_linesMutex);
        if (ctx && r == 1)
            g_openLines.insert(ctx);
        return r;
    };
    api.init_tcp = [](LinkContext *ctx, int port, const char *ip, int mode) {
        int r = KORALINK_init_tcp(ctx, port, ip, mode);
        std::lock_guard<std::mutex> lock(g_linesMutex);
        if (ctx && r == 1)
            g_openLines.insert(ctx);
        return r;
    };
    api.close = [](LinkContext *ctx) {
        {
            std::lock_guard<std::mutex> lock(g_linesMutex);
            g_openLines.erase(ctx);
        }
        return KORALINK_close(ctx);
    };
    return api;
}

struct Outcome {
    long stopMs = -1; // from the cancel to the worker's end
    std::string log;
    int identified = 0;
};

// The program's search (the listing, then the probes) on a worker, cancelled
// cancelAfterMs after its start (never, when negative).
Outcome SearchOnWorker(const LinkApi &api, int cancelAfterMs) {
    ListType records = ListCreate(sizeof(ConnectionRecord));
    ListType entries = ListCreate(sizeof(ConnectionEntry));
    SearchWorker worker;
    worker.Start(
        [&](SearchLog &log, SearchProgress &progress, CancelToken &cancel) {
            SearchRequest request;
            request.api = &api;
            request.log = &log;
            request.progress = &progress;
            request.cancel = cancel.Flag();
            ListConnections(request, &records);
            IdentifyRecords(request, records, entries);
        },
        &api);
    Sink sink;
    auto start = Clock::now();
    auto cancelAt = start + std::chrono::milliseconds(cancelAfterMs);
    Clock::time_point cancelled{};
    while (!worker.Done()) {
        worker.Deliver(&sink, &sink);
        if (cancelAfterMs >= 0 && cancelled == Clock::time_point{} && Clock::now() >= cancelAt) {
            worker.Cancel();
            cancelled = Clock::now();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    auto end = Clock::now();
    worker.Finish(&sink, &sink);
    Outcome out;
    if (cancelled != Clock::time_point{})
        out.stopMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - cancelled).count());
    out.log = sink.log;
    for (int k = 1; k <= ListNumItems(entries); ++k)
        out.identified += static_cast<const ConnectionEntry *>(ListItemPtr(entries, k))->identified;
    ListDispose(entries);
    ListDispose(records);
    return out;
}

struct PhaseCase {
    const char *phase;
    const char *env;      // KORALINK_ variables of the case, "NAME=value" separated by spaces
    int cancelAfterMs;    // lands inside the phase's 3 s wait
    const char *stopLine; // what the log says about where the search stopped
};

class CancelledSearch : public ::testing::TestWithParam<PhaseCase> {
  protected:
    void SetUp() override {
        std::string error;
        lab_ = corvinsim::Lab::Start("[lab]\nLanTargets=127.255.255.255\n"
                                     "[sensor silent]\nKind=USB\nCom=41\nFault=silent\n"
                                     "[sensor fast]\nKind=USB\nCom=42\nSerial=4711\nVersion=V\n",
                                     "", &error);
        ASSERT_TRUE(lab_) << error;
        lab_->ApplyEnvironment();
        setenv("KORALINK_PORTMAP_ONLY", "1", 1);
    }
    void TearDown() override {
        for (const char *name : {"KORALINK_LAN_WINDOW_MS", "KORALINK_LAN_QUIET_MS",
                                 "KORALINK_PROBE_TIMEOUT_MS", "KORALINK_PORTMAP_ONLY"})
            unsetenv(name);
        lab_.reset();
    }
    std::unique_ptr<corvinsim::Lab> lab_;
};

TEST_P(CancelledSearch, StopsSoonClosesItsLinesAndSaysWhere) {
    const PhaseCase &c = GetParam();
    std::string env = c.env;
    for (size_t at = 0; at < env.size();) {
        size_t end = env.find(' ', at);
        std::string item = env.substr(at, end == std::string::npos ? std::string::npos : end - at);
        size_t eq = item.find('=');
        setenv(item.substr(0, eq).c_str(), item.substr(eq + 1).c_str(), 1);
        at = end == std::string::npos ? env.size() : end + 1;
    }
    LinkApi api = TrackingApi();
    Outcome cancelled = SearchOnWorker(api, c.cancelAfterMs);
    std::printf("[ cancel  ] %-18s stopped %ld ms after the cancel\n", c.phase, cancelled.stopMs);
    EXPECT_GE(cancelled.stopMs, 0);
    EXPECT_LT(cancelled.stopMs, 1000) << cancelled.log;
    EXPECT_NE(cancelled.log.find(c.stopLine), std::string::npos) << cancelled.log;
    EXPECT_EQ(cancelled.log.substr(cancelled.log.size() - 14), "Finished log.\n") << cancelled.log;
    {
        std::lock_guard<std::mutex> lock(g_linesMutex);
        EXPECT_TRUE(g_openLines.empty()) << g_openLines.size() << " lines left open";
    }

    // The next search runs whole: the fast sensor is found.
    setenv("KORALINK_LAN_WINDOW_MS", "50", 1);
    setenv("KORALINK_PROBE_TIMEOUT_MS", "100", 1);
    Outcome again = SearchOnWorker(api, -1);
    EXPECT_EQ(again.identified, 1) << again.log;
    EXPECT_EQ(again.log.find("cancelled"), std::string::npos) << again.log;
}

INSTANTIATE_TEST_SUITE_P(
    Phases, CancelledSearch,
    ::testing::Values(PhaseCase{"discovery window",
                                "KORALINK_LAN_WINDOW_MS=3000 KORALINK_LAN_QUIET_MS=3000", 150,
                                "Search cancelled while listing the connections.\n"},
                      PhaseCase{"rate cycle",
                                "KORALINK_LAN_WINDOW_MS=50 KORALINK_PROBE_TIMEOUT_MS=3000", 400,
                                "Search cancelled while checking connections with 115200 baud.\n"}),
    [](const ::testing::TestParamInfo<PhaseCase> &phaseCase) {
        std::string name = phaseCase.param.phase;
        name[name.find(' ')] = '_';
        return name;
    });

} // namespace
