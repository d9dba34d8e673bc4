// Syntax, lookups, puts and codes of the INI store, all in memory.
#include "support/ini.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

struct StoreDeleter {
    void operator()(IniStoreRec *s) const { DisposeIniStore(s); }
};
using Store = std::unique_ptr<IniStoreRec, StoreDeleter>;

Store Read(const std::string &text) {
    Store s(CreateIniStore(0));
    EXPECT_EQ(ReadIniMemory(s.get(), text.data(), text.size()), 0);
    return s;
}

std::string Text(IniStore s, const char *section, const char *key) {
    const char *t = nullptr;
    EXPECT_EQ(GetTextView(s, section, key, &t), 1) << "missing [" << section << "] " << key;
    return t ? t : "";
}

std::string Raw(IniStore s, const char *section, const char *key) {
    const char *t = nullptr;
    EXPECT_EQ(GetRawText(s, section, key, &t), 1) << "missing [" << section << "] " << key;
    return t ? t : "";
}

TEST(IniRead, AllLineEndKindsReadTheSame) {
    const std::string lf = "; head\n\n[S]\na = 1\nb = \"two\"\n; tail\n";
    std::string expected = FormatIniText(Read(lf).get());
    ASSERT_NE(expected, "");
    for (const std::string &eol :
         {std::string("\r\n"), std::string("\r"), std::string("\n\r"), std::string(1, '\0')}) {
        std::string text;
        for (char c : lf)
            text += c == '\n' ? eol : std::string(1, c);
        EXPECT_EQ(FormatIniText(Read(text).get()), expected)
            << "line end of " << eol.size() << " bytes starting with " << int(eol[0])
            << " reads differently";
    }
    // A zero byte ends a line like a line feed does.
    Store s = Read(std::string("[S]\na = 1\0b = 2\n", 16));
    EXPECT_EQ(HasKey(s.get(), "S", "b"), 1);
}

TEST(IniRead, CommentsAreKeptInPlaceAndWrittenBack) {
    const std::string text = "; header 1\r\n  ; header 2\r\n\r\n"
                             "; section comment\r\n[One]\r\n"
                             "; item comment\r\n;second line\r\nkey = \"v\"\r\n\r\n"
                             "[Two]\r\nn = 5\r\n\r\n"
                             "; trailer\r\n";
    Store s = Read(text);
    EXPECT_EQ(FormatIniText(s.get()), text) << "comments moved or lost on a round trip";

    // Without a blank line the comment belongs to the first section, not the header.
    Store t = Read("; c\n[A]\n");
    EXPECT_EQ(FormatIniText(t.get()), "; c\r\n[A]\r\n\r\n");
    // A comment block after the header, ended by a blank line, waits for the next section.
    Store u = Read("; h\n\n; later\n\n[A]\n");
    EXPECT_EQ(FormatIniText(u.get()), "; h\r\n\r\n; later\r\n[A]\r\n\r\n");
    // Once a section has been read, a blank line never makes a comment the header.
    Store v = Read("[A]\nx = 1\n; about k\n\nk = 2\n");
    EXPECT_EQ(FormatIniText(v.get()), "[A]\r\nx = 1\r\n; about k\r\nk = 2\r\n\r\n");
}

TEST(IniRead, SectionHeaderQuirks) {
    Store s =
        Read("  [  Connect History  ]  \nx = 1\n[Stray] word\ny = 2\n[a]b]\nz = 3\n[no end\n");
    ASSERT_EQ(GetNumSections(s.get()), 2) << "stray text after ] must not open a section";
    EXPECT_STREQ(GetSectionName(s.get(), 0), "Connect History");
    EXPECT_STREQ(GetSectionName(s.get(), 1), "a]b");
    EXPECT_EQ(HasSection(s.get(), "connect history"), 1) << "lookups ignore case";
    EXPECT_EQ(HasSection(s.get(), "  CONNECT HISTORY "), 1) << "lookups ignore outer space";
    // The line after the ignored header still belongs to the previous section.
    EXPECT_EQ(HasKey(s.get(), "Connect History", "y"), 1);
    EXPECT_EQ(HasKey(s.get(), "a]b", "Z"), 1);
}

