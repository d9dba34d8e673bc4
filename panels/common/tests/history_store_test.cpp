// The history in the settings file: what is read back from hand-edited and
// damaged sections, and what is written.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "panels/connection_settings.h"

namespace {

struct Store {
    IniStore store = CreateIniStore(0);
    explicit Store(const std::string &text = "") { ReadIniMemory(store, text.data(), text.size()); }
    ~Store() { DisposeIniStore(store); }
};

struct History {
    ListType list = ListCreate(sizeof(ConnectionSettings));
    ~History() { ListDispose(list); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (int n = 1; n <= ListNumItems(list); ++n)
            out.push_back(
                HistoryItemText(*static_cast<const ConnectionSettings *>(ListItemPtr(list, n))));
        return out;
    }
};

std::string Section(int count, const std::string &entries) {
    return "[Connect History]\nNumber of entries = " + std::to_string(count) + "\n" + entries;
}

std::string Serial(int n, int com, int baud, const char *id = "usb") {
    std::string e = "Entry #" + std::to_string(n);
    return e + ": Type = 1\n" + e + ": ID = \"" + id + "\"\n" + e +
           ": Port number = " + std::to_string(com) + "\n" + e +
           ": Baudrate = " + std::to_string(baud) + "\n";
}

std::string Tcp(int n, const char *server, int port) {
    std::string e = "Entry #" + std::to_string(n);
    return e + ": Type = 2\n" + e + ": ID = \"eth\"\n" + e + ": Remote server = \"" + server +
           "\"\n" + e + ": Remote port number = " + std::to_string(port) + "\n";
}

TEST(HistoryStore, ReadsWhatAHandEditedFileHolds) {
    struct Case {
        const char *what;
        std::string file;
        int result;
        std::vector<std::string> texts;
    } cases[] = {
        {"no section", "", -1, {}},
        {"no count", "[Connect History]\n" + Serial(1, 3, 4), -1, {}},
        {"a gap is skipped",
         Section(3, Serial(1, 3, 4) + Serial(3, 5, 1)),
         0,
         {"COM3:115200baud [usb]", "COM5:19200baud [usb]"}},
        {"more than ten load",
         Section(12,
                 [] {
                     std::string all;
                     for (int n = 1; n <= 12; ++n)
                         all += Serial(n, n, 0);
                     return all;
                 }()),
         0, std::vector<std::string>(12, "")},
        {"a missing field stops",
         Section(3, Serial(1, 3, 4) + "Entry #2: Type = 1\n" + Serial(3, 5, 1)),
         -1,
         {"COM3:115200baud [usb]"}},
        {"16-bit fields refuse, not wrap",
         Section(4, Serial(1, 70000, 4) + Tcp(2, "10.0.0.1", -1) + Serial(3, 7, 65536) +
                        Tcp(4, "10.0.0.2", 502)),
         0,
         {"10.0.0.2:502 [eth]"}},
        {"an unknown rate code", Section(1, Serial(1, 3, 9)), 0, {"COM3:?baud [usb]"}},
        {"a count no file could hold",
         Section(2000000000, Serial(1, 3, 4)),
         0,
         {"COM3:115200baud [usb]"}},
        {"other modes carry no line",
         Section(1, "Entry #1: Type = 0\nEntry #1: ID = \"\"\n"),
         0,
         {""}},
    };
    for (const Case &c : cases) {
        Store store(c.file);
        History history;
        EXPECT_EQ(ReadConnectionHistory(store.store, history.list), c.result) << c.what;
        std::vector<std::string> texts = history.Texts();
        if (c.texts.size() == 12)
            EXPECT_EQ(texts.size(), 12u) << c.what;
        else
            EXPECT_EQ(texts, c.texts) << c.what;
    }
}

TEST(HistoryStore, LongTextsAreCutToTheirFields) {
    std::string id(600, 'i'), server(300, 's');
    Store store(Section(1, "Entry #1: Type = 2\nEntry #1: ID = \"" + id +
                               "\"\nEntry #1: Remote server = \"" + server +
                               "\"\nEntry #1: Remote port number = 1\n"));
    History history;
    ASSERT_EQ(ReadConnectionHistory(store.store, history.list), 0);
    auto *s = static_cast<const ConnectionSettings *>(ListItemPtr(history.list, 1));
    EXPECT_EQ(std::strlen(s->label), 127u);
    EXPECT_EQ(std::strlen(s->server), 127u);
}

TEST(HistoryStore, WritesEachModesKeysRenumberedFromOne) {
    Store store(Section(5, Serial(2, 3, 1) + Tcp(5, "192.168.0.20", 5000)) + "[Other]\nKept = 1\n");
    History history;
    ASSERT_EQ(ReadConnectionHistory(store.store, history.list), 0);
    WriteConnectionHistory(store.store, history.list);
    std::string text = FormatIniText(store.store);
    for (const char *present :
         {"Number of entries = 2", "Entry #1: Type = 1", "Entry #1: Port number = 3",
          "Entry #1: Baudrate = 1", "Entry #2: Type = 2", "Entry #2: Remote port number = 5000",
          "Kept = 1"})
        EXPECT_NE(text.find(present), std::string::npos) << present << " missing in\n" << text;
    for (const char *absent : {"Entry #1: Remote", "Entry #2: Port number", "Entry #2: Baudrate",
                               "Entry #5", "Number of entries = 5"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent << " left in\n" << text;

    ListClear(history.list);
    WriteConnectionHistory(store.store, history.list);
    EXPECT_NE(FormatIniText(store.store).find("Number of entries = 0"), std::string::npos);
    EXPECT_EQ(FormatIniText(store.store).find("Entry #"), std::string::npos);
}

} // namespace
