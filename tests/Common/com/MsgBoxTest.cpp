#include <gtest/gtest.h>

#include <string>

#include "bMsgBox.h"

namespace {
int g_calls = 0;
int AnswerNo(HWND, const char*, const char*, UINT) {
    ++g_calls;
    return IDNO;
}
}  // namespace

TEST(MsgBox, HandlerAnswersWithoutWindow) {
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(AnswerNo);
    g_calls = 0;
    EXPECT_EQ(IDNO, SysMessageBox(nullptr, "text", "caption", MB_YESNO));
    EXPECT_EQ(1, g_calls);
    SetMessageBoxHandler(old);
}

TEST(MsgBox, UnattendedAnswerByEnvironment) {
    struct Case {
        const char* value;
        UINT type;
        int answer;
    } cases[] = {
        {"yes", MB_YESNO, IDYES},          {"no", MB_YESNO, IDNO}, {"ok", MB_OKCANCEL, IDOK},
        {"cancel", MB_OKCANCEL, IDCANCEL}, {"no", MB_OK, IDOK},    {"7", MB_YESNO, 7},
    };
    for (const Case& c : cases) {
        SetEnvironmentVariableA("MAVRO_AUTOANSWER", c.value);
        bool answered = false;
        EXPECT_EQ(c.answer, UnattendedAnswer(c.type, &answered)) << c.value;
        EXPECT_TRUE(answered);
    }
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", nullptr);
    bool answered = true;
    UnattendedAnswer(MB_OK, &answered);
    EXPECT_FALSE(answered);
}

TEST(MsgBox, UnattendedListAnswersInOrderThenRepeatsItsLast) {
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", "no,yes,4");
    RestartUnattendedAnswers();
    bool answered = false;
    // One answer per question; the types decide what "yes" and "no" mean.
    EXPECT_EQ(IDNO, UnattendedAnswer(MB_YESNO, &answered));
    EXPECT_TRUE(answered);
    EXPECT_EQ(IDIGNORE, UnattendedAnswer(MB_ABORTRETRYIGNORE, &answered));
    EXPECT_EQ(4, UnattendedAnswer(MB_YESNO, &answered));
    EXPECT_EQ(4, UnattendedAnswer(MB_OK, &answered));
    RestartUnattendedAnswers();
    EXPECT_EQ(IDCANCEL, UnattendedAnswer(MB_OKCANCEL, &answered));
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", nullptr);
    RestartUnattendedAnswers();
}

TEST(MsgBox, AnswerWithoutWindowAsksTheHandlerFirst) {
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(AnswerNo);
    int answer = 0;
    EXPECT_TRUE(AnswerWithoutWindow(nullptr, "t", "c", MB_YESNOCANCEL, &answer));
    EXPECT_EQ(IDNO, answer);
    // Without a handler or an unattended answer the question must be shown.
    SetMessageBoxHandler(nullptr);
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", nullptr);
    EXPECT_FALSE(AnswerWithoutWindow(nullptr, "t", "c", MB_YESNO, &answer));
    SetMessageBoxHandler(old);
}

namespace {
int g_menuItems = -1;
BOOL ChooseSecond(HMENU menu, UINT, int, int, HWND) {
    g_menuItems = GetMenuItemCount(menu);
    return (BOOL)GetMenuItemID(menu, 1);
}
}  // namespace

// Pop-up menus: the handler's choice, or none in an unattended run, never a
// menu loop.
TEST(MsgBox, PopupMenuAnsweredWithoutWindow) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 101, "one");
    AppendMenuA(menu, MF_STRING, 102, "two");
    PFNPOPUPMENUHANDLER previous = SetPopupMenuHandler(ChooseSecond);
    EXPECT_EQ(SysTrackPopupMenu(menu, TPM_RETURNCMD, 5, 5, nullptr), 102);
    EXPECT_EQ(g_menuItems, 2);
    SetPopupMenuHandler(nullptr);
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", "yes");
    EXPECT_EQ(SysTrackPopupMenu(menu, TPM_RETURNCMD, 5, 5, nullptr), 0);
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", nullptr);
    SetPopupMenuHandler(previous);
    DestroyMenu(menu);
}

namespace {
const OPENFILENAMEA* g_fileRequest = nullptr;
const char* g_fileAnswer = nullptr;
const char* AnswerPath(const OPENFILENAMEA* request) {
    g_fileRequest = request;
    return g_fileAnswer;
}
}  // namespace