TEST(IniRead, ItemLines) {
    Store s = Read("dropped = 1\n[S]\nempty =\n= novalue\nquoted = \"\"\n"
                   "  spaced key   =   spaced value  \nq = \"  keep  \"\nhalf = \"x\n"
                   "dup = first\ndup = second\nnoequals\neq = a=b\n");
    EXPECT_EQ(GetNumItems(s.get(), "S"), 7) << "items with an empty key or value are not items";
    EXPECT_EQ(HasKey(s.get(), "S", "empty"), 0);
    EXPECT_EQ(Text(s.get(), "S", "quoted"), "") << "two quotes are an empty quoted text";
    EXPECT_EQ(Text(s.get(), "S", "SPACED KEY"), "spaced value");
    EXPECT_EQ(Text(s.get(), "S", "q"), "  keep  ") << "quotes protect white space";
    EXPECT_EQ(Text(s.get(), "S", "half"), "\"x");
    EXPECT_EQ(Text(s.get(), "S", "dup"), "first") << "the first matching item wins";
    EXPECT_EQ(Text(s.get(), "S", "eq"), "a=b") << "the key ends at the first =";
    EXPECT_EQ(FormatIniText(s.get()), "[S]\r\nquoted = \"\"\r\nspaced key = spaced value\r\n"
                                      "q = \"  keep  \"\r\nhalf = \"x\r\ndup = first\r\n"
                                      "dup = second\r\neq = a=b\r\n\r\n");
}

TEST(IniPieces, LongTextIsWrittenInPiecesAndJoinedOnReading) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += static_cast<char>('a' + i % 26);
    Store s(CreateIniStore(0));
    ASSERT_EQ(PutText(s.get(), "Connect History", "Entry #1: Remote server", text.c_str()), 0);
    std::string file = FormatIniText(s.get());
    EXPECT_NE(file.find("Entry #1: Remote server Line0001 = \"" + text.substr(0, 80) + "\"\r\n"),
              std::string::npos);
    EXPECT_NE(file.find("Entry #1: Remote server Line0003 = \"" + text.substr(160) + "\"\r\n"),
              std::string::npos);
    EXPECT_EQ(file.find("Line0004"), std::string::npos);

    Store back = Read(file);
    EXPECT_EQ(GetNumItems(back.get(), "Connect History"), 1);
    EXPECT_EQ(Text(back.get(), "Connect History", "Entry #1: Remote server"), text);
    EXPECT_EQ(FormatIniText(back.get()), file);
}

TEST(IniPieces, RunRules) {
    Store s = Read("[S]\n"
                   "a Line0001 = \"12\"\na Line0002 = \"34\"\nother Line7 = \"56\"\n"
                   "b Line01 = x\nb Line0002 = y\nb Line0001 = z\n"
                   "plain = p\nlone Line0002 = l\nc Line1x = n\nd Line = m\n");
    EXPECT_EQ(Text(s.get(), "S", "a"), "123456") << "a run goes on over pieces of any key";
    EXPECT_EQ(Text(s.get(), "S", "b"), "xy") << "a new piece 1 starts a new run";
    EXPECT_EQ(GetNumItems(s.get(), "S"), 7);
    EXPECT_STREQ(GetItemKey(s.get(), "S", 2), "b") << "the second run keeps its own item";
    EXPECT_EQ(Text(s.get(), "S", "lone Line0002"), "l") << "a piece outside a run stays as it is";
    EXPECT_EQ(HasKey(s.get(), "S", "c Line1x"), 1);
    EXPECT_EQ(HasKey(s.get(), "S", "d Line"), 1);

    // A piece cut through an escape sequence is joined before unescaping.
    Store e = Read("[S]\nk Line0001 = \"a\\\"\nk Line0002 = \"nb\"\n");
    EXPECT_EQ(Text(e.get(), "S", "k"), "a\nb");
}

