// The history's rules without any panel: ten kept, the chosen entry first,
// ring values that stay positions, entries renumbered in the file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "panels/connection_history.h"

namespace {

ConnectionSettings Serial(int com, int baudCode = 4) {
    ConnectionSettings s;
    std::memset(&s, 0, sizeof s);
    s.mode = TRANSFER_USB_COM;
    std::strcpy(s.label, "usb");
    s.comNumber = static_cast<uint16_t>(com);
    s.baudCode = static_cast<uint16_t>(baudCode);
    return s;
}

ConnectionSettings NoLine() {
    ConnectionSettings s;
    std::memset(&s, 0, sizeof s);
    return s;
}

std::vector<int> ComNumbers(const ConnectionHistory &h) {
    std::vector<int> out;
    for (int n = 1; n <= h.Count(); ++n)
        out.push_back(h.At(n).comNumber);
    return out;
}

TEST(ConnectionHistory, RememberAndMoveToTop) {
    struct Case {
        const char *what;
        int remembered; // COM1..COMn accepted in this order
        int moved;      // then MoveToTop(moved)
        bool moveResult;
        std::vector<int> order; // COM numbers, newest first
    } cases[] = {
        {"newest first", 3, 0, false, {3, 2, 1}},
        {"the eleventh pushes the oldest out", 11, 0, false, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2}},
        {"the third becomes the first", 4, 3, true, {2, 4, 3, 1}},
        {"the first stays where it is", 2, 1, true, {2, 1}},
        {"a position past the end changes nothing", 2, 3, false, {2, 1}},
        {"position 0 changes nothing", 2, 0, false, {2, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ConnectionHistory h;
        for (int com = 1; com <= c.remembered; ++com)
            h.Remember(Serial(com));
        EXPECT_EQ(h.MoveToTop(c.moved), c.moveResult);
        EXPECT_EQ(ComNumbers(h), c.order);
    }
}

TEST(ConnectionHistory, TheSameConnectionTwiceIsListedTwiceAndClearEmpties) {
    ConnectionHistory h;
    h.Remember(Serial(3));
    h.Remember(Serial(3));
    EXPECT_EQ(ComNumbers(h), (std::vector<int>{3, 3}));
    h.Clear();
    EXPECT_EQ(h.Count(), 0);
    EXPECT_EQ(h.At(1).comNumber, 0) << "no entry reads as zeros";
}

TEST(ConnectionHistory, RingValuesArePositionsEvenAcrossEntriesWithoutALine) {
    ConnectionHistory h;
    h.Remember(Serial(5, 1));
    h.Remember(NoLine());
    h.Remember(Serial(3, 4));
    std::vector<ConnectionHistory::RingItem> items = h.RingItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, "COM3:115200baud [usb]");
    EXPECT_EQ(items[0].value, 1);
    EXPECT_EQ(items[1].text, "COM5:19200baud [usb]");
    EXPECT_EQ(items[1].value, 3);
}

TEST(ConnectionHistory, SavedEntriesAreRenumberedUnderTheFileKeys) {
    IniStore in = CreateIniStore(0);
    std::string file =
        "[Connect History]\nNumber of entries = 3\n"
        "Entry #1: Type = 1\nEntry #1: ID = \"usb\"\nEntry #1: Port number = 3\n"
        "Entry #1: Baudrate = 4\n"
        "Entry #3: Type = 2\nEntry #3: ID = \"eth\"\n"
        "Entry #3: Remote server = \"10.0.0.5\"\nEntry #3: Remote port number = 5000\n";
    ReadIniMemory(in, file.data(), file.size());
    ConnectionHistory h;
    EXPECT_EQ(h.Load(in), 0);
    ASSERT_EQ(h.Count(), 2);
    IniStore out = CreateIniStore(0);
    h.Save(out);
    const char *kSection = "Connect History";
    int32_t value = 0;
    char text[64] = "";
    EXPECT_EQ(GetInteger(out, kSection, "Number of entries", &value), 1);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(GetText(out, kSection, "Entry #2: Remote server", text, sizeof text), 1);
    EXPECT_STREQ(text, "10.0.0.5");
    EXPECT_EQ(GetInteger(out, kSection, "Entry #2: Remote port number", &value), 1);
    EXPECT_EQ(value, 5000);
    EXPECT_EQ(HasKey(out, kSection, "Entry #2: Port number"), 0) << "a TCP entry has no port key";
    EXPECT_EQ(HasKey(out, kSection, "Entry #3: Type"), 0);
    DisposeIniStore(in);
    DisposeIniStore(out);
}

} // namespace
