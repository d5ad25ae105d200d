// Bounded copies and case-blind comparison of multibyte texts.
#include <gtest/gtest.h>

#include "bTextCut.h"

TEST(TextCut, CopyCutFitsTheBuffer) {
    struct Case {
        const char* text;
        size_t size;
        const char* expect;
    } cases[] = {
        {"abcdef", 4, "abc"}, {"abc", 4, "abc"}, {"", 4, ""}, {nullptr, 4, ""}, {"abc", 1, ""},
    };
    for (const Case& c : cases) {
        char dest[8] = "zzzzzzz";
        MbCopyCut(dest, c.size, c.text);
        EXPECT_STREQ(c.expect, dest) << (c.text ? c.text : "(null)") << " " << c.size;
        EXPECT_EQ('z', dest[c.size]);  // nothing written beyond the size
    }
    char untouched[2] = "q";
    MbCopyCut(untouched, 0, "abc");
    EXPECT_STREQ("q", untouched);
    // Counted copies take the first bytes of a text that need not end.
    char dest[8];
    MbCopyCutN(dest, sizeof(dest), "abc.def", 3);
    EXPECT_STREQ("abc", dest);
    MbCopyCutN(dest, 4, "abcdef", 5);
    EXPECT_STREQ("abc", dest);
}

TEST(TextCut, DoubleByteCharactersAreNeverSplit) {
    if (!IsDBCSLeadByte(0x81))
        GTEST_SKIP() << "needs a double-byte code page";
    char dest[4];
    MbCopyCut(dest, sizeof(dest), "a\x81\x41\x81\x42");  // a, then two characters
    EXPECT_STREQ("a\x81\x41", dest);
    MbCopyCut(dest, 3, "a\x81\x41");
    EXPECT_STREQ("a", dest);
    // Counted: the length cuts the second character's trail byte off.
    MbCopyCutN(dest, sizeof(dest), "\x81\x41\x81\x42", 3);
    EXPECT_STREQ("\x81\x41", dest);
}

TEST(TextCut, EqualIgnoringCase) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"Version", "VERSION", true},
        {"abc", "abd", false},
        {"", nullptr, true},
        {nullptr, nullptr, true},
        {"ab", "abc", false},
        {"A1_z", "a1_Z", true},
        {"[", "{", false},  // 0x5B and 0x7B differ by 32 but are no letters
    };
    for (const Case& c : cases) EXPECT_EQ(c.equal, MbIEqual(c.a, c.b)) << (c.a ? c.a : "(null)");
}

TEST(TextCut, DoubleByteTrailBytesAreNotFolded) {
    if (!IsDBCSLeadByte(0x81))
        GTEST_SKIP() << "needs a double-byte code page";
    EXPECT_FALSE(MbIEqual("\x81\x41", "\x81\x61"));  // trail bytes look like A and a
    EXPECT_TRUE(MbIEqual("x\x81\x41Y", "X\x81\x41y"));
}