TEST(IniPieces, KeysAndPiecesAreCutForTheLine) {
    Store s(CreateIniStore(0));
    std::string key(300, 'k');
    ASSERT_EQ(PutText(s.get(), "S", key.c_str(), "v"), 0);
    std::string longKey = std::string(250, 'q') + " end";
    ASSERT_EQ(PutText(s.get(), "S", longKey.c_str(), std::string(100, 'w').c_str()), 0);
    std::string file = FormatIniText(s.get());
    EXPECT_NE(file.find("\r\n" + std::string(255, 'k') + " = \"v\""), std::string::npos);
    EXPECT_NE(file.find("\r\n" + std::string(246, 'q') + " Line0002 = \"" + std::string(20, 'w')),
              std::string::npos);

    // Pieces never split a multi-byte character: 79 ASCII bytes, then "é".
    Store u(CreateIniStore(0));
    std::string utf = std::string(79, 'x') + "\xC3\xA9" + std::string(10, 'y');
    ASSERT_EQ(PutText(u.get(), "S", "k", utf.c_str()), 0);
    std::string out = FormatIniText(u.get());
    EXPECT_NE(out.find("k Line0001 = \"" + std::string(79, 'x') + "\"\r\n"), std::string::npos);
    EXPECT_EQ(Text(Read(out).get(), "S", "k"), utf);
}

TEST(IniPieces, LongValuesReadUnquotedKeepTheirSpacesThroughAWrite) {
    // Reading trims every line, so a piece that ended (or began) with a space
    // would lose it unless the pieces of any long value are quoted.
    const std::string value = std::string(79, 'a') + " " + std::string(79, 'b') + " c";
    Store s = Read("[S]\nk = " + value + "\n");
    ASSERT_EQ(Raw(s.get(), "S", "k"), value);
    Store back = Read(FormatIniText(s.get()));
    EXPECT_EQ(Raw(back.get(), "S", "k"), value);
    EXPECT_EQ(FormatIniText(back.get()), FormatIniText(s.get())) << "not settled after one write";
}

TEST(IniValues, EscapingRoundTrip) {
    Store s(CreateIniStore(0));
    const std::string text = "quote\" back\\ tab\t lf\n cr\r bell\x07 del\x7f \xC3\xA9";
    ASSERT_EQ(PutText(s.get(), "S", "k", text.c_str()), 0);
    EXPECT_EQ(Raw(s.get(), "S", "k"),
              "quote\\\" back\\\\ tab\\t lf\\n cr\\r bell\\x07 del\\x7f \xC3\xA9");
    EXPECT_EQ(Text(s.get(), "S", "k"), text);
    std::string file = FormatIniText(s.get());
    EXPECT_EQ(file.find('\n'), file.find("\r\n") + 1) << "a line feed in a value broke the line";
    EXPECT_EQ(Text(Read(file).get(), "S", "k"), text);

    // Unescaping applies to unquoted values too; unknown escapes give the character.
    Store r = Read("[S]\nk = a\\qb\\x41\\x4g\\X\\\n");
    EXPECT_EQ(Text(r.get(), "S", "k"), "aqbAx4gX\\");

    // PutRawText stores verbatim; a null text is the empty text.
    ASSERT_EQ(PutRawText(s.get(), "S", "raw", "a\\nb"), 0);
    EXPECT_EQ(Raw(s.get(), "S", "raw"), "a\\nb");
    ASSERT_EQ(PutText(s.get(), "S", "none", nullptr), 0);
    EXPECT_NE(FormatIniText(s.get()).find("none = \"\"\r\n"), std::string::npos);
}

TEST(IniValues, PutReplacesInPlaceOrAppends) {
    Store s = Read("[S]\na = 1\nb = 2\nA = 3\nc = 4\n");
    ASSERT_EQ(PutInteger(s.get(), "s", " a ", 7), 0);
    ASSERT_EQ(PutInteger(s.get(), "S", "a", 8), 0);
    EXPECT_EQ(FormatIniText(s.get()), "[S]\r\na = 8\r\nb = 2\r\nc = 4\r\n\r\n")
        << "every earlier item with the key goes, the new one takes the first's place";
    ASSERT_EQ(PutText(s.get(), "S", "d", "x"), 0);
    ASSERT_EQ(PutInteger(s.get(), "New", "n", -2147483647 - 1), 0);
    EXPECT_EQ(FormatIniText(s.get()), "[S]\r\na = 8\r\nb = 2\r\nc = 4\r\nd = \"x\"\r\n\r\n"
                                      "[New]\r\nn = -2147483648\r\n\r\n");
    EXPECT_EQ(RemoveSection(s.get(), "NEW"), 1);
    EXPECT_EQ(RemoveSection(s.get(), "New"), 0);
    EXPECT_EQ(GetNumSections(s.get()), 1);
}

