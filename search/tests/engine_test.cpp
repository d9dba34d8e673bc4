// The search engine against the scripted koralink double: probing order,
// blacklisting, what ends up in the entries, and the debug log word for word.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_link.h"
#include "search/scan_report.h"
#include "search/search_engine.h"
#include "search/tree_lines.h"
#include "support/textutil.h"

namespace {

std::string g_log;
class CaptureLog : public SearchLog {
  public:
    void Write(const char *text) override { g_log += text; }
    void Clear() override { g_log.clear(); }
};

int Count(const std::string &haystack, const std::string &needle) {
    int n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1))
        ++n;
    return n;
}

std::vector<std::string> CallsStartingWith(const std::string &prefix) {
    std::vector<std::string> out;
    for (const std::string &call : Lab().calls)
        if (call.rfind(prefix, 0) == 0)
            out.push_back(call);
    return out;
}

class SearchEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallFakeLink();
        g_log.clear();
        entries_ = ListCreate(sizeof(ConnectionEntry));
        ASSERT_NE(entries_, nullptr);
    }
    void TearDown() override { ListDispose(entries_); }

    void Search(std::vector<int> extraCycleCodes = {}) {
        CaptureLog log;
        SearchRequest request;
        request.extraCycleCodes = std::move(extraCycleCodes);
        request.api = &FakeLinkApi();
        request.probe = probe_;
        request.log = logOn_ ? &log : nullptr;
        request.cancel = &cancel_;
        ASSERT_EQ(RunSearch(request, entries_), 0);
    }
    std::string Report() { return ScanReportText(entries_, StandardTreeGroups()); }

    ConnectionEntry Entry(int position) {
        ConnectionEntry entry{};
        EXPECT_EQ(ListGetItem(entries_, &entry, position), 0)
            << "no entry at position " << position;
        return entry;
    }
    void AddPort(int type, int com, const char *name, FakePort port) {
        (type == KORALINK_TYPE_USB ? Lab().usb : Lab().com)
            .push_back(SerialRecord(type, com, name,
                                    type == KORALINK_TYPE_USB ? "USB-Serial" : "COM port"));
        port.com = com;
        Lab().ports.push_back(port);
    }

    ListType entries_ = nullptr;
    bool probe_ = true;
    bool logOn_ = true;
    std::atomic<bool> cancel_{false};
};

TEST_F(SearchEngine, EmptyLabProbesNothingAndShowsNoneInEveryGroup) {
    Search();
    EXPECT_NE(g_log.find(" * found 0 serial connections.\n * found 0 network connections.\n"),
              std::string::npos)
        << "an empty search must still report both counts:\n"
        << g_log;
    EXPECT_TRUE(CallsStartingWith("init_tcp").empty());
    EXPECT_EQ(CallsStartingWith("init_rs232 COM").size(), 0u);
    EXPECT_EQ(CallsStartingWith("init_rs232 release").size(), 1u)
        << "the serial resources must be released at the end of every run";
    EXPECT_EQ(Report(),
              "adp-b/ETH, adp-c/ETH\n  NONE\nadp-b/USB, adp-c/USB\n  NONE\nother\n  NONE\n");
}

TEST_F(SearchEngine, SerialPortsOnlyRunFiveCyclesInTheFixedOrder) {
    AddPort(KORALINK_TYPE_USB, 5, "USB Serial (COM5)", {});
    AddPort(KORALINK_TYPE_COM, 1, "COM1", {});
    Search();

    EXPECT_EQ(g_log.find("Checking network devices"), std::string::npos)
        << "no converter was listed, so there must be no network phase";
    EXPECT_TRUE(CallsStartingWith("init_tcp").empty());
    std::vector<std::string> expected;
    for (int code : {4, 1, 3, 2, 0})
        for (int com : {5, 1})
            expected.push_back("init_rs232 COM" + std::to_string(com) + " code " +
                               std::to_string(code));
    EXPECT_EQ(CallsStartingWith("init_rs232 COM"), expected)
        << "silent ports are tried at 115200, 19200, 57600, 38400, 9600, in list order";
    size_t at = 0;
    for (int baud : {115200, 19200, 57600, 38400, 9600}) {
        std::string line = "\nChecking connections with " + std::to_string(baud) + " baud.\n\n";
        at = g_log.find(line, at);
        ASSERT_NE(at, std::string::npos) << "cycle " << baud << " missing or out of order";
    }
    EXPECT_EQ(Lab().openLines, 0) << "every probed line must be closed again";
    EXPECT_EQ(Entry(1).identified, 0);
    EXPECT_EQ(Entry(2).identified, 0);
}

