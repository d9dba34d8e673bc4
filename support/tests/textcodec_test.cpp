// 8-bit texts to UTF-8, and device texts made safe for one line of output.
#include "support/textcodec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(TextCodec, DecodesByCodePage) {
    const struct {
        int codePage;
        std::string bytes, utf8;
    } cases[] = {
        {1252,
         "Zur\xfc"
         "ck",
         "Zur\u00fcck"},
        {1252, "\x80 \x9f", "\u20ac \u0178"},
        {1252, "\x81\x8d\x8f\x90\x9d", "\u0081\u008d\u008f\u0090\u009d"}, // as Windows does
        {1250, "\x8a\xb9", "\u0160\u0105"},
        {1251, "\xcf\xf0\xe8", "\u041f\u0440\u0438"},
        {1253, "\xaa", "\ufffd"},    // a hole in the page
        {932, "\x83\x5c", "\u30bd"}, // second byte is a backslash
        {932, "\xb1", "\uff71"},     // single-byte katakana
        {932, "\x83", "\ufffd"},     // lead byte at the end
        {936, "\xc4\xe3", "\u4f60"},
        {65001, "ok\xc3\xbc", "ok\u00fc"},
        {65001, "\xff", "\ufffd"},
        {65001, "\xc0\xaf", "\ufffd\ufffd"},           // overlong slash
        {65001, "\xed\xa0\x80", "\ufffd\ufffd\ufffd"}, // surrogate
        {4711, "\xfc", "\u00fc"},                      // unknown page: Windows-1252
    };
    for (const auto &c : cases)
        EXPECT_EQ(DecodeToUtf8(c.codePage, c.bytes), c.utf8) << "code page " << c.codePage;
}

TEST(TextCodec, CharSetCodesNameCodePages) {
    const struct {
        int charSet, codePage;
    } cases[] = {{0, 1252},   {1, 1252},      {2, 1252},    {238, 1250}, {204, 1251},
                 {161, 1253}, {128, 932},     {134, 936},   {255, 437},  {1250, 1250},
                 {874, 874},  {65001, 65001}, {9999, 1252}, {-5, 1252}};
    for (const auto &c : cases)
        EXPECT_EQ(CodePageForCharSet(c.charSet), c.codePage) << "CharSet " << c.charSet;
}

TEST(TextCodec, Windows1252RoundTripsEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    std::string back;
    ASSERT_TRUE(EncodeWindows1252(DecodeWindows1252(all), &back));
    EXPECT_EQ(back, all);

    for (const char *unfit : {"\u0141", "\xff", "\xe2\x82"}) {
        std::string out = "kept";
        EXPECT_FALSE(EncodeWindows1252(unfit, &out)) << unfit;
        EXPECT_EQ(out, "kept");
    }
}

TEST(TextCodec, ControlCharactersNeverBreakALine) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"ILD1420-10\r\n", "ILD1420-10\\r\\n"},
        {"a\tb", "a\\tb"},
        {std::string("\x01\x1b\x7f", 3), "\\x01\\x1b\\x7f"},
        {"\u0085x", "\\x85x"}, // C1 next line
        {"Zur\u00fcck \u20ac", "Zur\u00fcck \u20ac"},
        {"\xff", "\\xff"},
        {"C:\\dir", "C:\\dir"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EscapeControls(c.in), c.out);
}

TEST(TextCodec, DeviceTextsAreCutByBytes) {
    const struct {
        std::string src;
        size_t dstSize;
        std::string out;
    } cases[] = {
        {std::string(70, 'v') + "\xc3\xa9x", 72, std::string(70, 'v') + "\xc3"},
        {"abc", 72, "abc"},
        {std::string("ab\0cd", 5), 72, "ab"},
        {"abc", 1, ""},
    };
    for (const auto &c : cases) {
        char dst[80];
        std::memset(dst, 'z', sizeof dst);
        EXPECT_EQ(CopyDeviceText(dst, c.dstSize, c.src.data(), c.src.size()), c.out.size());
        EXPECT_EQ(std::string(dst), c.out);
    }
}

TEST(TextCodec, LeadBytesOnlyInDoubleBytePages) {
    EXPECT_TRUE(IsLeadByte(932, 0x83));
    EXPECT_FALSE(IsLeadByte(932, 0xb1));
    EXPECT_TRUE(IsLeadByte(950, 0xa4));
    EXPECT_FALSE(IsLeadByte(1252, 0x83));
    EXPECT_FALSE(IsLeadByte(65001, 0xc3));
}

} // namespace
