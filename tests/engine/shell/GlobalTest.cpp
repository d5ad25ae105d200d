#include <gtest/gtest.h>

#include <set>

#include "TestFiles.h"
#include "aGlobal.h"
#include "aUtil.h"

TEST(Global, RegistersTheFourteenClipboardFormatsInOrder) {
    CGlobal global;
    std::set<UINT> seen;
    for (int i = 0; i < GLOBAL_CLIPBOARD_FORMATS; ++i) {
        UINT id = global.GetClipboardFormat(i);
        ASSERT_GE(id, 0xC000u) << i;  // a registered format, not a standard one
        char name[64] = "";
        GetClipboardFormatNameA(id, name, sizeof(name));
        EXPECT_STREQ(CGlobal::kClipboardFormatNames[i], name);
        seen.insert(id);
    }
    EXPECT_EQ(14u, seen.size());
    EXPECT_STREQ("CF_TeskFRG", CGlobal::kClipboardFormatNames[0]);
    EXPECT_STREQ("CF_Material", CGlobal::kClipboardFormatNames[13]);
    EXPECT_EQ(0u, global.GetClipboardFormat(14));
}

TEST(Global, StartWithoutCursorLibraryGoesOn) {
    CGlobal global;
    EXPECT_TRUE(global.Start());
    EXPECT_EQ(nullptr, global.GetCursorLib());
    // Wine reports an NT system newer than NT 4.
    EXPECT_TRUE(global.IsWindowsNT(false));
    EXPECT_FALSE(global.IsWindowsNT(true));
    EXPECT_GT(global.GetComctlVersion(), 0);
    const char* lib = GetCursorLibPath();
    size_t n = strlen(lib);
    ASSERT_GT(n, 12u);
    EXPECT_STREQ("mavrolib.dll", lib + n - 12);
}

TEST(Global, ProgramWithoutVersionBlockRunsAsVersionZero) {
    // The test program carries no version resource.
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof(self)), 0u);
    VS_FIXEDFILEINFO ffi;
    ASSERT_EQ(0, GetFileVersion(self, &ffi));

    LogCapture log;
    ASSERT_TRUE(log.Active());
    CGlobal global;
    EXPECT_TRUE(global.Start());
    EXPECT_STREQ("0.0.0.0", global.GetVersionText());
    EXPECT_EQ(0u, global.GetFileVersion64());
    std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "Orvane Mavro Tool Version: 0.0.0.0"));
    EXPECT_TRUE(Logged(text, "WinNT Version: "));
    EXPECT_TRUE(Logged(text, "  comctl32-Ver: "));
    EXPECT_TRUE(Logged(text, "   DiskFreeSpace in system("));
}
