// Multibyte text in the ANSI code page to UTF-16 and back.
#include <gtest/gtest.h>

#include <ctype.h>

#include <random>
#include <string>

#include "bStrConv.h"

namespace {

TEST(StrConv, RoundTripsKeepEveryByte) {
    struct Case {
        const char* what;
        std::string bytes;
        std::wstring wide;  // empty: not checked (depends on the code page)
    } cases[] = {
        {"empty", std::string(), std::wstring()},
        {"plain", "abc", L"abc"},
        {"embedded NUL", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"double-byte", "\xD6\xD0\xCE\xC4", GetACP() == 936 ? L"\x4E2D\x6587" : L""},
    };
    for (const Case& c : cases) {
        std::wstring wide = WideFromMultibyte(c.bytes.data(), c.bytes.size());
        if (!c.wide.empty()) {
            EXPECT_EQ(wide, c.wide) << c.what;
        }
        EXPECT_EQ(MultibyteFromWide(wide.data(), wide.size()), c.bytes) << c.what;

        BSTR s = BstrFromMultibyte(c.bytes);
        ASSERT_NE(s, nullptr) << c.what;
        EXPECT_EQ(std::wstring(s, SysStringLen(s)), wide) << c.what;
        EXPECT_EQ(MultibyteFromBstr(s), c.bytes) << c.what;
        SysFreeString(s);
    }
}

TEST(StrConv, TerminatedTextsStopAtTheirNul) {
    EXPECT_EQ(WideFromMultibyte("ab\0cd"), L"ab");
    EXPECT_EQ(MultibyteFromWide(L"ab\0cd"), "ab");
    EXPECT_EQ(WideFromMultibyte(static_cast<const char*>(nullptr)), L"");
    EXPECT_EQ(MultibyteFromWide(static_cast<const WCHAR*>(nullptr)), "");
    EXPECT_EQ(MultibyteFromBstr(nullptr), "");
    // A null text gives an empty BSTR, never null.
    BSTR s = BstrFromMultibyte(nullptr, 5);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 0u);
    SysFreeString(s);
}

// Cuts never end inside a double-byte character (code page 936: 0xD6 0xD0
// is one character, 0x81 alone at the end is a lead byte without its trail).
TEST(StrConv, CutsKeepDoubleByteCharactersWhole) {
    if (!IsDBCSLeadByte(0xD6))
        GTEST_SKIP() << "needs a double-byte code page";
    struct Case {
        const char* text;
        size_t limit, length;
    } cases[] = {
        {"abc", 2, 2},
        {"abc", 9, 3},
        {"a\xD6\xD0", 2, 1},
        {"a\xD6\xD0", 3, 3},
        {"\xD6\xD0\xCE\xC4", 3, 2},
        {"ab\x81", 9, 2},
        {"", 5, 0},
        {"abc", 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MbCutLength(c.text, c.limit), c.length) << c.text << " / " << c.limit;
    EXPECT_EQ(MbCutLength(nullptr, 5), 0u);
}

// One case rule: the comparison calls two texts equal exactly when their
// folded keys are equal, on seeded random texts of letters, the signs
// between the upper and lower case letters, and double-byte characters
// whose trail byte is a letter (which must not fold).
TEST(StrConv, FoldedKeysAgreeWithTheComparison) {
    const char* pieces[] = {"a", "A", "z", "Z",        "[",        "_",
                            "`", "@", "1", "\x81\x41", "\x81\x61", "\xD6\xD0"};
    std::mt19937 rng(20260101);
    for (int round = 0; round < 4000; ++round) {
        std::string a, b;
        const int n = (int)(rng() % 5);
        for (int i = 0; i < n; ++i) {
            const char* p = pieces[rng() % 12];
            a += p;
            // b mostly follows a with its case flipped, now and then differs.
            std::string q = rng() % 6 ? p : pieces[rng() % 12];
            for (char& c : q)
                if (q.size() == 1 && isalpha((unsigned char)c))
                    c = (char)(rng() % 2 ? toupper(c) : tolower(c));
            b += q;
        }
        EXPECT_EQ(MbsICmp(a.c_str(), b.c_str()) == 0,
                  MbFoldCase(a.c_str()) == MbFoldCase(b.c_str()))
            << "'" << a << "' '" << b << "'";
        EXPECT_EQ(MbsICmp(a.c_str(), b.c_str()), -MbsICmp(b.c_str(), a.c_str()));
    }
    EXPECT_EQ(MbFoldCase("ReadMe.TXT"), "readme.txt");
    EXPECT_TRUE(MbIEqual("ReadMe.TXT", "readme.txt"));
    EXPECT_EQ(MbFoldCase(nullptr), "");
    EXPECT_EQ(MbsICmp(nullptr, ""), 0);
    if (IsDBCSLeadByte(0x81)) {
        // The trail byte of a double-byte character keeps its case.
        EXPECT_NE(MbsICmp("\x81\x41", "\x81\x61"), 0);
        EXPECT_NE(MbFoldCase("\x81\x41"), MbFoldCase("\x81\x61"));
    }
}

}  // namespace
