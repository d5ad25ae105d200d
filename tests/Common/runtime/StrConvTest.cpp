// Multibyte text in the ANSI code page to UTF-16 and back.
#include <gtest/gtest.h>

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

}  // namespace
