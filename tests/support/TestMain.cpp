// Test entry shared by every test program: no message box, pop-up menu,
// dialog or file dialog may block a run. Tests that check one install their own handler.
#include <gtest/gtest.h>

#include "bMsgBox.h"

static int AnswerOk(HWND, const char*, const char*, UINT) {
    return IDOK;
}

static BOOL ChooseNothing(HMENU, UINT, int, int, HWND) {
    return 0;
}

static INT_PTR CancelDialog(int, HWND) {
    return IDCANCEL;
}

static const char* CancelOpenFile(const OPENFILENAMEA*) {
    return nullptr;
}

int main(int argc, char** argv) {
    SetMessageBoxHandler(AnswerOk);
    SetPopupMenuHandler(ChooseNothing);
    SetDialogHandler(CancelDialog);
    SetOpenFileHandler(CancelOpenFile);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
