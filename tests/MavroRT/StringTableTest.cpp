// The player's string table holds every text that its code loads by id,
// word for word: a missing entry would only show as an English fallback or
// an empty caption at the moment it is needed.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "PlayerBuildFiles.h"

namespace {

std::wstring FromUtf8(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring w(n > 0 ? (size_t)n : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

TEST(PlayerStrings, EveryTextTheCodeLoadsIsInTheStringTable) {
    struct Row {
        UINT id;
        const char* text;  // null: any non-empty text (the wording is the product's own)
    } rows[] = {
        {12100, "错误"},
        {12155, "真"},
        {12156, "假"},
        {20025, "GetRGB : 参数(%d, %d, %d)不在合法的范围内。"},
        {22004, "图片宽度"},
        {22005, "图片高度"},
        {25070, "路径"},
        {25406, "矩形按钮"},
        {25407, "圆角矩形按钮"},
        {25408, "椭圆按钮"},
        {25409, "菱形按钮"},
        {25410, "圆头按钮"},
        {25411, "填充检查框"},
        {25412, "怀旧风格"},
        {25413, "新式风格"},
        {25414, "怀旧风格(单线)"},
        {25415, "新式风格(单线)"},
        {25416, "填充圆按钮"},
        {25417, "新式风格"},
        {25418, "新式风格(大)"},
        {25419, "怀旧风格"},
        {25420, "怀旧风格(大)"},
        {31495, nullptr},
        {31523, "找不到媒体：%s"},
        {31524, "文件不存在!"},
        {34500, nullptr},
        {34501, nullptr},
    };
    std::string path = PlayerBuildFile("MavroRT.exe");
    HMODULE player = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, player) << path;
    for (const Row& row : rows) {
        const WCHAR* text = nullptr;
        int n = LoadStringW(player, row.id, reinterpret_cast<LPWSTR>(&text), 0);
        std::wstring loaded = n > 0 && text ? std::wstring(text, (size_t)n) : std::wstring();
        if (row.text)
            EXPECT_TRUE(loaded == FromUtf8(row.text)) << "string " << row.id;
        else
            EXPECT_FALSE(loaded.empty()) << "string " << row.id;
    }
    FreeLibrary(player);
}

}  // namespace
