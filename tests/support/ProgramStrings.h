// A program's Chinese string table (language 0x804) compared, text by text,
// with what the program must say.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <string>

struct ProgramText {
    UINT id;
    const char* utf8;  // null: any text that is not empty
};

inline void ExpectProgramStrings(const std::string& program,
                                 std::initializer_list<ProgramText> texts) {
    const WORD chinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << program;
    for (const ProgramText& t : texts) {
        EXPECT_NE(nullptr, FindResourceExA(module, (LPCSTR)RT_STRING,
                                           MAKEINTRESOURCEA(t.id / 16 + 1), chinese))
            << t.id;
        WCHAR expected[512] = L"", loaded[512] = L"";
        if (t.utf8)
            MultiByteToWideChar(CP_UTF8, 0, t.utf8, -1, expected, 512);
        LoadStringW(module, t.id, loaded, 512);
        if (t.utf8)
            EXPECT_EQ(std::wstring(expected), std::wstring(loaded)) << program << " " << t.id;
        else
            EXPECT_NE(L'\0', loaded[0]) << program << " " << t.id;
    }
    FreeLibrary(module);
}
