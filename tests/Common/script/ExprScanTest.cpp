// Lexical helpers: list splitting, bracket matching, operators and string
// literals, including GBK characters whose trail byte equals a character
// the scanners look for.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "bExprScan.h"

namespace {

// GBK characters whose second byte is an ASCII character.
#define GBK_PIPE "\x83\x7C"       // 億, trail "|"
#define GBK_BACKSLASH "\x81\x5C"  // 乗, trail "\"
#define GBK_OPEN "\xB0\x5B"       // 癧, trail "["
#define GBK_CLOSE "\x81\x5D"      // 乚, trail "]"

bool IsGbk() {
    return GetACP() == 936;
}

struct SplitCase {
    const char* text;
    HRESULT hr;
    std::vector<std::string> items;
    const char* message;
};

const std::vector<SplitCase>& SplitCases() {
    static const std::vector<SplitCase> cases = {
        {"", S_OK, {}, nullptr},
        {"1,2,3", S_OK, {"1", "2", "3"}, nullptr},
        {" a , b", S_OK, {" a ", " b"}, nullptr},
        {"(1,2),3", S_OK, {"1", "2", "3"}, nullptr},
        {"((1,2)),[3,(4)]", S_OK, {"1", "2", "3", "4"}, nullptr},
        {"f(1,2),x[3,4]", S_OK, {"f(1,2)", "x[3,4]"}, nullptr},
        {"(1)+(2),3", S_OK, {"(1)+(2)", "3"}, nullptr},
        {"\"x,y\",z", S_OK, {"\"x,y\"", "z"}, nullptr},
        {"\"(\",\")\"", S_OK, {"\"(\"", "\")\""}, nullptr},
        {"\"a\\\",b\",c", S_OK, {"\"a\\\",b\"", "c"}, nullptr},
        {"a" GBK_CLOSE ",b" GBK_OPEN, S_OK, {"a" GBK_CLOSE, "b" GBK_OPEN}, nullptr},
        {"\"" GBK_BACKSLASH "\",x", S_OK, {"\"" GBK_BACKSLASH "\"", "x"}, nullptr},
        {"1,,2", E_EXPR_EMPTYPARAM, {}, "Empty param in \"1,,2\""},
        {"1,", E_EXPR_EMPTYPARAM, {}, "Empty param in \"1,\""},
        {"(),1", E_EXPR_EMPTYPARAM, {}, "Empty param in"},
        {"1,\"abc", E_EXPR_BADSTRING, {}, "Invalid string in \"1,\"abc\""},
        {"(1", E_EXPR_BRACKET, {}, "Mismatched bracket in \"(1\""},
        {"1)", E_EXPR_BRACKET, {}, "Mismatched bracket in \"1)\""},
        {"(1]", E_EXPR_BRACKET, {}, "Mismatched bracket in \"(1]\""},
    };
    return cases;
}

TEST(ExprScan, SplitParamListTable) {
    for (const SplitCase& c : SplitCases()) {
        if (!IsGbk() && strchr(c.text, '\x81'))
            continue;
        LogCapture log;
        std::vector<std::string> items;
        HRESULT hr = SplitParamList(c.text, items);
        std::string text = log.Text();
        EXPECT_EQ(hr, c.hr) << c.text;
        EXPECT_EQ(items, c.items) << c.text;
        EXPECT_TRUE(Logged(text, c.message)) << c.text;
    }
}

TEST(ExprScan, SplitParamListLimitsOpenBrackets) {
    std::string ok(256, '(');
    ok += "1" + std::string(256, ')');
    std::vector<std::string> items;
    EXPECT_EQ(SplitParamList(ok.c_str(), items), S_OK);
    EXPECT_EQ(items, std::vector<std::string>{"1"});

    std::string deep(257, '(');
    deep += "1" + std::string(257, ')');
    LogCapture log;
    EXPECT_EQ(SplitParamList(deep.c_str(), items), E_EXPR_BADSTRING);
    EXPECT_TRUE(items.empty());
    std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "string or escape char is mismatch"));
}

TEST(ExprScan, GetParamListItem) {
    EXPECT_EQ(GetParamListItem("a,(b,c),d", 2), "c");
    EXPECT_EQ(GetParamListItem("a,b", 2), "");
    EXPECT_EQ(GetParamListItem("a,,b", 0), "");  // a failed split has no items
    EXPECT_EQ(GetParamListItem("a", -1), "");
}

TEST(ExprScan, CheckBracketsFindsTheMatchingCloser) {
    struct Case {
        const char* text;
        int from;
        bool ok;
        int closer;
    } cases[] = {
        {"(a)", 0, true, 2},
        {"f(a[1],(b))+1", 1, true, 10},
        {"[\")\"]", 0, true, 4},
        {"(" GBK_CLOSE ")", 0, true, 3},
        {"[" GBK_OPEN "]", 0, true, 3},
        {"(a]", 0, false, 0},
        {"(a", 0, false, 0},
        {"((a)", 0, false, 0},
        {"(\")", 0, false, 0},
    };
    for (const Case& c : cases) {
        if (!IsGbk() && (strchr(c.text, '\x81') || strchr(c.text, '\xB0')))
            continue;
        int pos = c.from;
        EXPECT_EQ(CheckBrackets(c.text, pos, (int)strlen(c.text)), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(pos, c.closer) << c.text;
        }
    }
}

