// The two serial search calls turn the port map into ConnectionRecords.
#include "config.h"
#include "lab_fixture.h"

using koralink::Setting;
using koralink::SettingFlag;
using koralink::Timeouts;
using koralink::TimeoutsForMode;

TEST(SearchCalls, ListUsbAndComPortsOfThePortMap) {
    auto lab = StartLab("[sensor u]\nKind=USB\nCom=34\nName=FT232R USB UART (COM34)\n"
                        "TypeText=USB serial adapter\n"
                        "[sensor c]\nKind=COM\nCom=3\n");
    ASSERT_TRUE(lab);
    ListType list = ListCreate(sizeof(ConnectionRecord));
    ASSERT_GE(KORALINK_search_local_USB(&list), 1);
    ASSERT_GE(KORALINK_search_local_COM(&list), 1);
    ASSERT_EQ(ListNumItems(list), 2) << "each port must be listed once, by its own call";
    ConnectionRecord usb, com;
    ListGetItem(list, &usb, 1);
    ListGetItem(list, &com, 2);
    EXPECT_EQ(usb.type, KORALINK_TYPE_USB);
    EXPECT_EQ(usb.comNumber, 34);
    EXPECT_STREQ(usb.name, "FT232R USB UART (COM34)");
    EXPECT_STREQ(usb.typeText, "USB serial adapter");
    EXPECT_EQ(com.type, KORALINK_TYPE_COM);
    EXPECT_EQ(com.comNumber, 3);
    EXPECT_STREQ(com.name, "Communications Port (COM3)");
    ListDispose(list);

    ListType wrong = ListCreate(16);
    EXPECT_EQ(KORALINK_search_local_USB(&wrong), -2) << "appended 324-byte records to a list "
                                                        "of 16-byte items";
    ListDispose(wrong);
    EXPECT_EQ(KORALINK_search_local_COM(nullptr), -2);
}

TEST(SearchCalls, PortMapThatNeverEndsIsRefusedAtOnce) {
    // KORALINK_PORTMAP=/dev/zero once spun the search at full CPU for good,
    // and /dev/urandom grew its memory without limit.
    auto lab = StartLab("[sensor u]\nKind=USB\nCom=34\n");
    ASSERT_TRUE(lab);
    for (const char *path : {"/dev/zero", "/dev/urandom"}) {
        setenv("KORALINK_PORTMAP", path, 1);
        testing::internal::CaptureStderr();
        ListType list = ListCreate(sizeof(ConnectionRecord));
        EXPECT_EQ(KORALINK_search_local_USB(&list), 0) << path;
        EXPECT_EQ(KORALINK_search_local_COM(&list), 0) << path;
        ListDispose(list);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("koralink: KORALINK_PORTMAP=") + path + " cannot be used (" + path +
                      ": not a regular file); using no port map\n");
        EXPECT_NE(std::string(KORALINK_get_config_warnings()).find(path), std::string::npos);
    }
}

TEST(SearchCalls, UnusableTimeoutsAreNamedOnceAndTheDefaultUsed) {
    const struct {
        const char *name, *value, *warning;
        int Timeouts::*field;
        int mode, expected;
    } cases[] = {
        {"KORALINK_PROBE_TIMEOUT_MS", "fast", "is not a number of milliseconds; using 100",
         &Timeouts::answerMs, 2, 100},
        {"KORALINK_ANSWER_TIMEOUT_MS", "0", "is outside 1..600000 ms; using 1000",
         &Timeouts::answerMs, 1, 1000},
        {"KORALINK_INTERBYTE_TIMEOUT_MS", "20ms", "is not a number of milliseconds; using 20",
         &Timeouts::interByteMs, 2, 20},
        {"KORALINK_TCP_CONNECT_TIMEOUT_MS", "-1", "is outside 1..600000 ms; using 500",
         &Timeouts::connectMs, 4, 500},
        {"KORALINK_TCP_OPEN_TIMEOUT_MS", "3e3", "is not a number of milliseconds; using 3000",
         &Timeouts::connectMs, 3, 3000},
        {"KORALINK_BAUD_SWITCH_PAUSE_MS", "99999", "is outside 0..60000 ms; using 10",
         &Timeouts::baudSwitchPauseMs, 1, 10},
    };
    for (const auto &c : cases) {
        setenv(c.name, c.value, 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(TimeoutsForMode(c.mode).*c.field, c.expected) << c.name;
        EXPECT_EQ(TimeoutsForMode(c.mode).*c.field, c.expected) << c.name;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  std::string("koralink: ") + c.name + "=" + c.value + " " + c.warning + "\n");
        unsetenv(c.name);
    }
    setenv("KORALINK_PORTMAP_ONLY", "yes", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SettingFlag(Setting::PortMapOnly));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "koralink: KORALINK_PORTMAP_ONLY=yes is neither 0 nor 1; using 0\n");
    setenv("KORALINK_PORTMAP_ONLY", "1", 1);
}
