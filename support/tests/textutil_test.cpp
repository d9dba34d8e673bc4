// Bounded copies into fixed-size texts.
#include "support/textutil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TextUtil, CutsNeverSplitACharacter) {
    const char *text = "ab\xC3\xA9\xE2\x82\xAC"; // a b é €  (2 + 2 + 3 bytes)
    EXPECT_EQ(Utf8SafePrefix(text, 7, 7), 7u);
    EXPECT_EQ(Utf8SafePrefix(text, 7, 6), 4u) << "cut inside the euro sign";
    EXPECT_EQ(Utf8SafePrefix(text, 7, 5), 4u);
    EXPECT_EQ(Utf8SafePrefix(text, 7, 3), 2u) << "cut inside the e acute";

    char small[5];
    EXPECT_EQ(CopyText(small, text), 4u);
    EXPECT_STREQ(small, "ab\xC3\xA9");
    char one[1] = {'x'};
    EXPECT_EQ(CopyText(one, "abc"), 0u);
    EXPECT_EQ(one[0], '\0') << "a one-byte buffer holds only the terminator";
    char buf[8] = "stale";
    EXPECT_EQ(CopyText(buf, nullptr), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(CopyTextN(buf, sizeof buf, "abcdef", 3), 3u);
    EXPECT_STREQ(buf, "abc");
    // Bytes that are not UTF-8 at all are cut plainly.
    const char junk[] = "\x80\x80\x80\x80\x80\x80";
    EXPECT_EQ(Utf8SafePrefix(junk, 6, 5), 5u);
}

} // namespace