TEST(IniValues, IntegerSyntax) {
    Store s = Read("[S]\nbad = 12abc\nneg = \" -7 \"\nplus = +42\nmax = 2147483647\n"
                   "min = -2147483648\nover = 2147483648\nunder = -2147483649\n"
                   "huge = 99999999999999999999\ntwo signs = --1\nsign only = -\n"
                   "inner = 1 2\nblank = \"  \"\nhex = 0x10\n");
    int32_t v = 99;
    EXPECT_EQ(GetInteger(s.get(), "S", "bad", &v), INI_INVALID_INTEGER);
    EXPECT_EQ(GetInteger(s.get(), "S", "neg", &v), 1);
    EXPECT_EQ(v, -7);
    EXPECT_EQ(GetInteger(s.get(), "S", "plus", &v), 1);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(GetInteger(s.get(), "S", "max", &v), 1);
    EXPECT_EQ(v, 2147483647);
    EXPECT_EQ(GetInteger(s.get(), "S", "min", &v), 1);
    EXPECT_EQ(v, -2147483647 - 1);
    for (const char *key : {"over", "under", "huge", "two signs", "sign only", "inner", "hex"})
        EXPECT_EQ(GetInteger(s.get(), "S", key, &v), INI_INVALID_INTEGER) << key;
    v = 5;
    EXPECT_EQ(GetInteger(s.get(), "S", "blank", &v), 0);
    EXPECT_EQ(GetInteger(s.get(), "S", "missing", &v), 0);
    EXPECT_EQ(GetInteger(s.get(), "Nope", "bad", &v), 0);
    EXPECT_EQ(v, 5) << "a failed lookup changed the value";
}

