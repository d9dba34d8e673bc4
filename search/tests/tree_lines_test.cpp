// What the tree says about a connection, and the small text helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_link.h"
#include "search/search_texts.h"
#include "search/text_format.h"
#include "search/tree_lines.h"
#include "support/textcodec.h"
#include "support/textutil.h"

namespace {

using Lines = std::vector<std::string>;

ConnectionEntry EntryOf(const ConnectionRecord &record) {
    ConnectionEntry e;
    std::memset(&e, 0, sizeof e);
    e.record = record;
    return e;
}

TEST(DescribeConnection, ConverterInClientModeShowsEverySetting) {
    ConnectionRecord r = LanRecord("Conv", 192, 168, 0, 20, 5000, 2);
    r.deviceMode = 0;
    r.ipMode = 1;
    r.remoteIp[0] = 10, r.remoteIp[1] = 0, r.remoteIp[2] = 0, r.remoteIp[3] = 9;
    r.remotePort = 502;
    EXPECT_EQ(DescribeConnection(EntryOf(r)),
              (Lines{"Type: ETH-SER converter", "Device mode: TCP client", "IP mode: DHCP",
                     "Local IP: 192.168.0.20", "Local portno.: 5000", "Subnet Mask: 255.255.255.0",
                     "Gateway address: 192.168.0.1", "Remote host IP: 10.0.0.9",
                     "Remote host portno.: 502", "Serial baudrate: 115200 baud",
                     "Status: No sensor identified"}));
}

TEST(DescribeConnection, ServerModeHasNoRemoteLinesAndOnlyState2ShowsTheRate) {
    ConnectionRecord r = LanRecord("Conv", 127, 0, 0, 2, 5000, 3);
    r.deviceMode = 1;
    r.ipMode = 7; // unknown: label only
    ConnectionEntry e = EntryOf(r);
    e.identified = e.answered = 1;
    CopyText(e.serialText, "00042");
    CopyText(e.sensorType, "KS-1");
    EXPECT_EQ(DescribeConnection(e),
              (Lines{"Type: ETH-SER converter", "Device mode: TCP server",
                     "IP mode: ", "Local IP: 127.0.0.2", "Local portno.: 5000",
                     "Subnet Mask: 255.255.255.0", "Gateway address: 127.0.0.1",
                     "Status: Sensor identified", "Sensor serial: 00042", "Sensor type: KS-1"}));
}

// A language file moves the words, never the values; the scan, which
// applies none, stays English.
TEST(DescribeConnection, LinesAndGroupsFollowTheLanguageFile) {
    LangFile german;
    ASSERT_EQ(german.Parse("[LWCVI Language Resource File]\nVersion = 200\n"
                           "Magic = -1395807027\nCharSet = 0\n"
                           "[SEARCH_PNL_TREE_CONNECTIONS_TEXTS]\nType = \"Typ:\"\n"
                           "SensorBaud = \"Sensor-Baudrate:\"\nIdentified = \"Sensor erkannt\"\n"
                           "Other = \"andere\"\nNone = \"KEINE\"\n"),
              LANG_OK);
    ApplyUiTexts(german, search_texts::kAll);
    ConnectionEntry com = EntryOf(SerialRecord(KORALINK_TYPE_COM, 1, "COM1", "COM port"));
    com.identified = com.answered = 1;
    com.baudRate = 19200;
    CopyText(com.serialText, "00042");
    Lines described = DescribeConnection(com);
    std::vector<TreeLine> tree = BuildTreeLines(nullptr, StandardTreeGroups());
    ResetUiTexts();
    EXPECT_EQ(described, (Lines{"Typ: COM port", "Sensor erkannt", "Sensor serial: 00042",
                                "Sensor type: ", "Sensor-Baudrate: 19200 baud"}));
    ASSERT_EQ(tree.size(), 6u);
    EXPECT_EQ(tree[4].text, "andere");
    EXPECT_EQ(tree[5].text, "KEINE");
    EXPECT_EQ(DescribeConnection(com)[0], "Type: COM port");
}

TEST(DescribeConnection, SerialGroupsAndUnansweredIdentification) {
    ConnectionEntry usb = EntryOf(SerialRecord(KORALINK_TYPE_USB, 5, "USB", "USB-Serial"));
    EXPECT_EQ(DescribeConnection(usb), (Lines{"Type: USB-Serial", "Virtual COM Port No.: 5",
                                              "Status: No sensor identified"}));
    ConnectionEntry com = EntryOf(SerialRecord(KORALINK_TYPE_COM, 1, "COM1", "COM port"));
    com.identified = 1; // identified without an answer is not shown as identified
    EXPECT_EQ(DescribeConnection(com), (Lines{"Type: COM port", "Status: No sensor identified"}));
}

TEST(DescribeConnection, TheRemoteHostNameAndTheRateASerialSensorAnsweredAt) {
    ConnectionRecord lan = LanRecord("Conv", 192, 168, 0, 20, 5000);
    lan.deviceMode = 0;
    std::memcpy(lan.reserved0, "KLN\1", 4);
    std::strcpy(reinterpret_cast<char *>(lan.reserved0 + 12), "plant.example");
    lan.reserved1 = 1;
    EXPECT_EQ(DescribeConnection(EntryOf(lan))[7], "Remote host IP: plant.example");

    struct Case {
        int type, identified, baud;
        const char *last;
    } cases[] = {
        {KORALINK_TYPE_USB, 1, 230400, "Sensor baudrate: 230400 baud"},
        {KORALINK_TYPE_COM, 1, 19200, "Sensor baudrate: 19200 baud"},
        {KORALINK_TYPE_COM, 0, 19200, "Status: No sensor identified"},
    };
    for (const Case &c : cases) {
        ConnectionEntry e = EntryOf(SerialRecord(c.type, 3, "COM3", "COM port"));
        e.identified = e.answered = c.identified;
        e.baudRate = c.baud;
        CopyText(e.sensorType, "KS-1");
        EXPECT_EQ(DescribeConnection(e).back(), c.last) << c.baud;
    }
}

TEST(DescribeConnection, DeviceTextsAreWindows1252OnOneLine) {
    const struct {
        std::string version, name, line, nameLine;
    } cases[] = {
        {"Zur\xfc"
         "ck",
         "COM1", "Sensor type: Zur\u00fcck", "COM1"},
        {"ILD 2.1\r\n", "COM1", "Sensor type: ILD 2.1\\r\\n", "COM1"},
        {"\x80 \x9d", "Caf\u00e9\n(COM1)", "Sensor type: \u20ac \\x9d", "Caf\u00e9\\n(COM1)"},
    };
    for (const auto &c : cases) {
        ListType entries = ListCreate(sizeof(ConnectionEntry));
        ConnectionEntry e = EntryOf(SerialRecord(KORALINK_TYPE_COM, 1, c.name.c_str(), "COM port"));
        e.identified = e.answered = 1;
        CopyDeviceText(e.sensorType, c.version.data(), c.version.size());
        EXPECT_EQ(DescribeConnection(e).back(), c.line);
        ListInsertItem(entries, &e, LIST_END);
        std::vector<TreeLine> lines = BuildTreeLines(entries, DefaultTreeGroups());
        EXPECT_EQ(lines[lines.size() - 5].text, c.nameLine) << "port names are UTF-8 already";
        ListDispose(entries);
    }
}

TEST(DescribeConnection, AddressOutOfRangeShowsThePlaceholder) {
    ConnectionRecord r = LanRecord("Conv", 127, 0, 0, 256, 5000);
    Lines lines = DescribeConnection(EntryOf(r));
    EXPECT_EQ(lines[3], "Local IP: ???.???.???.???");
}

TEST(DescribeConnection, UnterminatedRecordTextsStayInsideTheirField) {
    ConnectionRecord r = SerialRecord(KORALINK_TYPE_COM, 1, "", "");
    std::memset(r.typeText, 'T', sizeof r.typeText); // no terminator
    std::memset(r.name, 'N', sizeof r.name);
    ConnectionEntry e = EntryOf(r);
    EXPECT_EQ(DescribeConnection(e)[0], "Type: " + std::string(32, 'T'));
}

TEST(TreeLines, GroupsInOrderWithNoneAndConnectionsInListOrder) {
    ListType entries = ListCreate(sizeof(ConnectionEntry));
    ConnectionEntry a = EntryOf(SerialRecord(KORALINK_TYPE_COM, 1, "COM1", "COM port"));
    ConnectionEntry b = EntryOf(SerialRecord(KORALINK_TYPE_COM, 2, "COM2", "COM port"));
    ConnectionEntry c = EntryOf(SerialRecord(KORALINK_TYPE_USB, 5, "USB5", "USB-Serial"));
    for (ConnectionEntry *e : {&a, &b, &c})
        ListInsertItem(entries, e, LIST_END);
    std::vector<TreeLine> lines = BuildTreeLines(entries, DefaultTreeGroups());
    std::vector<std::string> outline;
    for (const TreeLine &l : lines)
        if (l.level < 3)
            outline.push_back(std::to_string(l.level) + l.text + "@" +
                              std::to_string(l.entryPosition));
    EXPECT_EQ(outline,
              (Lines{"1LAN@0", "2NONE@0", "1USB@0", "2USB5@3", "1other@0", "2COM1@1", "2COM2@2"}));
    ListDispose(entries);
}

TEST(TreeLines, GroupSwitchesAndLabels) {
    TreeGroups groups = DefaultTreeGroups();
    CopyText(groups.otherLabel, "x");
    groups.showUsb = 0;
    std::vector<TreeLine> lines = BuildTreeLines(nullptr, groups);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2].text, "x");
}

