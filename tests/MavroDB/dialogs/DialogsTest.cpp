#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "aDBDialogs.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "bMsgBox.h"

namespace {

// Runs a dialog through the seam with a test body driving it.
std::function<void(int, HWND)>& Body() {
    static std::function<void(int, HWND)> body;
    return body;
}

INT_PTR Drive(int id, HWND dlg) {
    Body()(id, dlg);
    return -7;  // a dialog that was not ended answers this
}

struct Driven {
    PFNDIALOGHANDLER old;
    explicit Driven(std::function<void(int, HWND)> body) {
        Body() = body;
        old = SetDialogHandler(Drive);
    }
    ~Driven() { SetDialogHandler(old); }
};

std::vector<std::string>& BoxTexts() {
    static std::vector<std::string> texts;
    return texts;
}

int RecordBox(HWND, const char* text, const char*, UINT) {
    BoxTexts().push_back(text);
    return IDOK;
}

std::string Text(HWND w) {
    char buffer[256] = {};
    GetWindowTextA(w, buffer, sizeof(buffer));
    return buffer;
}

bool OkEnabled(HWND dlg) {
    return IsWindowEnabled(GetDlgItem(dlg, IDOK)) != FALSE;
}

}  // namespace

TEST(DBDialogs, LoginEnablesOkOnlyWithAName) {
    CUserInfoDlg dlg;
    dlg.m_mode = 1;
    Driven d([](int id, HWND w) {
        EXPECT_EQ(IDD_DB_USERINFO, id);
        EXPECT_EQ(DBLoadString(IDS_DB_LOGIN_CAPTION), Text(w));
        EXPECT_EQ(DBLoadString(IDS_DB_LOGIN_NAME), Text(GetDlgItem(w, IDC_DB_USER_LABEL1)));
        EXPECT_EQ((LRESULT)'*',
                  SendDlgItemMessageA(w, IDC_DB_USER_SECOND, EM_GETPASSWORDCHAR, 0, 0));
        EXPECT_FALSE(OkEnabled(w));
        SetDlgItemTextA(w, IDC_DB_USER_NAME, "a");
        EXPECT_TRUE(OkEnabled(w));
        SetDlgItemTextA(w, IDC_DB_USER_NAME, "");
        EXPECT_FALSE(OkEnabled(w));
        SetDlgItemTextA(w, IDC_DB_USER_NAME, "teacher");
        SetDlgItemTextA(w, IDC_DB_USER_SECOND, "");  // an empty password is accepted
        SendMessageA(w, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ("teacher", dlg.m_name);
    EXPECT_EQ("", dlg.m_second);
}

TEST(DBDialogs, AccountModesShowTheIdentifierPlainly) {
    struct {
        int mode;
        UINT caption, label2;
    } rows[] = {{2, IDS_DB_GROUP_CAPTION, IDS_DB_GROUP_ID},
                {3, IDS_DB_USER_CAPTION, IDS_DB_USER_ID}};
    for (const auto& r : rows) {
        CUserInfoDlg dlg;
        dlg.m_mode = r.mode;
        dlg.m_name = "kept";
        Driven d([&](int, HWND w) {
            EXPECT_EQ(DBLoadString(r.caption), Text(w));
            EXPECT_EQ(DBLoadString(r.label2), Text(GetDlgItem(w, IDC_DB_USER_LABEL2)));
            EXPECT_EQ(0, SendDlgItemMessageA(w, IDC_DB_USER_SECOND, EM_GETPASSWORDCHAR, 0, 0));
            SetDlgItemTextA(w, IDC_DB_USER_NAME, "typed");
            SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
        EXPECT_EQ("kept", dlg.m_name);  // Cancel leaves the members
    }
}

TEST(DBDialogs, ChangePasswordChecksTheConfirmation) {
    BoxTexts().clear();
    PFNMESSAGEBOXHANDLER oldBox = SetMessageBoxHandler(RecordBox);
    CDBPasswordChangeDlg dlg;
    Driven d([](int id, HWND w) {
        EXPECT_EQ(IDD_DB_PASSWORD_CHANGE, id);
        EXPECT_FALSE(OkEnabled(w));
        SetDlgItemTextA(w, IDC_DB_OLD_PASSWORD, "old");
        EXPECT_TRUE(OkEnabled(w));  // new and confirmation both empty
        SetDlgItemTextA(w, IDC_DB_NEW_PASSWORD, "new");
        EXPECT_FALSE(OkEnabled(w));
        SendMessageA(w, WM_COMMAND, IDOK, 0);  // refused with 57771, stays open
        EXPECT_TRUE(IsWindow(w));
        EXPECT_EQ(1u, BoxTexts().size());
        SetDlgItemTextA(w, IDC_DB_CONFIRM_PASSWORD, "new");
        EXPECT_TRUE(OkEnabled(w));
        SendMessageA(w, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    SetMessageBoxHandler(oldBox);
    ASSERT_EQ(1u, BoxTexts().size());
    EXPECT_EQ(DBLoadString(IDS_DB_CONFIRM_FAILED), BoxTexts()[0]);
    EXPECT_EQ("old", dlg.m_oldPassword);
    EXPECT_EQ("new", dlg.m_newPassword);
}

TEST(DBDialogs, PromptClosedWithEscapeGivesAnEmptyPassword) {
    CDBPasswordPromptDlg dlg;
    Driven d([](int id, HWND w) {
        EXPECT_EQ(IDD_DB_PASSWORD_PROMPT, id);
        EXPECT_EQ(nullptr, GetDlgItem(w, IDCANCEL));  // there is no Cancel button
        SetDlgItemTextA(w, IDC_DB_NEW_PASSWORD, "typed");
        SendMessageA(w, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ("", dlg.m_password);
    // A handler that ends nothing gets its own answer back.
    Driven idle([](int, HWND) {});
    EXPECT_EQ(-7, dlg.DoModal());
}