TEST(MsgBox, OpenFileHandlerAnswersAPathOrCancels) {
    PFNOPENFILEHANDLER previous = SetOpenFileHandler(AnswerPath);
    char buffer[32] = "left";
    OPENFILENAMEA request = {};
    request.lStructSize = sizeof(request);
    request.lpstrFile = buffer;
    request.nMaxFile = sizeof(buffer);
    request.lpstrTitle = "title";
    struct Case {
        const char* path;
        BOOL result;
        WORD offset, extension;
    } cases[] = {
        {"C:\\data\\ORDERS.DBF", TRUE, 8, 15},
        {"C:\\a.b\\noext", TRUE, 7, 0},
        {"rel/x.mvb", TRUE, 4, 6},
        // Cancel, and a path the buffer cannot hold, leave the buffer.
        {nullptr, FALSE, 0, 0},
        {"C:\\a-path-longer-than-the-buffer.mvb", FALSE, 0, 0},
    };
    for (const Case& c : cases) {
        strcpy(buffer, "left");
        request.nFileOffset = request.nFileExtension = 0;
        g_fileAnswer = c.path;
        EXPECT_EQ(c.result, SysGetOpenFileName(&request)) << (c.path ? c.path : "null");
        EXPECT_EQ(&request, g_fileRequest);
        EXPECT_STREQ(c.result ? c.path : "left", buffer);
        EXPECT_EQ(c.offset, request.nFileOffset) << (c.path ? c.path : "null");
        EXPECT_EQ(c.extension, request.nFileExtension) << (c.path ? c.path : "null");
    }
    // An unattended run cancels without a window.
    SetOpenFileHandler(nullptr);
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", "yes");
    EXPECT_FALSE(SysGetOpenFileName(&request));
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", nullptr);
    SetOpenFileHandler(previous);
}

namespace {
// A property page of one edit box (id 100), from a template in memory:
// DLGTEMPLATE (style, extended style, 1 item, x, y, cx, cy), no menu, the
// default class, no title; then the DWORD-aligned DLGITEMTEMPLATE (style,
// extended style, x, y, cx, cy, id), class 0xFFFF 0x0081 (edit), no text,
// no creation data.
struct PageTemplate {
    alignas(4) WORD words[32] = {};
    PageTemplate() {
        DWORD pageStyle = WS_CHILD | DS_CONTROL, editStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;
        const WORD t[] = {LOWORD(pageStyle),
                          HIWORD(pageStyle),
                          0,
                          0,
                          1,
                          0,
                          0,
                          100,
                          40,
                          0,
                          0,
                          0,
                          LOWORD(editStyle),
                          HIWORD(editStyle),
                          0,
                          0,
                          4,
                          4,
                          80,
                          12,
                          100,
                          0xFFFF,
                          0x0081,
                          0,
                          0};
        memcpy(words, t, sizeof(t));
    }
};

std::string g_applied;

INT_PTR CALLBACK PageProc(HWND page, UINT msg, WPARAM, LPARAM lParam) {
    if (msg == WM_NOTIFY && ((NMHDR*)lParam)->code == PSN_APPLY) {
        char text[32] = {};
        GetDlgItemTextA(page, 100, text, sizeof(text));
        SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
        g_applied = text;
        return TRUE;
    }
    return FALSE;
}

int g_sheetId = 0;
bool g_sheetVisible = true;
INT_PTR DriveSheet(int id, HWND sheet) {
    g_sheetId = id;
    g_sheetVisible = IsWindowVisible(sheet) != FALSE;
    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
    SetDlgItemTextA(page, 100, "typed");
    SendMessageA(sheet, WM_COMMAND, IDOK, 0);
    return 55;
}
}  // namespace

TEST(MsgBox, PropertySheetDrivenHiddenByTheDialogHandler) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    PageTemplate t;
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_DLGINDIRECT;
    page.pResource = (const DLGTEMPLATE*)t.words;
    page.pfnDlgProc = PageProc;
    HPROPSHEETPAGE pages[] = {CreatePropertySheetPageA(&page)};
    ASSERT_NE(nullptr, pages[0]);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_NOAPPLYNOW;
    header.pszCaption = MAKEINTRESOURCEA(103);
    header.nPages = 1;
    header.phpage = pages;
    g_applied.clear();
    PFNDIALOGHANDLER previous = SetDialogHandler(DriveSheet);
    INT_PTR answer = SysPropertySheet(&header);
    SetDialogHandler(previous);
    EXPECT_EQ(103, g_sheetId);
    EXPECT_FALSE(g_sheetVisible);
    EXPECT_EQ("typed", g_applied);
    // OK closed the sheet: its own result, not the handler's.
    EXPECT_NE(55, answer);
    // Unattended: no window, closed without changes.
    HPROPSHEETPAGE again[] = {CreatePropertySheetPageA(&page)};
    header.phpage = again;
    SetDialogHandler(nullptr);
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", "yes");
    EXPECT_EQ(0, SysPropertySheet(&header));
    SetEnvironmentVariableA("MAVRO_AUTOANSWER", nullptr);
    SetDialogHandler(previous);
    DestroyPropertySheetPage(again[0]);
}