TEST(IniValues, GetTextCutsToBufferWithoutSplittingCharacters) {
    Store s(CreateIniStore(0));
    std::string big(600, 'z');
    ASSERT_EQ(PutText(s.get(), "S", "big", big.c_str()), 0);
    char buf[512];
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(GetText(s.get(), "S", "big", buf, sizeof buf), 1);
    EXPECT_EQ(std::strlen(buf), 511u);

    ASSERT_EQ(PutText(s.get(), "S", "utf", "a\xC3\xA9\xE2\x82\xAC"), 0); // a é €
    char small[5];
    EXPECT_EQ(GetText(s.get(), "S", "utf", small, sizeof small), 1);
    EXPECT_STREQ(small, "a\xC3\xA9") << "the euro sign must go whole, not in part";

    std::strcpy(buf, "stale");
    EXPECT_EQ(GetText(s.get(), "S", "missing", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "") << "the buffer is emptied even when the key is missing";
}

TEST(IniValues, ViewsAndEnumeration) {
    Store s = Read("[A]\nx = \"1\\t\"\ny = 2\n[B]\n");
    const char *view = nullptr;
    ASSERT_EQ(GetTextView(s.get(), "A", "x", &view), 1);
    EXPECT_STREQ(view, "1\t");
    const char *raw = nullptr;
    ASSERT_EQ(GetRawText(s.get(), "A", "x", &raw), 1);
    EXPECT_STREQ(raw, "1\\t");
    EXPECT_EQ(GetTextView(s.get(), "A", "missing", &view), 0);
    EXPECT_STREQ(view, "");
    EXPECT_EQ(GetNumItems(s.get(), "A"), 2);
    EXPECT_EQ(GetNumItems(s.get(), "B"), 0) << "a section without items is still a section";
    EXPECT_STREQ(GetItemKey(s.get(), "A", 1), "y");
    EXPECT_EQ(GetItemKey(s.get(), "A", 2), nullptr);
    EXPECT_EQ(GetSectionName(s.get(), 2), nullptr);
    EXPECT_EQ(GetSectionName(s.get(), -1), nullptr);
}

TEST(IniValues, MissingStoreOrOutput) {
    int32_t v;
    char buf[8];
    const char *t;
    unsigned char *b;
    size_t n;
    EXPECT_EQ(ReadIniMemory(nullptr, "", 0), INI_NULL_ARGUMENT);
    EXPECT_EQ(ReadIniFile(nullptr, "x"), INI_NULL_ARGUMENT);
    EXPECT_EQ(WriteIniFile(nullptr, "x"), INI_NULL_ARGUMENT);
    EXPECT_EQ(HasKey(nullptr, "S", "k"), INI_NULL_ARGUMENT);
    EXPECT_EQ(PutInteger(nullptr, "S", "k", 1), INI_NULL_ARGUMENT);
    EXPECT_EQ(PutText(nullptr, "S", "k", "t"), INI_NULL_ARGUMENT);
    EXPECT_EQ(GetInteger(nullptr, "S", "k", &v), INI_NULL_ARGUMENT);
    EXPECT_EQ(GetText(nullptr, "S", "k", buf, sizeof buf), INI_NULL_ARGUMENT);
    EXPECT_EQ(GetBinary(nullptr, "S", "k", &b, &n), INI_NULL_ARGUMENT);
    EXPECT_EQ(HasSection(nullptr, "S"), 0);
    EXPECT_EQ(RemoveSection(nullptr, "S"), 0);
    EXPECT_EQ(FormatIniText(nullptr), "");
    DisposeIniStore(nullptr);
    Store s(CreateIniStore(0));
    EXPECT_EQ(GetInteger(s.get(), "S", "k", nullptr), INI_NULL_ARGUMENT);
    EXPECT_EQ(GetText(s.get(), "S", "k", nullptr, 8), INI_NULL_ARGUMENT);
    EXPECT_EQ(GetTextView(s.get(), "S", "k", nullptr), INI_NULL_ARGUMENT);
    EXPECT_EQ(GetRawText(s.get(), "S", nullptr, &t), INI_NULL_ARGUMENT);
    EXPECT_EQ(ReadIniFile(s.get(), "/nonexistent/dir/file.ini"), INI_CANNOT_OPEN);
}

TEST(IniBinary, SixBitEncoding) {
    const struct {
        const char *bytes;
        const char *text;
    } examples[] = {{"v", "@f"}, {"u", "@e"}, {"vu", "Dfe"}, {"vv", "Dff"}, {"", ""}};
    Store s(CreateIniStore(0));
    for (const auto &e : examples) {
        ASSERT_EQ(PutBinary(s.get(), "S", "Flags", e.bytes, std::strlen(e.bytes)), 0);
        EXPECT_EQ(Raw(s.get(), "S", "Flags"), e.text) << "encoding of \"" << e.bytes << "\"";
        unsigned char *out = nullptr;
        size_t n = 99;
        ASSERT_EQ(GetBinary(s.get(), "S", "Flags", &out, &n), 1);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(out), n), e.bytes);
        std::free(out);
    }
    // Every byte value survives at every group remainder.
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(255 - i);
    for (size_t len : {1u, 2u, 3u, 4u, 5u, 256u}) {
        std::string text =
            EncodeBinaryText(reinterpret_cast<const unsigned char *>(all.data()), len);
        std::string back;
        ASSERT_TRUE(DecodeBinaryText(text.c_str(), &back));
        EXPECT_EQ(back, all.substr(0, len)) << "length " << len;
    }
}

TEST(IniBinary, MalformedTextIsRefused) {
    Store s = Read("[S]\none = \"@fe@f\"\nalphabet = \"@ f\"\nhigh = \"\xC3\xA9\"\n");
    for (const char *key : {"one", "alphabet", "high"}) {
        unsigned char *out = reinterpret_cast<unsigned char *>(1);
        size_t n = 9;
        EXPECT_EQ(GetBinary(s.get(), "S", key, &out, &n), INI_OUT_OF_MEMORY) << key;
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(n, 0u);
    }
    unsigned char *out = nullptr;
    size_t n = 0;
    EXPECT_EQ(GetBinary(s.get(), "S", "missing", &out, &n), 0);
}