TEST_F(SearchEngine, SensorFoundAt19200IsSkippedInLaterCycles) {
    FakePort port;
    port.answersAtCode = {KORALINK_BAUD_19200};
    port.serial = 4711;
    port.version = "KS-200 V2.1";
    AddPort(KORALINK_TYPE_COM, 3, "COM3", port);
    Search();

    ConnectionEntry e = Entry(1);
    EXPECT_EQ(e.identified, 1);
    EXPECT_EQ(e.answered, 1);
    EXPECT_EQ(e.baudRate, 19200);
    EXPECT_STREQ(e.serialText, "04711");
    EXPECT_STREQ(e.sensorType, "KS-200 V2.1");
    EXPECT_EQ(CallsStartingWith("init_rs232 COM").size(), 2u)
        << "after the answer at 19200 the port must not be opened again";
    EXPECT_EQ(Count(g_log, "Connection 1 is already identified: COM port (COM3).\n"), 3)
        << "cycles 57600, 38400 and 9600 skip it as identified";
    EXPECT_EQ(Lab().openLines, 0);
}

// The rates above the five: probed after them, on the ports still
// unidentified, each once and only when asked for.
TEST_F(SearchEngine, ExtraRatesFollowTheFiveOnPortsStillUnidentified) {
    FakePort fast, usual;
    fast.answersAtCode = {KORALINK_BAUD_460800};
    usual.answersAtCode = {KORALINK_BAUD_115200};
    AddPort(KORALINK_TYPE_COM, 1, "COM1", fast);
    AddPort(KORALINK_TYPE_COM, 2, "COM2", usual);
    struct Case {
        std::vector<int> extra;
        std::vector<int> com1Codes; // every code COM1 is opened at
        int com1Baud;
    } cases[] = {
        {{}, {4, 1, 3, 2, 0}, 0},
        {{5, 6, 7}, {4, 1, 3, 2, 0, 5, 6}, 460800},
        {{6, 4, 6, 9}, {4, 1, 3, 2, 0, 6}, 460800}, // a usual code, a repeat, no rate
    };
    for (const Case &c : cases) {
        Lab().calls.clear();
        Search(c.extra);
        std::vector<std::string> expected;
        for (int code : c.com1Codes)
            expected.push_back("init_rs232 COM1 code " + std::to_string(code));
        EXPECT_EQ(CallsStartingWith("init_rs232 COM1"), expected);
        EXPECT_EQ(CallsStartingWith("init_rs232 COM2").size(), 1u) << "found at once";
        EXPECT_EQ(Entry(1).baudRate, c.com1Baud);
        EXPECT_EQ(Lab().openLines, 0);
    }
}

TEST_F(SearchEngine, PortThatFailsToOpenIsNotRetried) {
    FakePort port;
    port.openFails = true;
    AddPort(KORALINK_TYPE_COM, 7, "COM7", port);
    Search();
    EXPECT_EQ(CallsStartingWith("init_rs232 COM7").size(), 1u);
    EXPECT_EQ(Count(g_log, "Opening connection 1: COM7 on COM7 failed.\n"), 1);
    EXPECT_EQ(Count(g_log, "Connection 1 was blacklisted because OPEN failed.\n"), 4);
}