TEST(TextHelpers, FormatIpv4) {
    char text[64] = "Local IP: ";
    int ok[4] = {192, 168, 0, 20};
    EXPECT_GT(FormatIpv4(text, sizeof text, ok, TEXT_APPEND), 0);
    EXPECT_STREQ(text, "Local IP: 192.168.0.20");
    EXPECT_GT(FormatIpv4(text, sizeof text, ok, TEXT_REPLACE), 0);
    EXPECT_STREQ(text, "192.168.0.20");
    EXPECT_EQ(FormatIpv4(text, sizeof text, ok, 3), 0);
    EXPECT_STREQ(text, "192.168.0.20") << "an unknown mode writes nothing";
    for (int bad : {256, -1}) {
        int octets[4] = {1, bad, 3, 4};
        EXPECT_EQ(FormatIpv4(text, sizeof text, octets, TEXT_REPLACE), -1);
        EXPECT_STREQ(text, "???.???.???.???");
    }
    char small[8] = "";
    FormatIpv4(small, sizeof small, ok, TEXT_REPLACE);
    EXPECT_STREQ(small, "192.168") << "cut to the buffer, terminated";
}

TEST(TextHelpers, ParseIpv4CountsTheValuesRead) {
    int o[4] = {0, 0, 0, 0};
    EXPECT_EQ(ParseIpv4("192.168.0.20", o), 4);
    EXPECT_EQ(o[0], 192);
    EXPECT_EQ(o[3], 20);
    EXPECT_EQ(ParseIpv4("10.0.7", o), 3);
    EXPECT_EQ(ParseIpv4("host.example", o), 0);
    EXPECT_EQ(ParseIpv4("", o), 0);
    EXPECT_EQ(ParseIpv4("1.2.3.4.5", o), 4);
    EXPECT_EQ(ParseIpv4("1..3.4", o), 1);
    EXPECT_EQ(ParseIpv4("99999999999.1.1.1", o), 0) << "too large for an int is no value";
    EXPECT_EQ(ParseIpv4("300.-1.2.3", o), 4) << "range is the caller's check";
    EXPECT_EQ(o[1], -1);
    EXPECT_EQ(ParseIpv4(nullptr, o), 0);
}

TEST(TextHelpers, FormatBaud) {
    char text[64] = "Serial baudrate: ";
    EXPECT_GT(FormatBaud(text, sizeof text, 115200, TEXT_APPEND), 0);
    EXPECT_STREQ(text, "Serial baudrate: 115200 baud");
    FormatBaud(text, sizeof text, 9600, TEXT_REPLACE);
    EXPECT_STREQ(text, "9600 baud");
    EXPECT_EQ(FormatBaud(text, sizeof text, 1, 0), 0);
    EXPECT_STREQ(text, "9600 baud");
}

} // namespace