TEST(IniWriteText, EmptyStoresWriteNothingButHeaderAndTrailer) {
    Store s(CreateIniStore(0));
    EXPECT_EQ(FormatIniText(s.get()), "");
    Store h = Read("; only header\n\n");
    EXPECT_EQ(FormatIniText(h.get()), "; only header\r\n\r\n");
    Store t = Read("; only trailer");
    EXPECT_EQ(FormatIniText(t.get()), "; only trailer\r\n");
    Store n = Read("no sections = 1\nnothing here\n");
    EXPECT_EQ(FormatIniText(n.get()), "");
}

TEST(IniWriteText, HistoryExampleLayout) {
    Store s(CreateIniStore(0));
    PutInteger(s.get(), "Connect History", "Number of entries", 1);
    PutInteger(s.get(), "Connect History", "Entry #1: Type", 2);
    PutText(s.get(), "Connect History", "Entry #1: ID", "Lab converter");
    PutText(s.get(), "Connect History", "Entry #1: Remote server", "127.0.0.1");
    PutInteger(s.get(), "Connect History", "Entry #1: Remote port number", 5000);
    EXPECT_EQ(FormatIniText(s.get()), "[Connect History]\r\n"
                                      "Number of entries = 1\r\n"
                                      "Entry #1: Type = 2\r\n"
                                      "Entry #1: ID = \"Lab converter\"\r\n"
                                      "Entry #1: Remote server = \"127.0.0.1\"\r\n"
                                      "Entry #1: Remote port number = 5000\r\n"
                                      "\r\n");
}

TEST(IniBadInput, GarbageHugeLinesZeroBytesAndMarks) {
    // A byte order mark is skipped; a line of 100 000 characters is cut to 1024.
    std::string text = "\xEF\xBB\xBF[S]\r\nlong = \"" + std::string(100000, 'L') + "\"\r\n";
    text += "after = 1\r\n[Empty]\r\n[Also empty]\r\n";
    Store s = Read(text);
    EXPECT_EQ(GetNumSections(s.get()), 3);
    std::string kept = Raw(s.get(), "S", "long");
    EXPECT_EQ(kept.size(), 1024u - std::strlen("long = ")) << "cut line not kept as unquoted";
    EXPECT_EQ(Raw(s.get(), "S", "after"), "1") << "the line after a huge one was lost";

    // The cut at 1024 never leaves half a character.
    std::string utf = "[S]\nk = " + std::string(1024 - 9, 'a');
    for (int i = 0; i < 10; ++i)
        utf += "\xE2\x82\xAC";
    Store u = Read(utf);
    EXPECT_EQ(Raw(u.get(), "S", "k"), std::string(1015, 'a') + "\xE2\x82\xAC")
        << "a euro sign straddling the cut at 1024 was kept in part";

    // A mark that is not at the very start is ordinary text; a partial mark is kept.
    Store p = Read("\xEF\xBBx = 1\n[S]\n");
    EXPECT_EQ(GetNumSections(p.get()), 1);

    // Random bytes: whatever loads must format and read back without trouble.
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::string junk(static_cast<size_t>(rng() % 5000), '\0');
        for (char &c : junk)
            c = static_cast<char>("[]=;\" \r\n\0\\aZ\xC3\xA9\xEF\xBB\xBF"[rng() % 17]);
        Store g = Read(junk);
        std::string once = FormatIniText(g.get());
        Store again = Read(once);
        EXPECT_EQ(FormatIniText(again.get()), once) << "round " << round;
    }
}

TEST(IniRead, SectionsAreAppendedToThoseAlreadyInTheStore) {
    Store s = Read("[A]\nx = 1\n");
    const std::string more = "[A]\nx = 2\n[B]\n";
    ASSERT_EQ(ReadIniMemory(s.get(), more.data(), more.size()), 0);
    EXPECT_EQ(GetNumSections(s.get()), 3);
    int32_t v = 0;
    EXPECT_EQ(GetInteger(s.get(), "a", "X", &v), 1);
    EXPECT_EQ(v, 1) << "the first matching section must win";
}

} // namespace