TEST_F(SearchEngine, IdentificationTextsFollowTheAnswers) {
    FakePort zero; // serial number 0 and an empty version
    zero.answersAtCode = {KORALINK_BAUD_115200};
    AddPort(KORALINK_TYPE_COM, 1, "COM1", zero);
    FakePort longVersion;
    longVersion.answersAtCode = {KORALINK_BAUD_115200};
    longVersion.serial = 42;
    longVersion.version = std::string(100, 'v');
    AddPort(KORALINK_TYPE_COM, 2, "COM2", longVersion);
    FakePort huge; // the largest serial number a sensor can send
    huge.answersAtCode = {KORALINK_BAUD_115200};
    huge.serial = 2147483647;
    huge.version = "X";
    AddPort(KORALINK_TYPE_COM, 4, "COM4", huge);
    FakePort straddling; // the 71st byte starts a two-byte sequence
    straddling.answersAtCode = {KORALINK_BAUD_115200};
    straddling.serial = 7;
    straddling.version = std::string(70, 'v') + "\xc3\xa9";
    AddPort(KORALINK_TYPE_COM, 5, "COM5", straddling);
    Search();

    ConnectionEntry e = Entry(1);
    EXPECT_STREQ(e.serialText, "xxxxx") << "serial number 0 means unknown";
    EXPECT_STREQ(e.sensorType, "?????") << "an empty version answer";
    EXPECT_EQ(e.identified, 1) << "an empty version answer still identifies the sensor";
    EXPECT_NE(g_log.find("Get serial number from connection 1: COM1 ... OK: 00000\n"),
              std::string::npos);
    EXPECT_NE(g_log.find("Get version info from connection 1: COM1 ... OK\n"), std::string::npos);

    e = Entry(2);
    EXPECT_STREQ(e.serialText, "00042");
    EXPECT_EQ(std::string(e.sensorType), std::string(71, 'v')) << "version cut to 71 characters";

    e = Entry(3);
    EXPECT_STREQ(e.serialText, "2147483647") << "a long serial number shown as unknown or cut";

    e = Entry(4);
    EXPECT_EQ(std::string(e.sensorType), std::string(70, 'v') + "\xc3")
        << "a version text is 8-bit: cut after 71 bytes, not at a UTF-8 boundary";
}

TEST_F(SearchEngine, FailedReadsLeaveTheEntryUnidentifiedAndProbedAgain) {
    FakePort port;
    port.answersAtCode = {KORALINK_BAUD_115200, KORALINK_BAUD_19200};
    port.headerFails = true;
    port.versionFails = true;
    AddPort(KORALINK_TYPE_COM, 2, "COM2", port);
    Search();

    ConnectionEntry e = Entry(1);
    EXPECT_EQ(e.identified, 0);
    EXPECT_EQ(e.answered, 1);
    EXPECT_STREQ(e.serialText, "") << "a failed serial-number read leaves the text unchanged";
    EXPECT_EQ(e.baudRate, 19200) << "the rate is kept even when the version read failed";
    EXPECT_EQ(Count(g_log, "ERROR\n"), 4);
    EXPECT_EQ(CallsStartingWith("init_rs232 COM2").size(), 5u)
        << "answered but not identified: the next cycle tries again";
    EXPECT_NE(Report().find("Status: No sensor identified"), std::string::npos);
}

TEST_F(SearchEngine, ExchangeThatCouldNotStartStillClosesItsLine) {
    FakePort port;
    port.exchangeLeavesNoHandle = true;
    AddPort(KORALINK_TYPE_COM, 9, "COM9", port);
    Search();
    EXPECT_EQ(Count(g_log, "Skip waiting for answer on connection 1: COM9.\n"), 5);
    EXPECT_EQ(Lab().openLines, 0) << "an opened port without an exchange was left open";
}

TEST_F(SearchEngine, ConverterIsProbedOverTcpThenReopenedForTheVersion) {
    Lab().lan.push_back(LanRecord("Converter A", 127, 0, 0, 2, 5000));
    FakeConverter conv;
    conv.ip = "127.0.0.2";
    conv.port = 5000;
    conv.answers = true;
    conv.serial = 815;
    conv.version = "KS-100 V1.0";
    Lab().converters.push_back(conv);
    AddPort(KORALINK_TYPE_COM, 1, "COM1", {});
    Search();

    std::vector<std::string> tcp = CallsStartingWith("init_tcp");
    ASSERT_EQ(tcp.size(), 2u);
    EXPECT_EQ(tcp[0], "init_tcp 5000 mode 4 127.0.0.2") << "probing opens in mode 4";
    EXPECT_EQ(tcp[1], "init_tcp 5000 mode 3 127.0.0.2") << "the version is read in mode 3";
    ConnectionEntry e = Entry(1);
    EXPECT_EQ(e.identified, 1);
    EXPECT_EQ(e.isNetwork, 1);
    EXPECT_STREQ(e.serialText, "00815");
    EXPECT_STREQ(e.sensorType, "KS-100 V1.0");
    EXPECT_EQ(e.baudRate, 0) << "converters carry no probing rate";
    EXPECT_EQ(
        Count(g_log, "Connection 1 is already identified: ETH-SER converter (Converter A).\n"), 5);
    EXPECT_EQ(Lab().openLines, 0);
}

