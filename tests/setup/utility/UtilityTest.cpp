// Privileges and restart, server registration, processes and messages.
#include <gtest/gtest.h>

#include <string>

#include "SetupProcess.h"
#include "TestFiles.h"
#include "aSetupUtility.h"
#include "bMsgBox.h"

namespace {

UINT g_exitFlags;
int g_exitCalls;
bool g_privilegeHeld;
BOOL g_exitAnswer;

bool ShutdownPrivilegeEnabled() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    LUID luid;
    LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid);
    PRIVILEGE_SET set = {1, PRIVILEGE_SET_ALL_NECESSARY, {{luid, 0}}};
    BOOL held = FALSE;
    PrivilegeCheck(token, &set, &held);
    CloseHandle(token);
    return held != FALSE;
}

BOOL WINAPI FakeExitWindows(UINT flags, DWORD) {
    g_exitFlags = flags;
    ++g_exitCalls;
    g_privilegeHeld = ShutdownPrivilegeEnabled();
    return g_exitAnswer;
}

std::string g_text, g_caption;
UINT g_type;
int Capture(HWND, const char* text, const char* caption, UINT type) {
    g_text = text;
    g_caption = caption;
    g_type = type;
    return IDRETRY;
}

}  // namespace

TEST(SetupUtility, PlatformIsNT) {
    EXPECT_TRUE(IsWinNT());
    EXPECT_FALSE(IsWin9x());
}

TEST(SetupUtility, RebootGoesThroughTheReplaceableFunction) {
    PFNEXITWINDOWS old = SetExitWindowsFunction(FakeExitWindows);
    for (BOOL answer : {TRUE, FALSE}) {
        g_exitCalls = 0;
        g_exitAnswer = answer;
        g_privilegeHeld = false;
        EXPECT_EQ(answer != FALSE, RebootWindows());
        EXPECT_EQ(1, g_exitCalls);
        EXPECT_EQ((UINT)EWX_REBOOT, g_exitFlags);
        // Held for the call, given back afterwards.
        EXPECT_TRUE(g_privilegeHeld);
        EXPECT_FALSE(ShutdownPrivilegeEnabled());
    }
    SetExitWindowsFunction(old);
}

TEST(SetupUtility, SessionEndsOnlyThroughTheReplaceableFunction) {
    PFNEXITWINDOWS old = SetExitWindowsFunction(FakeExitWindows);
    g_exitCalls = 0;
    g_exitAnswer = TRUE;
    EXPECT_TRUE(EndWindowsSession(EWX_LOGOFF, 0));
    EXPECT_EQ(1, g_exitCalls);
    EXPECT_EQ((UINT)EWX_LOGOFF, g_exitFlags);
    // Null puts ExitWindowsEx back: the previous function is ours.
    EXPECT_EQ(&FakeExitWindows, SetExitWindowsFunction(nullptr));
    SetExitWindowsFunction(old);
}

TEST(SetupUtility, RegisterServerDll) {
    TempFolder folder;
    std::string v1 = folder.File("reg.dll"), fail = folder.File("fail.dll"),
                none = folder.File("none.dll");
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v1.dll"), v1));
    ASSERT_TRUE(CopyTo(FixturePath("fixture_v3fail.dll"), fail));
    ASSERT_TRUE(CopyTo(FixturePath("fixture_noreg.dll"), none));
    DeleteKeyTree(HKEY_CLASSES_ROOT, "MavroSetupFixture\\v1");

    HRESULT hr = E_UNEXPECTED;
    EXPECT_TRUE(RegisterServerDll(nullptr, true, &hr));
    for (bool withOle : {false, true}) {
        hr = E_UNEXPECTED;
        EXPECT_TRUE(RegisterServerDll(v1.c_str(), withOle, &hr));
        EXPECT_EQ(S_OK, hr);
        EXPECT_EQ(v1, RegText(HKEY_CLASSES_ROOT, "MavroSetupFixture\\v1", nullptr));
        DeleteKeyTree(HKEY_CLASSES_ROOT, "MavroSetupFixture\\v1");

        EXPECT_FALSE(RegisterServerDll(fail.c_str(), withOle, &hr));
        EXPECT_EQ(E_FAIL, hr);
        EXPECT_FALSE(RegisterServerDll(none.c_str(), withOle, &hr));
        EXPECT_EQ((HRESULT)ERROR_PROC_NOT_FOUND, hr);
        EXPECT_FALSE(RegisterServerDll(folder.File("missing.dll").c_str(), withOle, &hr));
        EXPECT_EQ((HRESULT)ERROR_MOD_NOT_FOUND, hr);
    }
}

TEST(SetupUtility, ExecuteCommandExitCodesAndWaits) {
    TempFolder folder;
    std::string program = folder.File("child.exe");
    ASSERT_TRUE(CopyTo(FixturePath("fakeprogram.exe"), program));
    WriteFileBytes(program + ".code", "3010");
    DWORD code = 0;
    std::string line = "\"" + program + "\" -id:x";
    ASSERT_TRUE(ExecuteCommand(nullptr, line.c_str(), folder.Path().c_str(), INFINITE, &code));
    EXPECT_EQ(3010u, code);
    EXPECT_EQ(line + "\n", ReadFileBytes(program + ".log"));

    // A limit that the child outlives: false with code 0, within the limit
    // (the input-idle wait counted in).
    WriteFileBytes(program + ".sleep", "3000");
    DWORD start = GetTickCount();
    code = 77;
    EXPECT_FALSE(ExecuteCommand(nullptr, line.c_str(), folder.Path().c_str(), 250, &code));
    DWORD used = GetTickCount() - start;
    EXPECT_EQ(0u, code);
    EXPECT_LT(used, 1500u);

    // Wait 0 does not wait for the end.
    code = 77;
    EXPECT_TRUE(ExecuteCommand(nullptr, line.c_str(), folder.Path().c_str(), 0, &code));
    EXPECT_EQ(0u, code);

    code = 0;
    std::string missing = "\"" + folder.File("none.exe") + "\"";
    EXPECT_FALSE(ExecuteCommand(nullptr, missing.c_str(), folder.Path().c_str(), 0, &code));
    EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, code);
    Sleep(3200);  // let the sleeping children end before the folder goes
}

TEST(SetupUtility, MessagesGoThroughTheSeam) {
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(Capture);
    EXPECT_EQ(IDRETRY, MessageBoxFormat(nullptr, "T", MB_ABORTRETRYIGNORE, "%s-%d", "a", 7));
    EXPECT_EQ("a-7", g_text);
    EXPECT_EQ("T", g_caption);
    EXPECT_EQ((UINT)MB_ABORTRETRYIGNORE, g_type);
    std::string longText(3000, 'x');
    MessageBoxFormat(nullptr, "T", MB_OK, "%s", longText.c_str());
    EXPECT_EQ(1023u, g_text.size());

    EXPECT_EQ(IDRETRY, MessageBoxIds(nullptr, 30001, MB_OK, 30002, 5, "six"));
    EXPECT_EQ("Value 5 of six", g_text);
    EXPECT_EQ("Setup Title", g_caption);
    SetMessageBoxHandler(old);
}

TEST(SetupUtility, PumpMessagesEmptiesTheQueue) {
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_APP + 1, 0, 0);
    PumpMessages();
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}
