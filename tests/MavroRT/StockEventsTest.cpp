#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "PlayerBuildFiles.h"

namespace {

// Click, DBClick, BeginDrag and EndDrag are fired without arguments: their
// stock entries take none, so their action lists can run.
TEST(StockEvents, FiredWithoutArgumentsTakeNoParameters) {
    std::string narrow = PlayerBuildFile("MavroRT.tlb");
    std::wstring path(narrow.begin(), narrow.end());
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib), S_OK);
    const GUID objectStock = {
        0xD5738CD0, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
    ITypeInfo* info = nullptr;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(objectStock, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    struct {
        MEMBERID id;
        const wchar_t* name;
        SHORT params;
    } rows[] = {{1102, L"DBClick", 0}, {1103, L"Click", 0},       {1117, L"BeginDrag", 0},
                {1118, L"EndDrag", 0}, {1100, L"LButtonDown", 2}, {1000, L"Timer", 1}};
    for (auto& row : rows) {
        bool found = false;
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC* f = nullptr;
            ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
            if (f->memid == row.id) {
                found = true;
                EXPECT_EQ(f->cParams, row.params) << row.id;
                BSTR name = nullptr;
                info->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr);
                EXPECT_STREQ(name, row.name);
                SysFreeString(name);
            }
            info->ReleaseFuncDesc(f);
        }
        EXPECT_TRUE(found) << row.id;
    }
    info->ReleaseTypeAttr(attr);
    info->Release();
    lib->Release();
}

}  // namespace
