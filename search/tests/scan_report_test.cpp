// The scan command's two output forms.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_link.h"
#include "search/scan_report.h"
#include "support/textutil.h"

namespace {

TEST(ScanReport, TextIndentsGroupsConnectionsAndLines) {
    ListType entries = ListCreate(sizeof(ConnectionEntry));
    TreeGroups groups = StandardTreeGroups();
    ConnectionEntry e;
    std::memset(&e, 0, sizeof e);
    e.record = SerialRecord(KORALINK_TYPE_COM, 3, "COM3", "COM port");
    e.identified = e.answered = 1;
    e.baudRate = 19200;
    CopyText(e.serialText, "00042");
    CopyText(e.sensorType, "KS \"quoted\"\x01\xff caf\xc3\xa9");
    ListInsertItem(entries, &e, LIST_END);

    EXPECT_EQ(ScanReportText(entries, groups),
              "adp-b/ETH, adp-c/ETH\n  NONE\nadp-b/USB, adp-c/USB\n  NONE\nother\n  COM3\n"
              "    Type: COM port\n    Status: Sensor identified\n    Sensor serial: 00042\n"
              "    Sensor type: KS \"quoted\"\\x01\u00ff caf\u00c3\u00a9\n"
              "    Sensor baudrate: 19200 baud\n")
        << "a version answer is Windows-1252, its controls shown escaped";

    std::string json = ScanReportJson(entries, groups);
    EXPECT_EQ(
        json.rfind("{\"groups\":[{\"label\":\"adp-b/ETH, adp-c/ETH\",\"connections\":[]},", 0), 0u)
        << json;
    EXPECT_NE(json.find("{\"name\":\"COM3\",\"type\":3,\"typeText\":\"COM port\",\"comNumber\":3,"
                        "\"identified\":true,\"serial\":\"00042\","
                        "\"sensorType\":\"KS \\\"quoted\\\"\\u0001\u00ff caf\u00c3\u00a9\","
                        "\"baudRate\":19200,\"lines\":["),
              std::string::npos)
        << "device texts are Windows-1252, decoded and escaped:\n"
        << json;
    EXPECT_EQ(json.substr(json.size() - 5), "]}]}\n");
    ListDispose(entries);
}

TEST(ScanReport, JsonOfAnEmptyTreeHasThreeEmptyGroups) {
    EXPECT_EQ(ScanReportJson(nullptr, DefaultTreeGroups()),
              "{\"groups\":[{\"label\":\"LAN\",\"connections\":[]},{\"label\":\"USB\","
              "\"connections\":[]},{\"label\":\"other\",\"connections\":[]}]}\n");
}

TEST(ScanReport, JsonStringEscapesEveryControlAndStrayByte) {
    EXPECT_EQ(JsonString("a\\b\n\t"), "\"a\\\\b\\u000a\\u0009\"");
    EXPECT_EQ(JsonString("\xc3"), "\"\\u00c3\"") << "a cut sequence";
    EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\u00ed\\u00a0\\u0080\"") << "a surrogate";
    EXPECT_EQ(JsonString("\xe2\x82\xac"), "\"\xe2\x82\xac\"");
}

} // namespace
