#include <gtest/gtest.h>

#include <string>

#include "support/uitexts.h"

namespace {

const std::string kHead = "[LWCVI Language Resource File]\nVersion = 200\nMagic = -1395807027\n";

constexpr UiText kCancel{"P_TEXTS", "Cancel", "Cancel"};
constexpr UiText kDone{"P_TEXTS", "Done", "Search cancelled"};
constexpr UiText kTitle{"P_CTRL_TEXTS", "Title", "About"};
constexpr const UiText *kAll[] = {&kCancel, &kDone, &kTitle};

class UiTexts : public ::testing::Test {
  protected:
    void TearDown() override { ResetUiTexts(); }
};

TEST_F(UiTexts, WhatAFileGivesReplacesTheEnglish) {
    const struct {
        const char *name;
        std::string file;
        int given;
        const char *cancel, *done, *title;
    } cases[] = {
        {"older file without the sections", kHead + "[P]\nFlags = \"@f\"\nTitle = \"x\"\n", 0,
         "Cancel", "Search cancelled", "About"},
        {"one section, one key missing", kHead + "[P_TEXTS]\nCancel = \"Abbrechen\"\n", 1,
         "Abbrechen", "Search cancelled", "About"},
        {"keys belong to their own section", kHead + "[P_TEXTS]\nTitle = \"Info\"\n", 0, "Cancel",
         "Search cancelled", "About"},
        {"empty item stays English", kHead + "[P_TEXTS]\nCancel = \"\"\nDone = \"Fertig\"\n", 1,
         "Cancel", "Fertig", "About"},
        {"CharSet decodes", kHead + "CharSet = 0\n[P_CTRL_TEXTS]\nTitle = \"\xdc\x62\x65r\"\n", 1,
         "Cancel", "Search cancelled", "\u00dc\x62\x65r"},
        {"unescaped like every text", kHead + "[P_TEXTS]\nDone = \"a\\nb\"\n", 1, "Cancel", "a\nb",
         "About"},
    };
    for (const auto &c : cases) {
        ResetUiTexts();
        LangFile f;
        ASSERT_EQ(f.Parse(c.file), LANG_OK) << c.name;
        EXPECT_EQ(ApplyUiTexts(f, kAll), c.given) << c.name;
        EXPECT_STREQ(UiTextOf(kCancel), c.cancel) << c.name;
        EXPECT_STREQ(UiTextOf(kDone), c.done) << c.name;
        EXPECT_STREQ(UiTextOf(kTitle), c.title) << c.name;
    }
}

// A translation moves the value where its language wants it; markers other
// than %1 are shown as typed, never read as formats.
TEST_F(UiTexts, ValueTakesThePlaceOfItsMarker) {
    const struct {
        const char *translation, *value, *shown;
    } cases[] = {
        {"Teil %1 liegt au\xdf\x65rhalb", "300", "Teil 300 liegt au\u00dferhalb"},
        {"%1 ist kein Port; %1!", "0", "0 ist kein Port; 0!"},
        {"kein Wert", "7", "kein Wert"},
        {"%s %d %n %1", "%1", "%s %d %n %1"},
    };
    for (const auto &c : cases) {
        ResetUiTexts();
        LangFile f;
        ASSERT_EQ(f.Parse(kHead + "[P_TEXTS]\nDone = \"" + c.translation + "\"\n"), LANG_OK);
        ApplyUiTexts(f, kAll);
        EXPECT_EQ(UiTextWith(kDone, c.value), c.shown) << c.translation;
    }
}

TEST_F(UiTexts, ALaterFileOverridesOnlyWhatItGives) {
    LangFile first, second;
    ASSERT_EQ(first.Parse(kHead + "[P_TEXTS]\nCancel = \"A\"\nDone = \"B\"\n"), LANG_OK);
    ASSERT_EQ(second.Parse(kHead + "[P_TEXTS]\nDone = \"C\"\n"), LANG_OK);
    ApplyUiTexts(first, kAll);
    ApplyUiTexts(second, kAll);
    EXPECT_STREQ(UiTextOf(kCancel), "A");
    EXPECT_STREQ(UiTextOf(kDone), "C");
}

// A translator starts from the export: written, read back and applied, it
// gives every text as it was, in sections a panel reader never looks at.
TEST_F(UiTexts, ExportReadsBack) {
    LangFile given;
    ASSERT_EQ(given.Parse(kHead + "[P_TEXTS]\nDone = \"Gr\\xfc\xdf\x65\"\n"), LANG_OK);
    ApplyUiTexts(given, kAll);
    LangFileWriter writer;
    writer.AddNamed("P", "Title", "Panel");
    ExportUiTexts(kAll, &writer);
    std::string text = writer.Finish();
    EXPECT_NE(text.find("[P_TEXTS]\r\nCancel = \"Cancel\"\r\nDone = \"Gr\xfc\xdf\x65\"\r\n"),
              std::string::npos)
        << text;
    ResetUiTexts();
    LangFile back;
    ASSERT_EQ(back.Parse(text), LANG_OK) << text;
    EXPECT_EQ(ApplyUiTexts(back, kAll), 3);
    EXPECT_STREQ(UiTextOf(kDone), "Gr\u00fc\u00df\x65");
    std::optional<std::string> title;
    EXPECT_EQ(back.ReadNamed("P", "Title", &title), LANG_OK);
    EXPECT_EQ(title.value_or(""), "Panel");
}

} // namespace
