#include <gtest/gtest.h>

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
