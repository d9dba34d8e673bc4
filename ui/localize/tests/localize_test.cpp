// Language files applied to a live panel with a child panel and a menu bar:
// every text of them is compared before and after, so a case states exactly
// what changed and nothing else may.
#include "ui/localize.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "toolkit/ui.h"

namespace {

enum { DECO = 1, PICT_GO, NUMR_PORT, RBTN_MODE, PRBR, STRG_NAME, TXTM_NOTE, RING_MSG, TREE_LIST };
enum { CHILD_PICT_OK = 1 };
const char *const kResource = "LocalizeTest.uir";

using Texts = std::map<std::string, std::string>;

std::string Flags(const std::string &flags) {
    return EncodeBinaryText(reinterpret_cast<const unsigned char *>(flags.data()), flags.size());
}

std::string Header(const std::string &extra = "", int version = 200) {
    return "[LWCVI Language Resource File]\nVersion = " + std::to_string(version) +
           "\nMagic = -1395807027\n" + extra;
}
std::string Named(const std::string &section, const char *key, const char *text) {
    return "[" + section + "]\nFlags = \"" + Flags(text ? "v" : "u") + "\"\n" +
           (text ? std::string(key) + " = \"" + text + "\"\n" : "");
}
std::string Ctrl(const char *name, int type, const std::string &flags, const std::string &rest) {
    return "[LOC_PNL_" + std::string(name) + "]\nType = " + std::to_string(type) + "\nFlags = \"" +
           Flags(flags) + "\"\n" + rest;
}
std::string Ring(int labels, const std::string &flags, const std::string &rest) {
    return Ctrl("RING_MSG", 8, flags,
                "NumItemLabels = " + std::to_string(labels) + "\nNumItemValues = 0\n" + rest);
}

const std::string kPanel = Named("LOC_PNL", "Title", "Tafel");
const std::string kChild = Named("CHILD_PNL", "Title", nullptr);
const std::string kMenusButAbout =
    Named("LOC_MENU_FILE", "Name", "Datei") + Named("LOC_MENU_FILE_OPEN", "Name", nullptr) +
    Named("LOC_MENU_FILE_SEP", "Name", nullptr) + Named("LOC_MENU_FILE_QUIT", "Name", "Ende") +
    Named("LOC_MENU_HELP", "Name", nullptr);
const std::string kMenus = kMenusButAbout + Named("LOC_MENU_HELP_ABOUT", "Name", nullptr);
const Texts kPanelAndMenu = {{"title", "Tafel"}, {"menu 2", "Datei"}, {"menu 5", "Ende"}};

Texts With(Texts base, const Texts &more) {
    for (const auto &kv : more)
        base[kv.first] = kv.second;
    return base;
}

class Localize : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static char name[] = "localize_test";
        static char *argv[] = {name, nullptr};
        ASSERT_EQ(tk::InitUIRuntime(1, argv), 0);
    }
    void SetUp() override {
        panel = tk::LoadPanel(0, kResource, 1);
        ASSERT_GT(panel, 0) << tk::LastLoadError();
        child = tk::LoadPanel(panel, kResource, 2);
        ASSERT_GT(child, 0) << tk::LastLoadError();
        menuBar = tk::GetPanelMenuBar(panel);
        ASSERT_GT(menuBar, 0);
        char dirTemplate[] = "/tmp/localize_testXXXXXX";
        ASSERT_NE(mkdtemp(dirTemplate), nullptr);
        dir = dirTemplate;
    }
    void TearDown() override {
        tk::DiscardPanel(child);
        tk::DiscardPanel(panel);
        std::filesystem::remove_all(dir);
    }

    std::string Write(const std::string &text) {
        std::string path = dir + "/f" + std::to_string(++files) + ".lwd";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    Texts Snapshot() const {
        Texts t;
        std::string s;
        tk::GetPanelAttribute(panel, tk::ATTR_TITLE, &s);
        t["title"] = s;
        tk::GetPanelAttribute(child, tk::ATTR_TITLE, &s);
        t["child title"] = s;
        tk::GetCtrlAttribute(child, CHILD_PICT_OK, tk::ATTR_LABEL_TEXT, &s);
        t["child label"] = s;
        for (int c = DECO; c <= TREE_LIST; ++c) {
            std::string n = std::to_string(c);
            tk::GetCtrlAttribute(panel, c, tk::ATTR_LABEL_TEXT, &s);
            t["label " + n] = s;
            tk::GetCtrlAttribute(panel, c, tk::ATTR_TOOLTIP_TEXT, &s);
            t["tooltip " + n] = s;
        }
        for (int c : {STRG_NAME, TXTM_NOTE}) {
            char value[256];
            tk::GetCtrlVal(panel, c, value, sizeof value);
            t["value " + std::to_string(c)] = value;
            tk::GetCtrlAttribute(panel, c, tk::ATTR_DFLT_VALUE, &s);
            t["default " + std::to_string(c)] = s;
        }
        int items = 0;
        tk::GetNumListItems(panel, RING_MSG, &items);
        for (int i = 0; i < items; ++i) {
            char label[256];
            int value = -1;
            tk::GetLabelFromIndex(panel, RING_MSG, i, label, sizeof label);
            tk::GetValueFromIndex(panel, RING_MSG, i, &value);
            t["item " + std::to_string(i)] = label + std::string("=") + std::to_string(value);
        }
        tk::GetTreeColumnLabel(panel, TREE_LIST, 0, &s);
        t["column 0"] = s;
        tk::GetNumListItems(panel, TREE_LIST, &items);
        for (int i = 0; i < items; ++i) {
            tk::GetTreeCellText(panel, TREE_LIST, i, 0, &s);
            int value = -1;
            tk::GetValueFromIndex(panel, TREE_LIST, i, &value);
            t["cell " + std::to_string(i)] = s + "=" + std::to_string(value);
        }
        for (int m = 2; m <= 7; ++m) {
            tk::GetMenuBarAttribute(menuBar, m, tk::ATTR_MENU_NAME, &s);
            t["menu " + std::to_string(m)] = s;
        }
        return t;
    }

    int panel = 0, child = 0, menuBar = 0, files = 0;
    std::string dir;
};

