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
