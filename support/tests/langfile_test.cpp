// Language files from memory: header checks, flag layouts per kind, the
// entries that leave one control alone, and what the writer produces.
#include "support/langfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "testsupport/testsupport.h"

void PrintTo(const LangString &g, std::ostream *os) {
    *os << "{slot " << static_cast<int>(g.slot) << " [" << g.index << "," << g.column << ","
        << g.sub << "] \"" << g.text << "\"}";
}

namespace {

const std::string kHead = "[LWCVI Language Resource File]\nVersion = 200\nMagic = -1395807027\n";

std::string Head(int version) {
    return "[LWCVI Language Resource File]\nVersion = " + std::to_string(version) +
           "\nMagic = -1395807027\n";
}

// "vu" -> the stored text of those flag bytes.
std::string Flags(const std::string &flags) {
    return EncodeBinaryText(reinterpret_cast<const unsigned char *>(flags.data()), flags.size());
}

LangControlShape Shape(int kind, int items = 0, int columns = 0, int itemValues = 0) {
    LangControlShape s;
    s.kind = kind;
    s.items = items;
    s.columns = columns;
    s.itemValues = itemValues;
    return s;
}

LangString S(LangSlot slot, const char *text, int index = 0, int column = 0, int sub = 0) {
    return LangString{slot, index, column, sub, text};
}

TEST(LangFileHeader, ChecksAndCodes) {
    const struct {
        std::string text;
        int code;
    } cases[] = {
        {kHead, LANG_OK},
        {kHead + "CharSet = 238\n", LANG_OK},
        {"", LANG_BAD_HEADER},
        {"[Other]\nVersion = 200\nMagic = -1395807027\n", LANG_BAD_HEADER},
        {"[LWCVI Language Resource File]\nMagic = -1395807027\n", LANG_BAD_HEADER},
        {"[LWCVI Language Resource File]\nVersion = 200\n", LANG_BAD_HEADER},
        {"[LWCVI Language Resource File]\nVersion = 200\nMagic = 0\n", LANG_BAD_HEADER},
        {"[LWCVI Language Resource File]\nVersion = 200\nMagic = 0xACCDACCD\n", LANG_NO_MEMORY},
        {"[LWCVI Language Resource File]\nVersion = two\nMagic = -1395807027\n", LANG_NO_MEMORY},
        {kHead + "CharSet = ansi\n", LANG_NO_MEMORY},
        {"[lwcvi language resource file]\nversion = 5\nmagic = -1395807027\n", LANG_OK},
    };
    for (const auto &c : cases) {
        LangFile f;
        EXPECT_EQ(f.Parse(c.text), c.code) << c.text;
    }
}

TEST(LangFileHeader, CodesMapToResults) {
    const struct {
        int code, result;
    } cases[] = {{0, 0},      {-1, -12},  {-2, -65},     {-3, -6000}, {-4, -6000},
                 {-9, -6000}, {-10, -93}, {-11, -94},    {-5, -24},   {-7, -45},
                 {-8, -46},   {-12, -12}, {-6000, -6000}};
    for (const auto &c : cases)
        EXPECT_EQ(LangErrorToResult(c.code), c.result) << c.code;
}

TEST(LangFileHeader, FilesThatCannotBeRead) {
    testsupport::TempDir temp;
    ASSERT_TRUE(temp.ok());
    const char *dir = temp.path().c_str();
    std::string good = temp / "de.lwd";
    std::ofstream(good) << kHead;
    const struct {
        const char *path;
        int code;
    } cases[] = {
        {nullptr, LANG_NULL_PATH},
        {"/nonexistent/x.lwd", LANG_CANNOT_OPEN},
        {dir, LANG_UNREADABLE}, // a directory opens but is no file
        {good.c_str(), LANG_OK},
    };
    for (const auto &c : cases) {
        LangFile f;
        EXPECT_EQ(f.Load(c.path), c.code) << (c.path ? c.path : "null");
    }
}

TEST(LangFileHeader, CharSetChoosesTheDecoding) {
    const struct {
        std::string header, label, utf8;
    } cases[] = {
        {kHead,
         "Zur\xfc"
         "ck",
         "Zur\u00fcck"},
        {kHead + "CharSet = 0\n", "\x80", "\u20ac"},
        {kHead + "CharSet = 238\n", "\x8a", "\u0160"},
        {kHead + "CharSet = 65001\n", "\xc3\xbc", "\u00fc"},
        {"\xef\xbb\xbf" + kHead + "CharSet = 0\n", "\xc3\xbc", "\u00fc"},
        {kHead + "CharSet = 128\n", "\x83\x5cn", "\u30bdn"}, // not "\n" after a lead byte
        {kHead, "a\\tb\\\\n\\x41", "a\tb\\nA"},
    };
    for (const auto &c : cases) {
        LangFile f;
        ASSERT_EQ(f.Parse(c.header + "[P]\nFlags = \"@f\"\nTitle = \"" + c.label + "\"\n"),
                  LANG_OK);
        std::optional<std::string> title;
        EXPECT_EQ(f.ReadNamed("P", "Title", &title), LANG_OK);
        EXPECT_EQ(title.value_or("<none>"), c.utf8) << c.header;
    }
    LangFile none;
    ASSERT_EQ(none.Parse(kHead), LANG_OK);
    EXPECT_FALSE(none.charSet().has_value()) << "no CharSet must stay distinguishable";
}

TEST(LangFileNamed, FlagsOfPanelsAndMenus) {
    const struct {
        std::string section;
        int code;
        std::optional<std::string> text;
    } cases[] = {
        {"Flags = \"@f\"\nTitle = \"T\"", LANG_OK, "T"},
        {"Flags = \"@e\"\nTitle = \"T\"", LANG_OK, std::nullopt},
        {"Flags = \"Dfe\"\nTitle = \"T\"", LANG_BAD_FLAGS, std::nullopt},
        {"Flags = \"@\"\nTitle = \"T\"", LANG_BAD_FLAGS, std::nullopt},
        {"Flags = \"@~\"\nTitle = \"T\"", LANG_BAD_FLAGS, std::nullopt},
        {"Title = \"T\"", LANG_BAD_FLAGS, std::nullopt},
        {"Flags = \"@f\"", LANG_MISSING_NAME, std::nullopt},
        {"Flags = \"@f\"\nTitle = \"\"", LANG_OK, ""},
    };
    for (const auto &c : cases) {
        LangFile f;
        ASSERT_EQ(f.Parse(kHead + "[P]\n" + c.section + "\n"), LANG_OK);
        std::optional<std::string> text = "stale";
        EXPECT_EQ(f.ReadNamed("P", "Title", &text), c.code) << c.section;
        EXPECT_EQ(text, c.text) << c.section;
    }
    LangFile f;
    ASSERT_EQ(f.Parse(kHead), LANG_OK);
    std::optional<std::string> text;
    EXPECT_EQ(f.ReadNamed("MISSING", "Title", &text), LANG_BAD_FLAGS);
}

struct ControlCase {
    const char *what;
    std::string file; // after the header; the control's section is [P_C]
    LangControlShape shape;
    bool usable;
    std::vector<LangString> strings;
};

void RunControlCases(const std::vector<ControlCase> &cases) {
    for (const auto &c : cases) {
        LangFile f;
        ASSERT_EQ(f.Parse(c.file), LANG_OK) << c.what;
        std::vector<LangString> strings = {S(LangSlot::Label, "stale")};
        EXPECT_EQ(f.ReadControl("P_C", c.shape, &strings), c.usable) << c.what;
        EXPECT_EQ(strings, c.strings) << c.what;
    }
}

TEST(LangFileControl, FixedKinds) {
    auto sec = [](int version, int type, const std::string &flags, const std::string &rest) {
        return Head(version) + "[P_C]\nType = " + std::to_string(type) + "\nFlags = \"" +
               Flags(flags) + "\"\n" + rest;
    };
    const std::string lt = "Label = \"L\"\nTooltip = \"T\"\n";
    RunControlCases({
        {"label and tooltip",
         sec(200, 2, "vv", lt),
         Shape(2),
         true,
         {S(LangSlot::Label, "L"), S(LangSlot::Tooltip, "T")}},
        {"u keeps a present label",
         sec(200, 2, "uv", lt),
         Shape(2),
         true,
         {S(LangSlot::Tooltip, "T")}},
        {"wrong type", sec(200, 3, "vv", lt), Shape(2), false, {}},
        {"no type", Head(200) + "[P_C]\nFlags = \"Dff\"\n" + lt, Shape(2), false, {}},
        {"no section", Head(200) + "[P_D]\nType = 2\nFlags = \"Dff\"\n" + lt, Shape(2), false, {}},
        {"no flags", Head(200) + "[P_C]\nType = 2\n" + lt, Shape(2), false, {}},
        {"too many flags", sec(200, 2, "vvu", lt), Shape(2), false, {}},
        {"too few flags", sec(200, 2, "v", lt), Shape(2), false, {}},
        {"flagged label missing", sec(200, 2, "vv", "Tooltip = \"T\"\n"), Shape(2), false, {}},
        {"before 200 no tooltip flag",
         sec(199, 2, "v", lt),
         Shape(2),
         true,
         {S(LangSlot::Label, "L")}},
        {"before 200 two flags", sec(199, 2, "vv", lt), Shape(2), false, {}},
        {"decoration", sec(200, 1, "v", lt), Shape(1), true, {S(LangSlot::Tooltip, "T")}},
        {"decoration before 200",
         Head(150) + "[P_C]\nType = 1\nFlags = \"\"\n" + lt,
         Shape(1),
         true,
         {}},
        {"string",
         sec(200, 3, "vvu", lt + "Default = \"D\"\n"),
         Shape(3),
         true,
         {S(LangSlot::Label, "L"), S(LangSlot::Default, "D")}},
        {"text message",
         sec(200, 4, "vu", "Default = \"D\"\n"),
         Shape(4),
         true,
         {S(LangSlot::Default, "D")}},
        {"two-state",
         sec(200, 5, "vvvu", lt + "On = \"an\"\nOff = \"aus\"\n"),
         Shape(5),
         true,
         {S(LangSlot::Label, "L"), S(LangSlot::On, "an"), S(LangSlot::Off, "aus")}},
    });
}

std::string Ring(int version, const std::string &flags, int labels, int values,
                 const std::string &rest) {
    return Head(version) + "[P_C]\nType = 8\nNumItemLabels = " + std::to_string(labels) +
           "\nNumItemValues = " + std::to_string(values) + "\nFlags = \"" + Flags(flags) + "\"\n" +
           rest;
}

TEST(LangFileControl, ListItems) {
    const std::string six = "ItemLabel_0 = \"a\"\nItemLabel_1 = \"b\"\nItemLabel_2 = \"c\"\n"
                            "ItemLabel_3 = \"d\"\nItemLabel_4 = \"e\"\nItemLabel_5 = \"f\"\n";
    using L = LangSlot;
    RunControlCases({
        {"labels 0 and 3",
         Ring(200, "uuvuuv", 4, 0, six),
         Shape(8, 4),
         true,
         {S(L::ItemLabel, "a", 0), S(L::ItemLabel, "d", 3)}},
        {"file lists more items",
         Ring(200, "uuvvvvvv", 6, 0, six),
         Shape(8, 4),
         true,
         {S(L::ItemLabel, "a", 0), S(L::ItemLabel, "b", 1), S(L::ItemLabel, "c", 2),
          S(L::ItemLabel, "d", 3)}},
        {"file lists fewer items",
         Ring(200, "uuvv", 2, 0, six),
         Shape(8, 4),
         true,
         {S(L::ItemLabel, "a", 0), S(L::ItemLabel, "b", 1)}},
        {"flagged item without text",
         Ring(200, "vuuuuuuv", 6, 0, "Label = \"L\"\n"),
         Shape(8, 6),
         true,
         {S(L::Label, "L")}},
        {"values located by the file's label count",
         Ring(200, "uuuuvv", 2, 2, "ItemVal_0 = \"x\"\nItemVal_1 = \"y\"\n"),
         Shape(8, 3, 0, 1),
         true,
         {S(L::ItemValue, "x", 0)}},
        {"flags longer than the counts",
         Ring(200, "uuvuu", 1, 0, six),
         Shape(8, 4),
         true,
         {S(L::ItemLabel, "a", 0)}},
        {"flags shorter than the counts", Ring(200, "uuv", 2, 0, six), Shape(8, 4), false, {}},
        {"negative count", Ring(200, "uu", -1, 0, six), Shape(8, 4), false, {}},
        {"no value count",
         Head(200) + "[P_C]\nType = 8\nNumItemLabels = 0\nFlags = \"Dee\"\n",
         Shape(8, 4),
         false,
         {}},
        {"before 200 the tooltip byte is ignored",
         Ring(199, "vvv", 1, 0, "Label = \"L\"\nTooltip = \"T\"\n" + six),
         Shape(8, 1),
         true,
         {S(L::Label, "L"), S(L::ItemLabel, "a", 0)}},
    });
}

TEST(LangFileControl, TreesTablesTabsGraphs) {
    using L = LangSlot;
    auto tree = [](const std::string &flags, const std::string &values, const std::string &rest) {
        return kHead + "[P_C]\nType = 10\nCols = 1\nItems = 2\nNumItemValues = 2\nFlags = \"" +
               Flags(flags) + "\"\nValueFlags = \"" + Flags(values) + "\"\n" + rest;
    };
    const std::string cells = "Label = \"L\"\nTooltip = \"T\"\nColLabel_0 = \"C\"\n"
                              "Cell(0,0) = \"a\"\nCell(1,0) = \"b\"\n"
                              "ItemVal_0 = \"x\"\nItemVal_1 = \"y\"\n";
    RunControlCases({
        {"tree: one live item",
         tree("vvvvv", "vv", cells),
         Shape(10, 1, 1, 1),
         true,
         {S(L::Label, "L"), S(L::Tooltip, "T"), S(L::ColLabel, "C"), S(L::Cell, "a", 0, 0),
          S(L::ItemValue, "x", 0)}},
        {"tree: value flags missing", tree("vvvvv", "", cells), Shape(10, 2, 1, 2), false, {}},
        {"tree: cell items are required",
         kHead + "[P_C]\nType = 10\nCols = 1\nItems = 1\nNumItemValues = 0\nFlags = \"" +
             Flags("uuuuv") + "\"\nCell(0,0)_Items = 1\n",
         Shape(10, 1, 1),
         false,
         {}},
        {"table counts from 1, column first",
         kHead + "[P_C]\nType = 9\nCols = 2\nRows = 1\nFlags = \"" + Flags("uuvuvuv") +
             "\"\nRowLabel_1 = \"r\"\nColLabel_2 = \"c\"\nCell(2,1) = \"z\"\n",
         Shape(9, 1, 2),
         true,
         {S(L::RowLabel, "r", 1), S(L::ColLabel, "c", 2), S(L::Cell, "z", 2, 1)}},
        {"tabs before 200 have no tooltip flag",
         Head(199) + "[P_C]\nType = 11\nNumTabLabels = 2\nFlags = \"" + Flags("uv") +
             "\"\nTabLabel_1 = \"t\"\n",
         [] {
             LangControlShape s = Shape(11);
             s.tabs = 2;
             return s;
         }(),
         true,
         {S(L::TabLabel, "t", 1)}},
        {"graph before 101 has one X axis",
         Head(100) + "[P_C]\nType = 6\nXitems = 1\nLYitems = 0\nRYitems = 0\nFlags = \"" +
             Flags("uvuuuv") + "\"\nXname = \"x\"\nXitem_0 = \"0s\"\n",
         [] {
             LangControlShape s = Shape(6);
             s.axisItems[AXIS_X] = 1;
             return s;
         }(),
         true,
         {S(L::AxisName, "x", AXIS_X), S(L::AxisItem, "0s", AXIS_X, 0, 0)}},
    });
}

TEST(LangFileControl, StylesGiveKinds) {
    const struct {
        int style, kind;
    } cases[] = {{380, 1},  {206, 2}, {115, 2},  {127, 2}, {224, 2}, {150, 3}, {171, 3},
                 {160, 4},  {231, 5}, {440, 6},  {460, 7}, {319, 8}, {322, 8}, {325, 0},
                 {512, 10}, {511, 9}, {540, 11}, {999, 0}, {0, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(LocalizationKindForStyle(c.style), c.kind) << c.style;
}

TEST(LangFileWriter, EveryKindReadsBackAsWritten) {
    using L = LangSlot;
    LangControlShape graph = Shape(6);
    for (int a = 0; a < 6; ++a)
        graph.axisItems[a] = 1;
    LangControlShape tabs = Shape(11);
    tabs.tabs = 2;
    const struct {
        LangControlShape shape;
        std::vector<LangString> strings;
    } cases[] = {
        {Shape(1), {S(L::Tooltip, "t")}},
        {Shape(2), {S(L::Label, "Zur\u00fcck"), S(L::Tooltip, "")}},
        {Shape(3), {S(L::Label, "l"), S(L::Default, "d\"q\\"), S(L::Tooltip, "t\n")}},
        {Shape(4), {S(L::Default, "d"), S(L::Tooltip, "t")}},
        {Shape(5), {S(L::Label, "l"), S(L::On, "an"), S(L::Off, "aus"), S(L::Tooltip, "t")}},
        {graph,
         {S(L::Label, "l"), S(L::AxisName, "b", AXIS_BOTTOM_X), S(L::AxisName, "t", AXIS_TOP_X),
          S(L::AxisName, "ly", AXIS_LEFT_Y), S(L::AxisName, "ry", AXIS_RIGHT_Y), S(L::Tooltip, ""),
          S(L::AxisItem, "1", AXIS_BOTTOM_X), S(L::AxisItem, "2", AXIS_TOP_X),
          S(L::AxisItem, "3", AXIS_LEFT_Y), S(L::AxisItem, "4", AXIS_RIGHT_Y),
          S(L::AxisItem, "5", AXIS_ANNOTATION)}},
        {Shape(8, 2, 0, 1),
         {S(L::Label, ""), S(L::Tooltip, ""), S(L::ItemLabel, "a", 0), S(L::ItemLabel, "b", 1),
          S(L::ItemValue, "v", 0)}},
        {Shape(9, 1, 1),
         {S(L::Label, "l"), S(L::Tooltip, "t"), S(L::RowLabel, "r", 1), S(L::ColLabel, "c", 1),
          S(L::Cell, "x", 1, 1)}},
        {Shape(10, 1, 2, 1),
         {S(L::Label, "l"), S(L::Tooltip, "t"), S(L::ColLabel, "a", 0), S(L::ColLabel, "b", 1),
          S(L::Cell, "x", 0, 0), S(L::Cell, "y", 0, 1), S(L::ItemValue, "v", 0)}},
        {tabs, {S(L::Tooltip, "t"), S(L::TabLabel, "one", 0), S(L::TabLabel, "two", 1)}},
    };
    for (const auto &c : cases) {
        LangFileWriter w;
        w.AddNamed("P", "Title", "Titel");
        w.AddControl("P_C", c.shape, c.strings);
        std::string text = w.Finish();
        LangFile f;
        ASSERT_EQ(f.Parse(text), LANG_OK) << text;
        std::vector<LangString> back;
        EXPECT_TRUE(f.ReadControl("P_C", c.shape, &back)) << "kind " << c.shape.kind << "\n"
                                                          << text;
        EXPECT_EQ(back, c.strings) << "kind " << c.shape.kind;
    }
}

TEST(LangFileWriter, WritesWindows1252WhenEveryTextFits) {
    const struct {
        std::string title, marker;
        int charSet;
    } cases[] = {
        {"Zur\u00fcck", "Zur\xfc", 0},
        {"\u0141\u00f3d\u017a", "\xc5\x81", 65001},
    };
    for (const auto &c : cases) {
        LangFileWriter w;
        w.AddNamed("P", "Title", c.title);
        std::string text = w.Finish();
        EXPECT_NE(text.find(c.marker), std::string::npos) << text;
        LangFile f;
        ASSERT_EQ(f.Parse(text), LANG_OK);
        EXPECT_EQ(f.charSet(), c.charSet);
        EXPECT_EQ(f.version(), 200);
        std::optional<std::string> title;
        EXPECT_EQ(f.ReadNamed("P", "Title", &title), LANG_OK);
        EXPECT_EQ(title, c.title);
    }
}

} // namespace