struct Case {
    const char *what;
    std::string file;
    int result;
    Texts changes;
};

TEST_F(Localize, WhatEachFileChanges) {
    const std::string all = kPanel + kChild + kMenus;
    const std::string six = "ItemLabel_0 = \"null\"\nItemLabel_1 = \"eins\"\nItemLabel_2 = "
                            "\"zwei\"\nItemLabel_3 = \"drei\"\nItemLabel_4 = \"x\"\nItemLabel_5 = "
                            "\"y\"\n";
    const Case cases[] = {
        {"panel, menu and a button",
         Header() + all + Ctrl("PICT_GO", 2, "vv", "Label = \"Los\"\nTooltip = \"Startet\"\n"), 0,
         With(kPanelAndMenu, {{"label 2", "Los"}, {"tooltip 2", "Startet"}})},
        {"no section for the panel",
         Header() + kChild + kMenus + Ctrl("PICT_GO", 2, "vv", "Label = \"Los\"\nTooltip = \"\"\n"),
         -6000,
         {}},
        {"wrong type leaves just that control",
         Header() + all + Ctrl("PICT_GO", 3, "vv", "Label = \"Los\"\nTooltip = \"\"\n") +
             Ctrl("NUMR_PORT", 2, "vu", "Label = \"Anschluss\"\n"),
         0, With(kPanelAndMenu, {{"label 3", "Anschluss"}})},
        {"u keeps a label that is present",
         Header() + all + Ctrl("PICT_GO", 2, "uv", "Label = \"Los\"\nTooltip = \"Tipp\"\n"), 0,
         With(kPanelAndMenu, {{"tooltip 2", "Tipp"}})},
        {"item labels 0 and 3 keep their values", Header() + all + Ring(4, "uuvuuv", six), 0,
         With(kPanelAndMenu, {{"item 0", "null=0"}, {"item 3", "drei=3"}})},
        {"more items in the file than in the ring", Header() + all + Ring(6, "uuvvvvvv", six), 0,
         With(kPanelAndMenu, {{"item 0", "null=0"},
                              {"item 1", "eins=1"},
                              {"item 2", "zwei=2"},
                              {"item 3", "drei=3"}})},
        {"fewer items in the file", Header() + all + Ring(2, "uuvv", six), 0,
         With(kPanelAndMenu, {{"item 0", "null=0"}, {"item 1", "eins=1"}})},
        {"flagged item without its text",
         Header() + all +
             Ring(4, "vuvvvv",
                  "Label = \"Meldungen\"\nItemLabel_0 = \"null\"\nItemLabel_1 = \"eins\"\n"
                  "ItemLabel_2 = \"zwei\"\n"),
         0,
         With(kPanelAndMenu, {{"label 8", "Meldungen"},
                              {"item 0", "null=0"},
                              {"item 1", "eins=1"},
                              {"item 2", "zwei=2"}})},
        {"magic 0", "[LWCVI Language Resource File]\nVersion = 200\nMagic = 0\n" + all, -6000, {}},
        {"magic missing", "[LWCVI Language Resource File]\nVersion = 200\n" + all, -6000, {}},
        {"no CharSet reads Windows-1252",
         Header() +
             Named("LOC_PNL", "Title",
                   "Zur\xfc"
                   "ck") +
             kChild + kMenus,
         0, With(kPanelAndMenu, {{"title", "Zur\u00fcck"}})},
        {"CharSet 238",
         Header("CharSet = 238\n") + Named("LOC_PNL", "Title", "\x8a") + kChild + kMenus, 0,
         With(kPanelAndMenu, {{"title", "\u0160"}})},
        {"a menu item without a section fails the bar only",
         Header() + kPanel + kChild + kMenusButAbout,
         -6000,
         {{"title", "Tafel"}}},
        {"a child panel without a section",
         Header() + kPanel + kMenus,
         -6000,
         {{"title", "Tafel"}}},
        {"child panel",
         Header() + kPanel + Named("CHILD_PNL", "Title", "Kind") + kMenus +
             "[CHILD_PNL_PICT_OK]\nType = 2\nFlags = \"Dfe\"\nLabel = \"Gut\"\n",
         0, With(kPanelAndMenu, {{"child title", "Kind"}, {"child label", "Gut"}})},
        {"before 200 buttons have one flag",
         Header("", 199) + all + Ctrl("PICT_GO", 2, "v", "Label = \"Los\"\n"), 0,
         With(kPanelAndMenu, {{"label 2", "Los"}})},
        {"decoration, string, text message, tree",
         Header() + all + Ctrl("DECO", 1, "v", "Tooltip = \"Rahmen\"\n") +
             Ctrl("STRG_NAME", 3, "vvu", "Label = \"Name:\"\nDefault = \"anfang\"\n") +
             Ctrl("TXTM_NOTE", 4, "vv", "Default = \"Hinweis\"\nTooltip = \"t\"\n") +
             Ctrl("TREE_LIST", 10, "vuv",
                  "Cols = 1\nItems = 0\nNumItemValues = 0\nLabel = \"Verbindungen\"\n"
                  "ColLabel_0 = \"Spalte\"\n"),
         0,
         With(kPanelAndMenu, {{"tooltip 1", "Rahmen"},
                              {"label 6", "Name:"},
                              {"default 6", "anfang"},
                              {"value 6", "anfang"},
                              {"default 7", "Hinweis"},
                              {"value 7", "Hinweis"},
                              {"tooltip 7", "t"},
                              {"label 9", "Verbindungen"},
                              {"column 0", "Spalte"}})},
    };
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        Texts before = Snapshot();
        EXPECT_EQ(LocalizePanel(panel, Write(c.file).c_str()), c.result) << c.what;
        EXPECT_EQ(Snapshot(), With(before, c.changes)) << c.what;
    }
}

