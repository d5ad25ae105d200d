// Test entry shared by every test program: no message box may block a run.
#include <gtest/gtest.h>

#include "bMsgBox.h"

static int AnswerOk(HWND, const char*, const char*, UINT) {
    return IDOK;
}

int main(int argc, char** argv) {
    SetMessageBoxHandler(AnswerOk);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