TEST_F(SearchEngine, ConverterThatFailsToOpenIsBlacklisted) {
    Lab().lan.push_back(LanRecord("Converter B", 127, 0, 0, 3, 5001));
    FakeConverter conv;
    conv.ip = "127.0.0.3";
    conv.port = 5001;
    conv.openFails = true;
    Lab().converters.push_back(conv);
    Search();
    EXPECT_NE(g_log.find("Opening connection 1: 127.0.0.3 on port 5001 failed.\n"),
              std::string::npos);
    EXPECT_NE(g_log.find("Skip waiting for answer on connection 1: Converter B.\n"),
              std::string::npos);
    EXPECT_EQ(g_log.find("baud"), std::string::npos) << "no serial phase without serial ports";
}

TEST_F(SearchEngine, SkipBaudSearchProbesNothingButKeepsConverterResults) {
    ConnectionRecord known = LanRecord("Converter C", 127, 0, 0, 4, 5002, 3);
    CopyText(known.sensorText, "KS-300 V3.3");
    known.sensorSerial = 42;
    Lab().lan.push_back(known);
    Lab().lan.push_back(LanRecord("Converter D", 127, 0, 0, 5, 5003));
    AddPort(KORALINK_TYPE_COM, 1, "COM1", {});
    probe_ = false;
    Search();

    EXPECT_TRUE(CallsStartingWith("init_tcp").empty());
    EXPECT_TRUE(CallsStartingWith("init_rs232 COM").empty());
    EXPECT_EQ(CallsStartingWith("init_rs232 release").size(), 1u);
    EXPECT_EQ(g_log.find(" * found"), std::string::npos);
    std::string text = Report();
    EXPECT_NE(text.find("  Converter C\n"), std::string::npos);
    EXPECT_NE(text.find("    Sensor serial: 00042\n    Sensor type: KS-300 V3.3\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(Count(text, "Status: No sensor identified"), 2) << text;
}

TEST_F(SearchEngine, ACancelledSearchOpensNothingAndStillEndsItsLog) {
    Lab().lan.push_back(LanRecord("Converter D", 127, 0, 0, 5, 5003));
    AddPort(KORALINK_TYPE_COM, 1, "COM1", {});
    cancel_ = true;
    Search();
    EXPECT_TRUE(CallsStartingWith("init_tcp").empty());
    EXPECT_TRUE(CallsStartingWith("init_rs232 COM").empty());
    EXPECT_EQ(Lab().openLines, 0);
    EXPECT_EQ(Count(Report(), "Status: No sensor identified"), 2) << Report();
    EXPECT_NE(g_log.find("Finished log.\n"), std::string::npos) << g_log;
}

TEST_F(SearchEngine, SearchCallErrorsAreOnlyLogged) {
    struct Case {
        int lan, usb, com;
        const char *lines;
        const char *cause = ""; // the library's own words, logged after a failed LAN search
    } cases[] = {
        {-4, 0, 0, "Error on UDP broadcast transmission.\nSearching USB.\nSearching COM.\n"},
        {-3, 0, 0, "Could not open UDP port.\n"},
        {-2, 0, 0, "List handling error.\n"},
        {-9, -1, -1, "LAN access error.\nUSB access error.\nCOM access error.\n"},
        {-4, 0, 0, "Error on UDP broadcast transmission.\nCause: 127.0.0.9: sendto: refused\n",
         "127.0.0.9: sendto: refused"},
        {0, 0, 0, "Searching LAN.\nNote: 300 replies, 256 modules kept\nSearching USB.\n",
         "300 replies, 256 modules kept"},
    };
    for (const Case &c : cases) {
        InstallFakeLink();
        Lab().lanError = c.cause;
        Lab().lanResult = c.lan;
        Lab().usbResult = c.usb;
        Lab().comResult = c.com;
        // Records appended before a failure are still used.
        AddPort(KORALINK_TYPE_COM, 1, "COM1", {});
        g_log.clear();
        Search();
        EXPECT_NE(g_log.find(c.lines), std::string::npos)
            << "results " << c.lan << "/" << c.usb << "/" << c.com << ":\n"
            << g_log;
        EXPECT_EQ(CallsStartingWith("init_rs232 COM1").size(), 5u);
    }
}

TEST_F(SearchEngine, SettingsTheLibrarySetAsideOpenTheLog) {
    Lab().configWarnings = "koralink: KORALINK_LAN_WINDOW_MS=abc is not a number of "
                           "milliseconds; using 300";
    Search();
    EXPECT_EQ(g_log.rfind("Starting log.\n" + Lab().configWarnings + "\nSearching LAN.\n", 0), 0u)
        << g_log;
}

TEST_F(SearchEngine, UnknownRecordTypesAreCarriedButNeitherProbedNorShown) {
    Lab().com.push_back(SerialRecord(7, 8, "Odd", "odd"));
    AddPort(KORALINK_TYPE_COM, 1, "COM1", {});
    Search();
    ASSERT_EQ(ListNumItems(entries_), 2);
    ConnectionEntry odd = Entry(1);
    EXPECT_EQ(odd.isNetwork + odd.isSerial + odd.serialProbe + odd.identified, 0);
    EXPECT_EQ(Count(g_log, "Connection 1 is not applicable: odd (Odd).\n"), 5);
    EXPECT_EQ(Report().find("Odd"), std::string::npos);
    EXPECT_NE(g_log.find(" * found 1 serial connections.\n"), std::string::npos);
}

TEST_F(SearchEngine, NothingIsLoggedWhileTheDebugLogIsOff) {
    logOn_ = false;
    AddPort(KORALINK_TYPE_COM, 1, "COM1", {});
    Search();
    EXPECT_EQ(g_log, "");
    EXPECT_EQ(CallsStartingWith("init_rs232 COM1").size(), 5u);
}

// A fixed lab whose whole log is checked in: a converter that answers, one
// identified by itself, one that fails to open, a USB sensor at 19200, a
// silent port, a port that fails to open and a sensor at 115200.
TEST_F(SearchEngine, FullLogOfAFixedLabMatchesTheCheckedInText) {
    Lab().lan.push_back(LanRecord("ETH-1", 127, 0, 0, 10, 5000));
    ConnectionRecord self = LanRecord("ETH-2", 127, 0, 0, 11, 5000, 3);
    CopyText(self.sensorText, "KS-400 V1.2");
    self.sensorSerial = 1201;
    Lab().lan.push_back(self);
    Lab().lan.push_back(LanRecord("ETH-3", 127, 0, 0, 12, 5000));
    FakeConverter eth1;
    eth1.ip = "127.0.0.10";
    eth1.port = 5000;
    eth1.answers = true;
    eth1.serial = 310;
    eth1.version = "KS-100 V1.0";
    FakeConverter eth3;
    eth3.ip = "127.0.0.12";
    eth3.port = 5000;
    eth3.openFails = true;
    Lab().converters = {eth1, eth3};

    FakePort usb;
    usb.answersAtCode = {KORALINK_BAUD_19200};
    usb.serial = 77;
    usb.version = "KS-200 V2.0";
    AddPort(KORALINK_TYPE_USB, 5, "USB Serial (COM5)", usb);
    AddPort(KORALINK_TYPE_COM, 1, "COM1", {});
    FakePort broken;
    broken.openFails = true;
    AddPort(KORALINK_TYPE_COM, 2, "COM2", broken);
    FakePort fast;
    fast.answersAtCode = {KORALINK_BAUD_115200};
    fast.serial = 0;
    fast.version = "";
    AddPort(KORALINK_TYPE_COM, 4, "COM4", fast);

    Search();

    std::ifstream file(SEARCH_EXPECTED_DIR "/fixed_lab.log", std::ios::binary);
    ASSERT_TRUE(file) << "expected log missing";
    std::stringstream expected;
    expected << file.rdbuf();
    std::istringstream want(expected.str()), got(g_log);
    std::string wantLine, gotLine;
    int number = 0;
    while (true) {
        bool moreWant = static_cast<bool>(std::getline(want, wantLine));
        bool moreGot = static_cast<bool>(std::getline(got, gotLine));
        ++number;
        if (!moreWant && !moreGot)
            break;
        ASSERT_EQ(moreWant, moreGot) << "log length differs at line " << number;
        ASSERT_EQ(gotLine, wantLine) << "log differs at line " << number;
    }
    EXPECT_EQ(g_log, expected.str()) << "line ends or the final line differ";
    EXPECT_EQ(Lab().openLines, 0);
}

} // namespace
