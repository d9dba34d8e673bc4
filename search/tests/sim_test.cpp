// The search through the real koralink library in simulated labs: sensors on
// pseudo-terminals at different rates and faults, and converter modules on
// loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "search/scan_report.h"
#include "search/search_engine.h"
#include "sim/lab.h"

namespace {

std::string g_log;
class CaptureLog : public SearchLog {
  public:
    void Write(const char *text) override { g_log += text; }
};

class SimulatedSearch : public ::testing::Test {
  protected:
    void SetUp() override {
        g_log.clear();
        entries_ = ListCreate(sizeof(ConnectionEntry));
        ASSERT_NE(entries_, nullptr);
    }
    void TearDown() override {
        ListDispose(entries_);
        lab_.reset();
    }
    // The search through the real library, logged.
    void Search() {
        CaptureLog log;
        SearchRequest request;
        request.log = &log;
        ASSERT_EQ(RunSearch(request, entries_), 0);
    }
    std::string Report() { return ScanReportText(entries_, StandardTreeGroups()); }
    void StartLab(const std::string &text) {
        std::string error;
        lab_ = corvinsim::Lab::Start(text, "", &error);
        ASSERT_TRUE(lab_) << error;
        lab_->ApplyEnvironment();
    }
    // The entry whose record name starts with name.
    const ConnectionEntry *Entry(const std::string &name) {
        for (int k = 1; k <= ListNumItems(entries_); ++k) {
            auto *e = static_cast<const ConnectionEntry *>(ListItemPtr(entries_, k));
            if (std::string(e->record.name).rfind(name, 0) == 0)
                return e;
        }
        ADD_FAILURE() << "no connection named " << name << " in\n" << Report();
        static ConnectionEntry none{};
        return &none;
    }

    std::unique_ptr<corvinsim::Lab> lab_;
    ListType entries_ = nullptr;
};

TEST_F(SimulatedSearch, EmptyLabShowsNoneInEveryGroup) {
    StartLab("[lab]\nLanTargets=127.255.255.255:50011\n");
    Search();
    EXPECT_EQ(Report(),
              "adp-b/ETH, adp-c/ETH\n  NONE\nadp-b/USB, adp-c/USB\n  NONE\nother\n  NONE\n");
    EXPECT_NE(g_log.find(" * found 0 serial connections.\n * found 0 network connections.\n"),
              std::string::npos)
        << g_log;
}

TEST_F(SimulatedSearch, SensorsAreFoundAtTheirRatesWithTheirFaults) {
    StartLab("[lab]\nLanTargets=127.255.255.255:50011\n"
             "[sensor a]\nKind=USB\nCom=34\nName=Adapter A (COM34)\nSerial=4711\n"
             "Version=CT-200 v2\nBaud=19200\n"
             "[sensor b]\nKind=COM\nCom=2\nName=Port B (COM2)\nFault=silent\n"
             "[sensor c]\nKind=COM\nCom=3\nName=Port C (COM3)\nFault=serial-zero\nBaud=115200\n"
             "[sensor d]\nKind=COM\nCom=4\nName=Port D (COM4)\nFault=empty-version\nBaud=9600\n"
             "[sensor e]\nKind=USB\nCom=35\nName=Adapter E (COM35)\nFault=long-version\n"
             "Baud=38400\n");
    Search();

    const ConnectionEntry *a = Entry("Adapter A");
    EXPECT_EQ(a->identified, 1);
    EXPECT_EQ(a->baudRate, 19200);
    EXPECT_STREQ(a->serialText, "04711");
    EXPECT_STREQ(a->sensorType, "CT-200 v2");
    EXPECT_EQ(Entry("Port B")->identified, 0);
    EXPECT_STREQ(Entry("Port C")->serialText, "xxxxx");
    EXPECT_EQ(Entry("Port C")->baudRate, 115200);
    EXPECT_STREQ(Entry("Port D")->sensorType, "?????");
    EXPECT_EQ(Entry("Port D")->identified, 1);
    EXPECT_EQ(std::string(Entry("Adapter E")->sensorType).size(), 71u);
    EXPECT_EQ(Entry("Adapter E")->baudRate, 38400);
    EXPECT_NE(g_log.find("OK: 00000\n"), std::string::npos);

    // Adapter A answered in the second cycle and is left alone afterwards.
    int opened = 0;
    std::istringstream lines(g_log);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("Open connection number", 0) == 0 &&
            line.find("Adapter A (COM34) on COM34.") != std::string::npos)
            ++opened;
    EXPECT_EQ(opened, 2) << "opened at 115200 and 19200 only";
}