TEST(ExprScan, CheckBracketsLimitsNesting) {
    std::string ok = std::string(255, '(') + std::string(255, ')');
    int pos = 0;
    EXPECT_TRUE(CheckBrackets(ok.c_str(), pos, (int)ok.size()));
    EXPECT_EQ(pos, 509);

    std::string deep = std::string(256, '[') + std::string(256, ']');
    LogCapture log;
    pos = 0;
    EXPECT_FALSE(CheckBrackets(deep.c_str(), pos, (int)deep.size()));
    std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "Too deep bracket in"));
}

TEST(ExprScan, ScanOperatorTable) {
    struct Case {
        const char* text;
        bool ok;
        int length;
    } cases[] = {
        {"!", true, 1},  {"!=", true, 2}, {"<", true, 1},   {"<=", true, 2},
        {">=", true, 2}, {"<>", true, 1}, {"&&", true, 2},  {"||", true, 2},
        {"==", true, 2}, {"*", true, 1},  {"--", true, 1},  {"&", false, 0},
        {"=", false, 0}, {"|", false, 0}, {"=<", false, 0}, {"&|", false, 0},
    };
    for (const Case& c : cases) {
        LogCapture log;
        int pos = 0;
        EXPECT_EQ(ScanOperator(c.text, pos, (int)strlen(c.text)), c.ok) << c.text;
        std::string text = log.Text();
        if (c.ok) {
            EXPECT_EQ(pos, c.length) << c.text;
        } else {
            EXPECT_TRUE(Logged(text, "incompatible type to compare")) << c.text;
        }
    }
    // The range ends the operator even when the text goes on.
    int pos = 0;
    EXPECT_TRUE(ScanOperator("<=", pos, 1));
    EXPECT_EQ(pos, 1);
}

TEST(ExprScan, ScanStringLiteralTable) {
    struct Case {
        const char* text;
        bool ok;
        int end;
        std::string value;
    } cases[] = {
        {"\"abc\"+1", true, 5, "abc"},
        {"\"a\\\"b\"", true, 6, "a\"b"},
        {"\"\\n\\r\\t\\\\\\q\"", true, 12, "\n\r\t\\q"},
        {"\"\"", true, 2, ""},
        {"\"" GBK_BACKSLASH "\"", true, 4, GBK_BACKSLASH},
        {"\"" GBK_PIPE GBK_OPEN "\"", true, 6, GBK_PIPE GBK_OPEN},
        {"\"\\" GBK_BACKSLASH "\"", true, 5, GBK_BACKSLASH},
        {"\"abc", false, 0, ""},
        {"\"abc\\\"", false, 0, ""},
        {"\"ab\\", false, 0, ""},
        {"\"\x81", false, 0, ""},    // lead byte without its trail
        {"\"\x81\"", false, 0, ""},  // the quote is taken as the trail byte
    };
    for (const Case& c : cases) {
        if (!IsGbk() &&
            (strchr(c.text, '\x81') || strchr(c.text, '\x83') || strchr(c.text, '\xB0')))
            continue;
        LogCapture log;
        int pos = 0;
        std::string value;
        bool ok = ScanStringLiteral(c.text, pos, (int)strlen(c.text), &value);
        std::string text = log.Text();
        EXPECT_EQ(ok, c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(pos, c.end) << c.text;
            EXPECT_EQ(value, c.value) << c.text;
        } else {
            EXPECT_TRUE(Logged(text, "Invalid string in")) << c.text;
        }
    }
}

TEST(ExprScan, LeadBytesFollowTheCodePage) {
    if (!IsGbk())
        GTEST_SKIP() << "needs code page 936";
    EXPECT_FALSE(IsExprLeadByte(0x7F));
    EXPECT_FALSE(IsExprLeadByte(0x80));
    EXPECT_TRUE(IsExprLeadByte(0x81));
    EXPECT_TRUE(IsExprLeadByte(0xFE));
    EXPECT_FALSE(IsExprLeadByte(0xFF));
    EXPECT_FALSE(IsExprLeadByte('|'));
}

}  // namespace

namespace {

TEST(ExprScan, RandomListsSplitOrFailCleanly) {
    static const char alphabet[] = "a1,()[]\"\\ \x81\x83\xB0\x5B\x5D\x7C";
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int n = (int)(rng() % 20); n > 0; --n)
            text += alphabet[rng() % (sizeof(alphabet) - 1)];
        std::vector<std::string> items;
        HRESULT hr = SplitParamList(text.c_str(), items);
        if (hr == S_OK) {
            size_t bytes = 0;
            for (const std::string& item : items) {
                EXPECT_FALSE(item.empty()) << text;
                bytes += item.size();
            }
            EXPECT_LE(bytes, text.size());
        } else {
            EXPECT_TRUE(hr == E_EXPR_EMPTYPARAM || hr == E_EXPR_BADSTRING || hr == E_EXPR_BRACKET)
                << text;
            EXPECT_TRUE(items.empty());
        }
        for (int from = 0; from < (int)text.size(); ++from) {
            if (text[from] != '(' && text[from] != '[')
                continue;
            int pos = from;
            if (CheckBrackets(text.c_str(), pos, (int)text.size())) {
                EXPECT_GT(pos, from);
                EXPECT_LT(pos, (int)text.size());
                EXPECT_TRUE(text[pos] == ')' || text[pos] == ']');
            }
        }
    }
}

}  // namespace