TEST_F(Localize, FilesThatCannotBeUsed) {
    Texts before = Snapshot();
    EXPECT_EQ(LocalizePanel(panel, nullptr), -65);
    EXPECT_EQ(LocalizeMenuBar(menuBar, nullptr), -65);
    EXPECT_EQ(LocalizePanel(panel, (dir + "/missing.lwd").c_str()), -94);
    EXPECT_EQ(LocalizeMenuBar(menuBar, (dir + "/missing.lwd").c_str()), -94);
    EXPECT_EQ(LocalizePanel(panel, dir.c_str()), -93) << "a directory";
    EXPECT_EQ(LocalizePanel(panel, Write("[LWCVI Language Resource File]\nVersion = x\n").c_str()),
              -12);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Localize, ProgramTextsAndLiveItemsStay) {
    ASSERT_EQ(tk::SetCtrlVal(panel, STRG_NAME, "typed"), 0);
    ASSERT_GE(tk::InsertListItem(panel, TREE_LIST, -1, "COM1", 41), 0);
    ASSERT_GE(tk::InsertListItem(panel, TREE_LIST, -1, "COM2", 42), 0);
    Texts before = Snapshot();
    std::string file = Header() + kPanel + kChild + kMenus +
                       Ctrl("STRG_NAME", 3, "uvu", "Default = \"anfang\"\n") +
                       Ctrl("TREE_LIST", 10, "uuuvv",
                            "Cols = 1\nItems = 2\nNumItemValues = 0\nCell(0,0) = \"A\"\n");
    EXPECT_EQ(LocalizePanel(panel, Write(file).c_str()), 0);
    EXPECT_EQ(Snapshot(),
              With(before, With(kPanelAndMenu, {{"default 6", "anfang"}, {"cell 0", "A=41"}})))
        << "a value the program wrote stays; a cell without text stays";
}

TEST_F(Localize, ExportRoundTrips) {
    Texts before = Snapshot();
    LangFileWriter plain;
    ASSERT_EQ(ExportPanel(panel, &plain), 0);
    std::string exported = plain.Finish();
    EXPECT_EQ(LocalizePanel(panel, Write(exported).c_str()), 0);
    EXPECT_EQ(Snapshot(), before) << "an untouched template changes nothing";
    LangFileWriter again;
    ASSERT_EQ(ExportPanel(panel, &again), 0);
    EXPECT_EQ(again.Finish(), exported);

    std::string file = Header() + kPanel + kChild + kMenus +
                       Ctrl("PICT_GO", 2, "vu",
                            "Label = \"Zur\xfc"
                            "ck\"\n");
    ASSERT_EQ(LocalizePanel(panel, Write(file).c_str()), 0);
    Texts localised = Snapshot();
    LangFileWriter translated;
    ASSERT_EQ(ExportPanel(panel, &translated), 0);
    std::string text = translated.Finish();
    EXPECT_NE(text.find("Label = \"Zur\xfc"
                        "ck\""),
              std::string::npos);
    EXPECT_NE(text.find("Name = \"Datei\""), std::string::npos);
    TearDown();
    SetUp();
    EXPECT_EQ(LocalizePanel(panel, Write(text).c_str()), 0);
    EXPECT_EQ(Snapshot(), localised) << "the export carries every text the file changed";
}

} // namespace