TEST_F(SimulatedSearch, DefaultLabFindsItsSensorsAndConverters) {
    std::ifstream file(SEARCH_DEFAULT_LAB);
    ASSERT_TRUE(file) << "default lab missing";
    std::stringstream text;
    text << file.rdbuf();
    StartLab(text.str());
    Search();
    std::string report = Report();
    EXPECT_EQ(Entry("FT232R")->baudRate, 115200) << report;
    EXPECT_EQ(Entry("CP2102")->baudRate, 19200) << report;
    EXPECT_EQ(Entry("Communications Port (COM1)")->baudRate, 9600) << report;
    EXPECT_EQ(Entry("Communications Port (COM2)")->identified, 0) << report;
    int converters = 0;
    for (int k = 1; k <= ListNumItems(entries_); ++k)
        converters += static_cast<const ConnectionEntry *>(ListItemPtr(entries_, k))->isNetwork;
    EXPECT_EQ(converters, 2) << report;
}

// Sensors that start their answer only at the protocol's bound (50 ms after
// the request's last byte, at each of the five rates), behind a USB adapter
// that delivers every answer 30 ms late, and a converter discovered at the
// same time: none may be lost to the first-byte wait, and the log still
// reads as one step after the other.
TEST_F(SimulatedSearch, SensorsAnsweringAtTheBoundBehindUsbLatencyAreFound) {
    const int rates[] = {115200, 57600, 38400, 19200, 9600};
    std::string lab = "[lab]\nLanTargets=127.255.255.255\n"
                      "[converter c]\nKind=Converter\nHost=127.0.0.31\nOP=1\n";
    for (int rate : rates)
        lab += "[sensor s" + std::to_string(rate) +
               "]\nKind=USB\nCom=" + std::to_string(rate / 100 % 250 + 1) + "\nName=Late " +
               std::to_string(rate) + "\nFault=at-bound\nLatency=30\nBaud=" + std::to_string(rate) +
               "\n";
    StartLab(lab);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitized build runs the lab's sensors several times slower, which
    // says nothing about the margin; the plain build checks that.
    setenv("KORALINK_PROBE_TIMEOUT_MS", "400", 1);
#endif
    Search();
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    unsetenv("KORALINK_PROBE_TIMEOUT_MS");
#endif
    for (int rate : rates) {
        const ConnectionEntry *e = Entry("Late " + std::to_string(rate));
        EXPECT_TRUE(e->identified) << rate << "\n" << g_log;
        EXPECT_EQ(e->baudRate, rate) << g_log;
    }
    size_t network = g_log.find("Checking network devices ...");
    size_t firstCycle = g_log.find("Checking connections with 115200 baud.");
    ASSERT_NE(network, std::string::npos) << g_log;
    EXPECT_LT(network, firstCycle) << g_log;
    EXPECT_LT(g_log.find("Searching COM."), network) << g_log;
}

// Serial numbers of any length up to the largest 32-bit one are shown in the
// scan's text and JSON (and the tree, which shows the same field), not as the
// "xxxxx" of a sensor without one.
TEST_F(SimulatedSearch, LongSerialNumbersAreShownWhole) {
    StartLab("[lab]\nLanTargets=127.255.255.255\n"
             "[sensor a]\nKind=USB\nCom=50\nName=Eight (COM50)\nSerial=12345678\n"
             "[sensor b]\nKind=USB\nCom=51\nName=Largest (COM51)\nSerial=2147483647\n");
    Search();
    std::string text = Report();
    std::string json = ScanReportJson(entries_, StandardTreeGroups());
    for (const char *serial : {"12345678", "2147483647"}) {
        EXPECT_NE(text.find(std::string("Sensor serial: ") + serial + "\n"), std::string::npos)
            << text;
        EXPECT_NE(json.find(std::string("\"serial\":\"") + serial + "\""), std::string::npos)
            << json;
    }
}

// An adapter pulled out while its probe waits: the log names the cause, as
// for a port that cannot be opened.
TEST_F(SimulatedSearch, APortThatVanishesWhileItsProbeWaitsIsLoggedWithTheCause) {
    StartLab("[lab]\nLanTargets=127.255.255.255\n"
             "[sensor gone]\nKind=USB\nCom=30\nName=Pulled (COM30)\nFault=vanish\n");
    Search();
    EXPECT_NE(g_log.find("No answer received on connection 1: Pulled (COM30).\n"
                         "Cause: COM30: port went away\n"),
              std::string::npos)
        << g_log;
}

} // namespace
